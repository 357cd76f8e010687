#pragma once

#include <string>
#include <string_view>
#include <vector>

// Windows-style INI files with the profile functions' rules, implemented portably so that
// every platform reads and writes the same bytes.
//
// Reading: lines split at CR or LF; blanks trimmed around lines, section names, key names and
// values; section and key names matched ASCII case-insensitively; the first matching section
// and key win; a line starting with ';' is a comment; lines before the first header belong to
// no section; a value wrapped in one pair of matching quotes is returned without them; a
// missing file, section or key reads as empty text.
//
// Writing: an existing key's value is replaced in place (the key's and header's spelling
// kept); a new key goes after the last line of its section; a new section is appended as
// "[Section]" CRLF and the key line (CRLF first when the last line has no line end); every
// other line stays byte for byte; new lines end with CRLF; a missing file is created. The
// file is replaced atomically (temporary file in the same folder, flushed, renamed).
namespace quillstone::ini {

// Pure text functions, for the file functions below and for tests and fuzzing.
std::string Lookup(std::string_view content, std::string_view section, std::string_view key);
std::string Merge(std::string_view content, std::string_view section, std::string_view key,
                  std::string_view value);

// A line before the first section header, as written: its 1-based number in the file and its
// text without the line end.
struct LeadingLine {
  int number = 0;
  std::string text;
};

// The lines above the first section header (the option lines the tool stores there), with
// blank lines and comments left out.
std::vector<LeadingLine> LinesBeforeFirstSection(std::string_view content);

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key);

// Throws AppError("Unable to write to <path>") when the file cannot be written, and
// AppError("Unable to write to <path>: ...line break") when the section, key or value holds
// CR or LF; the old content then stays as it was.
void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Replaces the whole file with `lines`, each ended by CR LF; throws like WriteProfileString,
// also when a line holds CR or LF.
void WriteLines(const std::string& path, const std::vector<std::string>& lines);

// Replaces the whole file with `content`, atomically; throws like WriteProfileString.
void WriteWholeFile(const std::string& path, std::string_view content);

}  // namespace quillstone::ini
