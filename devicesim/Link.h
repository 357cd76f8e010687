#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

// The operating-system side of the simulator: TCP listening and connections, serial lines, and
// the serving thread's wait for work, every wait bounded. posix/ and windows/ implement it; the
// tests use it too, for bare protocol clients and for peers that are not devices.
namespace quillstone::devsim {

using Clock = std::chrono::steady_clock;

enum class IoStatus { kOk, kTimeout, kClosed };

struct IoResult {
  IoStatus status = IoStatus::kTimeout;
  std::size_t count = 0;
};

// One byte link: a TCP connection or a serial line (a pseudo-terminal's simulator end).
class Channel {
 public:
  struct Native;  // the platform's handles
  explicit Channel(std::unique_ptr<Native> native);
  Channel(Channel&&) noexcept;
  Channel& operator=(Channel&&) noexcept;
  ~Channel();

  // Waits until some bytes arrive (kOk, count > 0), the deadline passes or the other end is gone.
  IoResult ReadSome(std::span<std::uint8_t> into, Clock::time_point deadline);
  IoStatus WriteAll(std::span<const std::uint8_t> bytes, Clock::time_point deadline);

  const Native& GetNative() const { return *native_; }

 private:
  std::unique_ptr<Native> native_;
};

struct AcceptedClient {
  Channel channel;
  std::string peer;  // address:port
};

class TcpListener {
 public:
  struct Native;
  explicit TcpListener(std::unique_ptr<Native> native);
  TcpListener(TcpListener&&) noexcept;
  TcpListener& operator=(TcpListener&&) noexcept;
  ~TcpListener();

  std::uint16_t Port() const;
  // A waiting client, with Nagle's delay off; nothing when none is waiting after all.
  std::optional<AcceptedClient> Accept();

  const Native& GetNative() const { return *native_; }

 private:
  std::unique_ptr<Native> native_;
};

// Listens on a dotted IPv4 address; port 0 picks a free one. Throws std::runtime_error saying
// why it cannot ("cannot listen on ADDRESS:PORT: ...").
TcpListener ListenTcp(const std::string& address, std::uint16_t port);

// Connects to a dotted IPv4 address; nothing when refused or not connected by the deadline.
std::optional<Channel> ConnectTcp(const std::string& address, std::uint16_t port,
                                  Clock::time_point deadline);

struct PseudoTerminal {
  Channel channel;   // the simulator's end
  std::string path;  // the end clients open as a serial line
};

// False on systems without them (Windows).
bool PseudoTerminalsAvailable();

// Throws std::runtime_error, also on systems without pseudo-terminals.
PseudoTerminal OpenPseudoTerminal();

// A terminal device in raw mode at the given rate. Throws std::runtime_error.
Channel OpenSerialLine(const std::string& path, std::int32_t baud);

// What ended a serving thread's wait.
struct Activity {
  bool stopRequested = false;
  bool channelReady = false;  // input, or the other end has gone
  bool clientWaiting = false;
};

// A serving thread's wait for a stop request from another thread, input on its channel or a
// client at its listener.
class ServiceWait {
 public:
  struct Native;
  // Throws std::runtime_error when the system cannot provide the wake-up.
  ServiceWait();
  ~ServiceWait();
  ServiceWait(const ServiceWait&) = delete;
  ServiceWait& operator=(const ServiceWait&) = delete;

  // From any thread; stays requested.
  void RequestStop();
  // Blocks until something happens; channel and listener may be null.
  Activity Wait(const Channel* channel, const TcpListener* listener);
  // Blocks until a stop is requested (true) or the deadline passes (false).
  bool WaitForStop(Clock::time_point deadline);

 private:
  std::unique_ptr<Native> native_;
};

}  // namespace quillstone::devsim
