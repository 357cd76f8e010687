#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "capstan/src/Transport.h"

namespace quillstone::capstan {

std::optional<std::filesystem::path> ModuleDirectory(const void* address) {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &self)) {
    return std::nullopt;
  }
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::nullopt;
    // A full buffer means the path was cut; try again with more room.
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path();
}

std::optional<std::filesystem::path> LibraryDirectory() {
  // Any address inside this module names the file it was loaded from: capstan.dll, or the
  // program it is linked into.
  return ModuleDirectory(reinterpret_cast<const void*>(&LibraryDirectory));
}

}  // namespace quillstone::capstan
