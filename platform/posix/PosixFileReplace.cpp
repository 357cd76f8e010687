#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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

// A fresh file beside `path`, named after it so that a leftover is recognisable.
int CreateTemporaryBeside(const std::string& path, std::string& temporaryPath) {
  static std::atomic<unsigned> sequence{0};
  struct stat existing {};
  // The replacement keeps the permissions of the file it replaces.
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0666;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryPath =
        path + "." + std::to_string(::getpid()) + "." + std::to_string(sequence++) + ".tmp";
    const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
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
