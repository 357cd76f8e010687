// The INI reader on any file content: the module's reading agrees with a plain reading of its
// documented rules, and does not depend on line-end style, on name case or on lines above
// the first header.
//
// Input: which section and key to ask for, then the file's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/IniModel.h"
#include "platform/IniFile.h"

namespace {

const std::array<const char*, 3> kSections = {"Config", "config", "Ports"};
const std::array<const char*, 7> kKeys = {"locatIP",  "Port",     "DeviceID", "COMPort",
                                          "BaudRate", "baudrate", "IPRadio"};

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string SwapAsciiCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c + 32);
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstone;
  FuzzedDataProvider input(data, size);
  const std::string section =
      input.ConsumeBool() ? input.PickValueInArray(kSections) : input.ConsumeRandomLengthString(16);
  const std::string key =
      input.ConsumeBool() ? input.PickValueInArray(kKeys) : input.ConsumeRandomLengthString(16);
  const std::string content = input.ConsumeRemainingBytesAsString();

  // The option lines above the first header: whole lines of the file, in file order.
  int previousNumber = 0;
  for (const ini::LeadingLine& line : ini::LinesBeforeFirstSection(content)) {
    FUZZ_CHECK(line.number > previousNumber);
    FUZZ_CHECK(line.text.find_first_of("\r\n") == std::string::npos);
    previousNumber = line.number;
  }

  const std::string value = ini::Lookup(content, section, key);
  FUZZ_CHECK(value == fuzzing::ModelLookup(content, section, key));
  FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(ini::Lookup(content, SwapAsciiCase(section), SwapAsciiCase(key)) == value);
  FUZZ_CHECK(ini::Lookup(ReplaceAll(content, "\r\n", "\n"), section, key) == value);
  FUZZ_CHECK(ini::Lookup(ReplaceAll(content, "\n", "\r\n"), section, key) == value);
  // Lines above the first header belong to no section: more of them change nothing.
  if (!content.starts_with("\xEF\xBB\xBF") && key.find_first_of("\r\n") == std::string::npos) {
    FUZZ_CHECK(ini::Lookup("WIFI=1\r\n" + key + "=x\r\n" + content, section, key) == value);
  }
  return 0;
}
