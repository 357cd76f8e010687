#include "platform/IniFile.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/AppError.h"
#include "platform/FileReplace.h"
#include "platform/Text.h"

namespace quillstone::ini {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// One physical line: its text is [begin, textEnd), its line end [textEnd, end).
struct LineSpan {
  std::size_t begin = 0;
  std::size_t textEnd = 0;
  std::size_t end = 0;
  bool HasLineEnd() const { return end > textEnd; }
};

// Splits at CR LF, CR or LF. A trailing line end does not start another line.
std::vector<LineSpan> SplitLines(std::string_view content) {
  std::vector<LineSpan> lines;
  std::size_t pos = content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
  while (pos < content.size()) {
    LineSpan line;
    line.begin = pos;
    line.textEnd = content.find_first_of("\r\n", pos);
    if (line.textEnd == std::string_view::npos) {
      line.textEnd = line.end = content.size();
    } else if (content[line.textEnd] == '\r' && line.textEnd + 1 < content.size() &&
               content[line.textEnd + 1] == '\n') {
      line.end = line.textEnd + 2;
    } else {
      line.end = line.textEnd + 1;
    }
    lines.push_back(line);
    pos = line.end;
  }
  return lines;
}

enum class LineKind { kBlank, kComment, kHeader, kEntry };

struct ParsedLine {
  LineKind kind = LineKind::kBlank;
  std::string name;  // section name for a header, key name for an entry
  std::string value;
};

ParsedLine ParseLine(std::string_view rawText) {
  const std::string text = TrimBlanks(rawText);
  ParsedLine parsed;
  if (text.empty()) return parsed;
  if (text.front() == ';') {
    parsed.kind = LineKind::kComment;
    return parsed;
  }
  if (text.front() == '[') {
    // A header runs to the last ']'; without one the line is read as an entry.
    const std::size_t close = text.rfind(']');
    if (close != std::string::npos) {
      parsed.kind = LineKind::kHeader;
      parsed.name = TrimBlanks(std::string_view(text).substr(1, close - 1));
      return parsed;
    }
  }
  // An entry without '=' is a key with an empty value.
  parsed.kind = LineKind::kEntry;
  const std::size_t equals = text.find('=');
  parsed.name = TrimBlanks(std::string_view(text).substr(0, equals));
  if (equals != std::string::npos) {
    parsed.value = TrimBlanks(std::string_view(text).substr(equals + 1));
  }
  return parsed;
}

// Takes a view, not a moved-in string: GCC's -O2 inlining of the moved string's short buffer
// gives a false "may be used uninitialized" here.
std::string WithoutMatchingQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string EntryText(std::string_view key, std::string_view value) {
  std::string text(key);
  text += '=';
  text += value;
  return text;
}

std::string Splice(std::string_view content, std::size_t from, std::size_t to,
                   std::string_view replacement) {
  std::string result(content.substr(0, from));
  result += replacement;
  result += content.substr(to);
  return result;
}

// Paths are UTF-8 text; std::filesystem would read a plain string in the ANSI code page.
std::string FullPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute =
      std::filesystem::absolute(std::u8string(path.begin(), path.end()), error);
  if (error) return path;
  const std::u8string text = absolute.u8string();
  return std::string(text.begin(), text.end());
}

ParsedLine ParseSpan(std::string_view content, const LineSpan& line) {
  return ParseLine(content.substr(line.begin, line.textEnd - line.begin));
}

// Index of the first header naming `section`, or lines.size() when there is none.
std::size_t FindSectionHeader(std::string_view content, const std::vector<LineSpan>& lines,
                              std::string_view section) {
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const ParsedLine parsed = ParseSpan(content, lines[index]);
    if (parsed.kind == LineKind::kHeader && EqualsIgnoringAsciiCase(parsed.name, section)) {
      return index;
    }
  }
  return lines.size();
}

[[noreturn]] void ThrowUnableToWrite(const std::string& path) {
  throw AppError("Unable to write to " + FullPath(path));
}

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

[[noreturn]] void ThrowLineBreak(const std::string& path, const char* what) {
  throw AppError("Unable to write to " + FullPath(path) + ": " + what + " holds a line break");
}

}  // namespace

