#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>

#include "platform/win32/WideText.h"
#else
#include <unistd.h>
#endif

namespace quillstone {
namespace {

// Small enough to look at `stop` often, large enough that a real file takes few calls.
constexpr std::size_t kChunkSize = 64 * 1024;

#ifdef _WIN32
using FileStatus = struct _stat64;
constexpr int kRegular = _S_IFREG;
constexpr int kFolder = _S_IFDIR;
constexpr int kCharacterDevice = _S_IFCHR;
constexpr int kFifo = _S_IFIFO;

// The C runtime's stat finds no folder named with a separator at its end (a path such as
// C:\Temp\ from a user), so the separator is left out, but not from a drive's root.
int StatusOfPath(const std::string& path, FileStatus& status) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/') &&
         !(trimmed.size() == 3 && trimmed[1] == ':')) {
    trimmed.pop_back();
  }
  return ::_wstat64(win32::WideFromUtf8(trimmed).c_str(), &status);
}
int OpenWithoutWaiting(const std::string& path) {
  return ::_wopen(win32::WideFromUtf8(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int StatusOf(int fd, FileStatus& status) {
  return ::_fstat64(fd, &status);
}
long long ReadSome(int fd, char* into, std::size_t size) {
  return ::_read(fd, into, static_cast<unsigned>(size));
}
void CloseFile(int fd) {
  ::_close(fd);
}
#else
using FileStatus = struct stat;
constexpr int kRegular = S_IFREG;
constexpr int kFolder = S_IFDIR;
constexpr int kCharacterDevice = S_IFCHR;
constexpr int kFifo = S_IFIFO;

int StatusOfPath(const std::string& path, FileStatus& status) {
  return ::stat(path.c_str(), &status);
}
// O_NONBLOCK: a FIFO opens at once instead of waiting for a writer; O_NOCTTY: a terminal named
// by mistake does not become the program's controlling terminal.
int OpenWithoutWaiting(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}
int StatusOf(int fd, FileStatus& status) {
  return ::fstat(fd, &status);
}
long long ReadSome(int fd, char* into, std::size_t size) {
  return ::read(fd, into, size);
}
void CloseFile(int fd) {
  ::close(fd);
}
#endif

std::string KindOf(const FileStatus& status) {
  const int type = static_cast<int>(status.st_mode) & S_IFMT;
  if (type == kFolder) return "a folder";
  if (type == kCharacterDevice) return "a character device";
  if (type == kFifo) return "a pipe (FIFO)";
#ifndef _WIN32
  if (type == S_IFBLK) return "a block device";
  if (type == S_IFSOCK) return "a socket";
#endif
  return "not a regular file";
}

bool IsRegular(const FileStatus& status) {
  return (static_cast<int>(status.st_mode) & S_IFMT) == kRegular;
}

InputFileRead Fault(InputFileFault fault, std::string detail = {}) {
  InputFileRead read;
  read.fault = fault;
  read.detail = std::move(detail);
  return read;
}

InputFileRead FaultOfErrno(int error) {
  if (error == ENOENT || error == ENOTDIR) return Fault(InputFileFault::kMissing);
  return Fault(InputFileFault::kUnreadable, std::generic_category().message(error));
}

class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0) CloseFile(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

InputFileRead ReadInputFile(const std::string& path, std::size_t limit,
                            const std::function<bool()>& stop) {
  if (stop && stop()) return Fault(InputFileFault::kStopped);
  FileStatus status{};
  // A folder cannot be opened for reading everywhere; its kind is told from the path.
  if (StatusOfPath(path, status) != 0) return FaultOfErrno(errno);
  if ((static_cast<int>(status.st_mode) & S_IFMT) == kFolder) {
    return Fault(InputFileFault::kNotRegular, KindOf(status));
  }
  const OpenFile file(OpenWithoutWaiting(path));
  if (file.Get() < 0) return FaultOfErrno(errno);
  // The opened file is the one judged: the path may have been replaced meanwhile.
  if (StatusOf(file.Get(), status) != 0) return FaultOfErrno(errno);
  if (!IsRegular(status)) return Fault(InputFileFault::kNotRegular, KindOf(status));
  if (status.st_size < 0 || static_cast<unsigned long long>(status.st_size) > limit) {
    return Fault(InputFileFault::kTooLarge);
  }

  InputFileRead read;
  read.content.reserve(static_cast<std::size_t>(status.st_size));
  std::vector<char> chunk(kChunkSize);
  for (;;) {
    if (stop && stop()) return Fault(InputFileFault::kStopped);
    // One byte past the limit is enough to know that the file has grown beyond it.
    const std::size_t room = limit - std::min(limit, read.content.size()) + 1;
    const long long got = ReadSome(file.Get(), chunk.data(), std::min(room, chunk.size()));
    if (got < 0) {
      if (errno == EINTR) continue;
      return FaultOfErrno(errno);
    }
    if (got == 0) return read;
    read.content.append(chunk.data(), static_cast<std::size_t>(got));
    if (read.content.size() > limit) return Fault(InputFileFault::kTooLarge);
  }
}

}  // namespace quillstone
