#pragma once

#include <string>
#include <string_view>

namespace quillstone {

// Removes spaces and control characters (codes 0 to 32) at both ends, as the form checks
// and option values expect.
std::string TrimBlanks(std::string_view text);

// ASCII-only case-insensitive equality; bytes above 127 compare exactly.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// `text` between single quotes, as messages name a value.
std::string SingleQuoted(std::string_view text);

// Number of characters in UTF-8 text (code points; a stray byte counts as one).
int CharacterCount(std::string_view utf8);

// The first `count` characters of UTF-8 text (the whole text when it is shorter).
std::string LeftCharacters(std::string_view utf8, int count);

}  // namespace quillstone