std::string Lookup(std::string_view content, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const LineSpan& line : SplitLines(content)) {
    ParsedLine parsed = ParseSpan(content, line);
    if (parsed.kind == LineKind::kHeader) {
      // Only the first section of that name is searched.
      if (inSection) return {};
      inSection = EqualsIgnoringAsciiCase(parsed.name, section);
    } else if (parsed.kind == LineKind::kEntry && inSection &&
               EqualsIgnoringAsciiCase(parsed.name, key)) {
      return WithoutMatchingQuotes(parsed.value);
    }
  }
  return {};
}

std::string Merge(std::string_view content, std::string_view section, std::string_view key,
                  std::string_view value) {
  const std::vector<LineSpan> lines = SplitLines(content);
  const std::size_t header = FindSectionHeader(content, lines, section);

  if (header == lines.size()) {
    std::string addition;
    if (!lines.empty() && !lines.back().HasLineEnd()) addition += kLineEnd;
    addition += '[';
    addition += section;
    addition += ']';
    addition += kLineEnd;
    addition += EntryText(key, value);
    addition += kLineEnd;
    return std::string(content) + addition;
  }

  // A new key goes after the section's last non-blank line, so that blank lines before the
  // next header stay there.
  std::size_t lastFilled = header;
  for (std::size_t index = header + 1; index < lines.size(); ++index) {
    const LineSpan& line = lines[index];
    const ParsedLine parsed = ParseSpan(content, line);
    if (parsed.kind == LineKind::kHeader) break;
    if (parsed.kind == LineKind::kEntry && EqualsIgnoringAsciiCase(parsed.name, key)) {
      return Splice(content, line.begin, line.textEnd, EntryText(parsed.name, value));
    }
    if (parsed.kind != LineKind::kBlank) lastFilled = index;
  }
  const LineSpan& anchor = lines[lastFilled];
  std::string addition;
  if (!anchor.HasLineEnd()) addition += kLineEnd;
  addition += EntryText(key, value);
  addition += kLineEnd;
  return Splice(content, anchor.end, anchor.end, addition);
}

std::vector<LeadingLine> LinesBeforeFirstSection(std::string_view content) {
  std::vector<LeadingLine> leading;
  int number = 0;
  for (const LineSpan& line : SplitLines(content)) {
    ++number;
    const ParsedLine parsed = ParseSpan(content, line);
    if (parsed.kind == LineKind::kHeader) break;
    if (parsed.kind != LineKind::kEntry) continue;
    leading.push_back({number, std::string(content.substr(line.begin, line.textEnd - line.begin))});
  }
  return leading;
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key) {
  std::string content;
  if (detail::ReadWholeFile(path, content) != detail::FileReadStatus::kRead) return {};
  return Lookup(content, section, key);
}

void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  // A line break would split the entry line and could start a section of its own.
  for (const std::string_view part : {section, key, value}) {
    if (HoldsLineBreak(part)) ThrowLineBreak(path, "a section, key or value");
  }
  std::string content;
  // A file that exists but cannot be read must not be replaced by a file holding one key.
  if (detail::ReadWholeFile(path, content) == detail::FileReadStatus::kFailed) {
    ThrowUnableToWrite(path);
  }
  WriteWholeFile(path, Merge(content, section, key, value));
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) {
    if (HoldsLineBreak(line)) ThrowLineBreak(path, "a line");
    content += line;
    content += kLineEnd;
  }
  WriteWholeFile(path, content);
}

void WriteWholeFile(const std::string& path, std::string_view content) {
  if (!detail::ReplaceFileAtomically(path, content)) ThrowUnableToWrite(path);
}

}  // namespace quillstone::ini

namespace quillstone::detail {

FileReadStatus ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  std::FILE* file = OpenForReading(path);
  if (file == nullptr) return errno == ENOENT ? FileReadStatus::kMissing : FileReadStatus::kFailed;
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) content.clear();
  return failed ? FileReadStatus::kFailed : FileReadStatus::kRead;
}

}  // namespace quillstone::detail
