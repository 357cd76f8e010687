#include "platform/Text.h"

#include <cstddef>

namespace quillstone {
namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsContinuationByte(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Length in bytes of the character starting at `pos`: a well-formed UTF-8 sequence counts
// whole, anything else (stray continuation byte, truncated sequence) counts as one byte.
std::size_t CharacterLength(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 1;
  if (lead >= 0xF0 && lead <= 0xF7) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = lead <= 0xEF ? 3 : 1;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  if (pos + length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuationByte(static_cast<unsigned char>(text[pos + i]))) return 1;
  }
  return length;
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Appended piece by piece: "'" + std::string(text) inserts at the front of a temporary, in
// which GCC 12 at -O3 sees a memcpy that may overlap (-Wrestrict), which it cannot.
std::string SingleQuoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '\'';
  quoted += text;
  quoted += '\'';
  return quoted;
}

int CharacterCount(std::string_view utf8) {
  int count = 0;
  for (std::size_t pos = 0; pos < utf8.size(); pos += CharacterLength(utf8, pos)) ++count;
  return count;
}

std::string LeftCharacters(std::string_view utf8, int count) {
  std::size_t pos = 0;
  for (int taken = 0; taken < count && pos < utf8.size(); ++taken) {
    pos += CharacterLength(utf8, pos);
  }
  return std::string(utf8.substr(0, pos));
}

}  // namespace quillstone
