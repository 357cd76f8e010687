#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

// Deadline-bounded I/O on non-blocking POSIX descriptors, shared by the library's transports and
// the device simulator.
namespace quillstone::posixio {

using Clock = std::chrono::steady_clock;

enum class IoStatus { kOk, kTimeout, kClosed };

// Sockets report the peer's end as a zero-length read; terminals use zero for "nothing yet" and
// report a hang-up as an error.
enum class FdKind { kSocket, kTerminal };

struct ReadResult {
  IoStatus status = IoStatus::kTimeout;
  std::size_t count = 0;
};

// Milliseconds left until the deadline, for poll(): never negative, rounded up.
int MillisecondsUntil(Clock::time_point deadline);

// Polls one descriptor until the deadline; returns its revents, 0 on timeout.
short WaitFor(int fd, short events, Clock::time_point deadline);

bool SetNonBlocking(int fd);

// Waits until some bytes arrive (status kOk with count > 0), the deadline passes or the other end
// is gone.
ReadResult ReadSome(int fd, FdKind kind, std::span<std::uint8_t> into, Clock::time_point deadline);

IoStatus WriteAll(int fd, FdKind kind, std::span<const std::uint8_t> bytes,
                  Clock::time_point deadline);

// Closes on destruction; movable, not copyable.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release();
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

}  // namespace quillstone::posixio
