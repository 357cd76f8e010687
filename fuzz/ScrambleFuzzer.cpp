// The scrambled form of "~" option values: the device simulator's decoder on any digits, and
// the round trip from the tool's scrambling to the simulator's recovery.
//
// Input: a mode, then either the digits to decode or a key and an option text.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "devicelink/OptionExchange.h"
#include "devicesim/Scramble.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool SameDigits(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'f' ? char(c - 'a' + 'A') : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// Any text: a value comes back only from well-formed digits, and scrambling that value again
// with the same key gives the same digits.
void Decode(const std::string& digits) {
  const auto value = quillstone::devsim::UnscrambleValue(digits);
  if (!value) return;
  FUZZ_CHECK(digits.size() == 2 + 2 * value->size());
  FUZZ_CHECK(value->find('\0') == std::string::npos);
  const int key = std::stoi(digits.substr(0, 2), nullptr, 16);
  FUZZ_CHECK(key != 0x00 && key != 0xFF);
  const std::string again = quillstone::ScrambleOptionText("~X=" + *value, key);
  FUZZ_CHECK(SameDigits(again.substr(3), digits));
}

// A well-formed option text (a name without "=", a value without zero bytes) and a key the
// tool can draw: the simulator recovers exactly the value.
void RoundTrip(FuzzedDataProvider& input) {
  const int key = input.ConsumeIntegralInRange(1, 254);
  std::string name = "~" + input.ConsumeRandomLengthString(32);
  std::erase(name, '=');
  std::string value = input.ConsumeRemainingBytesAsString();
  std::erase(value, '\0');
  const std::string text = name + "=" + value;

  const std::string scrambled = quillstone::ScrambleOptionText(text, key);
  FUZZ_CHECK(scrambled.size() == name.size() + 1 + 2 + 2 * value.size());
  FUZZ_CHECK(scrambled.starts_with(name + "="));
  const std::string digits = scrambled.substr(name.size() + 1);
  FUZZ_CHECK(digits.find_first_not_of("0123456789ABCDEF") == std::string::npos);
  FUZZ_CHECK(quillstone::devsim::UnscrambleValue(digits) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeBool()) {
    Decode(input.ConsumeRemainingBytesAsString());
  } else {
    RoundTrip(input);
  }
  return 0;
}
