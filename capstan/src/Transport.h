#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

// The byte link under a connection. Each platform supplies the factories at the bottom.
namespace quillstone::capstan {

using Clock = std::chrono::steady_clock;

enum class LinkStatus { kOk, kTimeout, kClosed };

struct Received {
  LinkStatus status = LinkStatus::kTimeout;
  std::size_t count = 0;
};

class Transport {
 public:
  virtual ~Transport() = default;

  virtual LinkStatus Send(std::span<const std::uint8_t> bytes, Clock::time_point deadline) = 0;
  // Waits for at least one byte until the deadline.
  virtual Received Receive(std::span<std::uint8_t> into, Clock::time_point deadline) = 0;
  // Drops bytes that arrived before anything was asked (a line's leftovers).
  virtual void DiscardInput() = 0;
  // A stream delivers every byte in order and only from our peer (TCP); a serial line may carry
  // noise and other devices' frames.
  virtual bool IsReliableStream() const = 0;
};

// address: dotted IPv4 text. Fails at once when the port is closed, otherwise by the deadline.
std::unique_ptr<Transport> OpenTcpTransport(const std::string& address, std::uint16_t port,
                                            Clock::time_point deadline);

// path: a device path as PlatformSerialPath returns it.
std::unique_ptr<Transport> OpenSerialTransport(const std::string& path, std::int32_t baud);

// The platform's device path for a serial port name the mapping file does not cover: "COMn"
// (any letter case) by the platform's convention, or a name that already is a device path.
std::optional<std::string> PlatformSerialPath(const std::string& name);

// The folder of the file (library or program) that holds the code at `address`.
std::optional<std::filesystem::path> ModuleDirectory(const void* address);

// The folder holding the capstan library itself, where its mapping file lives.
std::optional<std::filesystem::path> LibraryDirectory();

}  // namespace quillstone::capstan
