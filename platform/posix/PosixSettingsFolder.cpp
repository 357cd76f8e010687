#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/SettingsFolder.h"

namespace quillstone {

bool FolderAcceptsNewFiles(const std::string& folder) {
  const std::string probe = folder + WriteProbeFileName;
  // Not O_EXCL: another instance starting at the same moment may hold the same probe.
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::string UserSettingsDirectory() {
  // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    base = home;
    if (base.back() != '/') base += '/';
    base += ".config";
  }
  if (base.back() != '/') base += '/';
  return base + "quillstone/";
}

bool CreateFolderPath(const std::string& folder) {
  struct stat status {};
  for (std::size_t end = folder.find('/', 1); end != std::string::npos;
       end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    // The configuration folders hold the user's settings: new ones are the user's alone.
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  if (folder.back() != '/' && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool MakeFolderPrivate(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat status {};
  // lstat of the name without its separator: a link is left as it is, and so is a folder of
  // someone else's.
  if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
  if ((status.st_mode & 077) == 0) return true;
  if (status.st_uid != ::geteuid()) return false;
  return ::chmod(path.c_str(), status.st_mode & 0700) == 0;
}

}  // namespace quillstone
