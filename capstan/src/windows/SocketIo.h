#pragma once

#include <winsock2.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Deadline-bounded I/O on non-blocking Winsock sockets, shared by the library's TCP transport and
// the device simulator.
namespace quillstone::winsockio {

using Clock = std::chrono::steady_clock;

enum class IoStatus { kOk, kTimeout, kClosed };

struct ReadResult {
  IoStatus status = IoStatus::kTimeout;
  std::size_t count = 0;
};

// Starts Winsock once per process; false when it cannot be started. It is never shut down:
// sockets may live until the process ends.
bool EnsureWinsock();

// Milliseconds left until the deadline: never negative, rounded up.
int MillisecondsUntil(Clock::time_point deadline);

enum class Wait { kRead, kWrite };
enum class Readiness { kReady, kTimeout, kFailed };

// Waits until the socket is readable (data, end of stream or error) or writable (a connect has
// finished either way), or the deadline passes.
Readiness WaitFor(SOCKET socket, Wait what, Clock::time_point deadline);

bool SetNonBlocking(SOCKET socket);

// Waits until some bytes arrive (status kOk with count > 0), the deadline passes or the other
// end is gone.
ReadResult ReadSome(SOCKET socket, std::span<std::uint8_t> into, Clock::time_point deadline);

IoStatus WriteAll(SOCKET socket, std::span<const std::uint8_t> bytes, Clock::time_point deadline);

// Closes on destruction; movable, not copyable.
class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
  UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.Release()) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept;
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;
  ~UniqueSocket() { Reset(); }

  SOCKET Get() const { return socket_; }
  bool Valid() const { return socket_ != INVALID_SOCKET; }
  SOCKET Release();
  void Reset(SOCKET socket = INVALID_SOCKET);

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

// A non-blocking TCP connection to a dotted IPv4 address, with Nagle's delay off. Fails at once
// when the port is closed; other failures are tried again on a fresh socket until the deadline.
// An invalid socket on failure.
UniqueSocket ConnectTcp(const std::string& address, std::uint16_t port, Clock::time_point deadline);

// The text of a Winsock error code, for messages.
std::string ErrorText(int error);

}  // namespace quillstone::winsockio
