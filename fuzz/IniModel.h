#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A plain, line-by-line reading of the INI rules in platform/IniFile.h, kept apart from the
// module's own reading so that the fuzzers can hold one against the other.
namespace quillstone::fuzzing {

inline std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Splits at every CR and every LF; the empty pieces between CR and LF are blank lines, which
// read as nothing anyway.
inline std::vector<std::string_view> Lines(std::string_view content) {
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  std::vector<std::string_view> lines;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= content.size(); ++i) {
    if (i == content.size() || content[i] == '\r' || content[i] == '\n') {
      lines.push_back(content.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  return lines;
}

// A header is a trimmed line "[" ... "]" (up to the last "]"); its name is trimmed.
inline bool IsHeader(std::string_view line, std::string_view* name = nullptr) {
  const std::string_view text = Trimmed(line);
  if (text.empty() || text.front() != '[') return false;
  const std::size_t close = text.rfind(']');
  if (close == std::string_view::npos) return false;
  if (name != nullptr) *name = Trimmed(text.substr(1, close - 1));
  return true;
}

inline std::string ModelLookup(std::string_view content, std::string_view section,
                               std::string_view key) {
  bool inSection = false;
  for (const std::string_view line : Lines(content)) {
    const std::string_view text = Trimmed(line);
    std::string_view name;
    if (text.empty() || text.front() == ';') continue;
    if (IsHeader(text, &name)) {
      if (inSection) return {};  // the first section of that name only
      inSection = SameName(name, section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = text.find('=');
    if (!SameName(Trimmed(text.substr(0, equals)), key)) continue;
    std::string_view value =
        equals == std::string_view::npos ? "" : Trimmed(text.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return {};
}

// Every (section, key) an INI text names, in order.
inline std::vector<std::pair<std::string, std::string>> NamedKeys(std::string_view content) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string_view section;
  bool inSection = false;
  for (const std::string_view line : Lines(content)) {
    const std::string_view text = Trimmed(line);
    if (text.empty() || text.front() == ';') continue;
    if (IsHeader(text, &section)) {
      inSection = true;
    } else if (inSection) {
      keys.emplace_back(section, Trimmed(text.substr(0, text.find('='))));
    }
  }
  return keys;
}

}  // namespace quillstone::fuzzing
