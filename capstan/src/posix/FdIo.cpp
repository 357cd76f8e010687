#include "capstan/src/posix/FdIo.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace quillstone::posixio {

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

short WaitFor(int fd, short events, Clock::time_point deadline) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int ready = ::poll(&entry, 1, MillisecondsUntil(deadline));
    if (ready > 0) return entry.revents;
    if (ready == 0) {
      if (Clock::now() >= deadline) return 0;
      continue;  // poll rounds down on some kernels; wait out the rest
    }
    if (errno != EINTR) return POLLERR;
  }
}

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

ReadResult ReadSome(int fd, FdKind kind, std::span<std::uint8_t> into, Clock::time_point deadline) {
  for (;;) {
    const short revents = WaitFor(fd, POLLIN, deadline);
    if (revents == 0) return {IoStatus::kTimeout, 0};
    if ((revents & (POLLIN | POLLHUP | POLLERR)) == 0) return {IoStatus::kClosed, 0};
    const ssize_t got = ::read(fd, into.data(), into.size());
    if (got > 0) return {IoStatus::kOk, static_cast<std::size_t>(got)};
    if (got == 0) {
      if (kind == FdKind::kSocket) return {IoStatus::kClosed, 0};
      if (revents & (POLLHUP | POLLERR)) return {IoStatus::kClosed, 0};
      continue;
    }
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    return {IoStatus::kClosed, 0};
  }
}

IoStatus WriteAll(int fd, FdKind kind, std::span<const std::uint8_t> bytes,
                  Clock::time_point deadline) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const std::uint8_t* from = bytes.data() + written;
    const std::size_t left = bytes.size() - written;
    // MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE in the host process.
    const ssize_t put =
        kind == FdKind::kSocket ? ::send(fd, from, left, MSG_NOSIGNAL) : ::write(fd, from, left);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return IoStatus::kClosed;
    const short revents = WaitFor(fd, POLLOUT, deadline);
    if (revents == 0) return IoStatus::kTimeout;
    if ((revents & POLLOUT) == 0) return IoStatus::kClosed;
  }
  return IoStatus::kOk;
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

}  // namespace quillstone::posixio
