#include "platform/SettingsFolder.h"

#include "platform/FileReplace.h"

namespace quillstone {

std::string ChooseSettingsDirectory(const std::string& programDirectory,
                                    const std::string& userDirectory,
                                    const std::vector<std::string>& fileNames) {
  if (userDirectory.empty() || FolderAcceptsNewFiles(programDirectory)) return programDirectory;
  // A folder that cannot be made still is the one used: the first write then names the file
  // it could not write, which is what the user has to look at.
  if (CreateFolderPath(userDirectory)) MakeFolderPrivate(userDirectory);
  for (const std::string& name : fileNames) {
    std::string existing;
    if (detail::ReadWholeFile(userDirectory + name, existing) != detail::FileReadStatus::kMissing) {
      continue;
    }
    std::string shipped;
    if (detail::ReadWholeFile(programDirectory + name, shipped) == detail::FileReadStatus::kRead) {
      detail::ReplaceFileAtomically(userDirectory + name, shipped);
    }
  }
  return userDirectory;
}

}  // namespace quillstone
