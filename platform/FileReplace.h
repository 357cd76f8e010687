#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// File primitives behind the INI module; the opening and the replacement are implemented per
// operating system. Paths are UTF-8 text.
namespace quillstone::detail {

enum class FileReadStatus { kRead, kMissing, kFailed };

// Reads the whole file into `content`. A file that does not exist is kMissing; one that exists
// but cannot be read (a folder, no permission) is kFailed.
FileReadStatus ReadWholeFile(const std::string& path, std::string& content);

// Writes `content` to a new temporary file in the folder of `path`, flushes it to the disk and
// renames it over `path`, so readers see either the old or the new content, never a mix.
// Returns false on any failure; `path` then keeps its old content and no temporary is left.
bool ReplaceFileAtomically(const std::string& path, std::string_view content);

// fopen(path, "rb") with a UTF-8 path (through the wide API on Windows); errno tells why not.
std::FILE* OpenForReading(const std::string& path);

}  // namespace quillstone::detail
