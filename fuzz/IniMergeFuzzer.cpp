// The INI writer's merge on any file content, as the wireless apply uses it: option lines
// above, then the connection keys written into section Config one after the other. After each
// write every key written reads back its value, every other key reads as before, the lines
// above the first header stay byte for byte, and writing the same value again changes nothing.
//
// Input: the writes (which key, which value), then the file's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <map>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/IniModel.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace {

constexpr const char* kSection = "Config";
// Keys as the settings functions write them; "Baudrate" is read back as "BaudRate".
const std::array<const char*, 5> kKeys = {"locatIP", "Port", "DeviceID", "COMPort", "Baudrate"};

// What a value reads back as: the reader trims blanks and drops one pair of quotes.
std::string AsReadBack(const std::string& value) {
  std::string text = quillstone::TrimBlanks(value);
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

std::string AsciiLower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  return text;
}

// Bytes before the first header line; the whole text when it has none.
std::string AboveFirstHeader(const std::string& content) {
  std::size_t begin = content.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (begin < content.size()) {
    const std::size_t end = content.find_first_of("\r\n", begin);
    const std::size_t lineEnd = end == std::string::npos ? content.size() : end;
    if (quillstone::fuzzing::IsHeader(std::string_view(content).substr(begin, lineEnd - begin))) {
      return content.substr(0, begin);
    }
    begin = lineEnd + 1;
  }
  return content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstone;
  FuzzedDataProvider input(data, size);
  struct Write {
    std::string key;
    std::string value;
  };
  std::vector<Write> writes(input.ConsumeIntegralInRange<std::size_t>(1, 6));
  for (Write& write : writes) {
    write.key = input.PickValueInArray(kKeys);
    // Values are one line of text: the settings come from single-line fields.
    write.value = input.ConsumeRandomLengthString(24);
    std::erase_if(write.value, [](char c) { return c == '\r' || c == '\n'; });
  }
  const std::string original = input.ConsumeRemainingBytesAsString();

  const std::string above = AboveFirstHeader(original);
  const auto namedKeys = fuzzing::NamedKeys(original);
  std::map<std::string, std::string> written;  // by the key in lower case
  std::string content = original;
  for (const Write& write : writes) {
    const std::string merged = ini::Merge(content, kSection, write.key, write.value);
    FUZZ_CHECK(ini::Merge(merged, kSection, write.key, write.value) == merged);
    content = merged;
    written[AsciiLower(write.key)] = write.value;

    FUZZ_CHECK(content.starts_with(above));
    for (const auto& [key, value] : written) {
      FUZZ_CHECK(ini::Lookup(content, kSection, key) == AsReadBack(value));
      FUZZ_CHECK(fuzzing::ModelLookup(content, kSection, key) == AsReadBack(value));
    }
    FUZZ_CHECK(ini::Lookup(content, kSection, "BaudRate") ==
               ini::Lookup(content, kSection, "Baudrate"));
    for (const auto& [section, key] : namedKeys) {
      if (fuzzing::SameName(section, kSection) && written.contains(AsciiLower(key))) continue;
      FUZZ_CHECK(ini::Lookup(content, section, key) == ini::Lookup(original, section, key));
    }
  }
  return 0;
}
