#include "devicesim/Scramble.h"

namespace quillstone::devsim {
namespace {

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return std::nullopt;
}

std::optional<int> HexPair(std::string_view digits, std::size_t index) {
  const auto high = HexDigit(digits[2 * index]);
  const auto low = HexDigit(digits[2 * index + 1]);
  if (!high || !low) return std::nullopt;
  return *high * 16 + *low;
}

}  // namespace

std::optional<std::string> UnscrambleValue(std::string_view digits) {
  if (digits.empty() || digits.size() % 2 != 0) return std::nullopt;
  auto previous = HexPair(digits, 0);
  if (!previous || *previous == 0x00 || *previous == 0xFF) return std::nullopt;
  std::string value;
  for (std::size_t index = 1; index < digits.size() / 2; ++index) {
    const auto pair = HexPair(digits, index);
    if (!pair) return std::nullopt;
    const int byte = *pair ^ *previous;
    if (byte == 0) return std::nullopt;
    value.push_back(static_cast<char>(byte));
    previous = pair;
  }
  return value;
}

}  // namespace quillstone::devsim
