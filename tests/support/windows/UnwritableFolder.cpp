#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <vector>

#include "platform/SettingsFolder.h"
#include "tests/support/UnwritableFolder.h"

namespace quillstone::testing {
namespace {

std::wstring Wide(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

}  // namespace

struct UnwritableFolder::Hold {
  std::vector<HANDLE> files;
};

UnwritableFolder::UnwritableFolder(std::string folder)
    : folder_(std::move(folder)), hold_(std::make_unique<Hold>()) {
  for (const auto& entry : std::filesystem::directory_iterator(Wide(folder_))) {
    const HANDLE file = CreateFileW(entry.path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) hold_->files.push_back(file);
  }
  // The start-up probe's file, held without sharing, so that the tool's attempt to make a file
  // here fails as it does in a folder the user may not write; gone again once closed.
  const HANDLE probe =
      CreateFileW(Wide(folder_ + WriteProbeFileName).c_str(), GENERIC_WRITE, 0, nullptr,
                  CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe != INVALID_HANDLE_VALUE) hold_->files.push_back(probe);
}

UnwritableFolder::~UnwritableFolder() {
  for (const HANDLE file : hold_->files) CloseHandle(file);
}

// The replacement's last step, the rename over the held file, fails.
bool UnwritableFolder::RefusesToReplace(const std::string& name) const {
  const std::wstring target = Wide(folder_ + name);
  const std::wstring probe = target + L".probe";
  const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  CloseHandle(file);
  const bool replaced = MoveFileExW(probe.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!replaced) DeleteFileW(probe.c_str());
  return !replaced;
}

}  // namespace quillstone::testing
