#include <shlobj.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/SettingsFolder.h"
#include "platform/win32/WideText.h"

namespace quillstone {

bool FolderAcceptsNewFiles(const std::string& folder) {
  const std::wstring probe = win32::WideFromUtf8(folder + WriteProbeFileName);
  // Shared in every way so that two instances starting at once both see the folder as it is;
  // the system removes the probe when the handle closes, even after a crash.
  const HANDLE file = CreateFileW(
      probe.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
      nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// The shell's own answer rather than the APPDATA variable: it is right also when the program
// was started with a trimmed or another user's environment, and it follows a redirected folder.
std::string UserSettingsDirectory() {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path);
  std::wstring folder = SUCCEEDED(result) && path != nullptr ? path : L"";
  CoTaskMemFree(path);
  if (folder.empty()) return {};
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return win32::Utf8FromWide(folder + L"Quillstone\\");
}

bool CreateFolderPath(const std::string& folder) {
  const std::filesystem::path path(win32::WideFromUtf8(folder));
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

bool MakeFolderPrivate(const std::string& folder) {
  // The roaming application data's access list already keeps other users out; a new folder
  // in it inherits that list.
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(win32::WideFromUtf8(folder)), error);
}

}  // namespace quillstone
