#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/FileReplace.h"
#include "platform/win32/WideText.h"

namespace quillstone::detail {
namespace {

bool WriteAll(HANDLE file, std::string_view content) {
  while (!content.empty()) {
    const DWORD chunk =
        content.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(content.size());
    DWORD written = 0;
    if (!WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0) return false;
    content.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view content) {
  static std::atomic<unsigned> sequence{0};
  const std::wstring widePath = win32::WideFromUtf8(path);
  std::wstring temporaryPath;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporaryPath = widePath + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                    std::to_wstring(sequence++) + L".tmp";
    file = CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, content) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  ok = ok && MoveFileExW(temporaryPath.c_str(), widePath.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temporaryPath.c_str());
  return ok;
}

std::FILE* OpenForReading(const std::string& path) {
  return _wfopen(win32::WideFromUtf8(path).c_str(), L"rb");
}

}  // namespace quillstone::detail
