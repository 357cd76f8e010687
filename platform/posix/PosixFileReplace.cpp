#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <string>

#include "platform/FileReplace.h"

namespace quillstone::detail {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The permissions the file at `path` is to have; nothing when the umask decides.
std::optional<mode_t> ModeFor(const std::string& path) {
  struct stat status {};
  // The replacement keeps the permissions of the file it replaces, exactly: the umask neither
  // narrows them nor is there anything that would widen them.
  if (::stat(path.c_str(), &status) == 0) return status.st_mode & 0777;
  // A new file is no more open than its folder: in a folder only its owner may enter (the
  // per-user settings folder, which holds the Wi-Fi passphrase) it is the owner's alone.
  // Elsewhere, a program folder the user keeps the settings in, the user's umask decides.
  if (::stat(FolderOf(path).c_str(), &status) == 0 && (status.st_mode & 077) == 0) return 0600;
  return std::nullopt;
}

// A fresh file beside `path`, named after it so that a leftover is recognisable.
int CreateTemporaryBeside(const std::string& path, std::string& temporaryPath) {
  static std::atomic<unsigned> sequence{0};
  const std::optional<mode_t> mode = ModeFor(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryPath =
        path + "." + std::to_string(::getpid()) + "." + std::to_string(sequence++) + ".tmp";
    // Made private at first, so that no other user can open it before its mode is set.
    const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          mode ? mode_t{0600} : mode_t{0666});
    if (fd < 0 && errno == EEXIST) continue;
    if (fd >= 0 && mode && ::fchmod(fd, *mode) != 0) {
      ::close(fd);
      ::unlink(temporaryPath.c_str());
      return -1;
    }
    return fd;
  }
  return -1;
}

void SyncFolder(const std::string& path) {
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename itself has already succeeded
  ::close(fd);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view content) {
  std::string temporaryPath;
  const int fd = CreateTemporaryBeside(path, temporaryPath);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporaryPath.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporaryPath.c_str());
    return false;
  }
  SyncFolder(path);
  return true;
}

std::FILE* OpenForReading(const std::string& path) {
  return std::fopen(path.c_str(), "rb");
}

}  // namespace quillstone::detail
