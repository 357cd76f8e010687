#pragma once

#include <cstdint>
#include <functional>

#include "platform/Platform.h"

namespace quillstone {

// The one seam between the device link and the communication library: the real library in the
// program and end-to-end tests, a scripted device in unit tests.
class DeviceApi {
 public:
  virtual ~DeviceApi() = default;
  virtual std::int32_t Init(const char* transport, const char* address, std::int32_t portOrId,
                            std::int32_t baud) = 0;
  virtual void SendCmd(std::int32_t handle, std::uint16_t& command, char* buffer,
                       std::int32_t capacity, std::int32_t length, std::int32_t timeoutMs) = 0;
  virtual void Close(std::int32_t handle) = 0;
};

// The capstan library, bound when the program loads.
DeviceApi& CapstanDeviceApi();

// How long each command may take, in ms: the window's values. A test of a whole fleet scales them
// down together with the simulated devices' delays.
struct LinkTimeouts {
  std::int32_t begin = 2000;
  std::int32_t end = 1000;  // each of the three end commands
  std::int32_t restart = 1000;
  std::int32_t read = 1000;
  std::int32_t write = 2000;
};

// Everything the device link reaches outside itself. The system's services and the library
// may be used from several threads at once, one connection per thread.
struct LinkServices {
  DeviceApi* device = nullptr;
  ArpCacheFlusher* arp = nullptr;
  ProcessTable* processes = nullptr;
  Sleeper* sleeper = nullptr;
  // Lets the window process its pending messages; run before each option of a batch.
  std::function<void()> processPendingMessages;
  // Asked right after those messages have run: true when the user has closed the window
  // meanwhile. The batch then ends before the option it was about to write; empty: never.
  std::function<bool()> windowClosing;
  // Draws the scramble key, each of 0 to 254 equally likely.
  std::function<int()> drawScrambleKey;
  LinkTimeouts timeouts;
};

// The process-wide services; at start the real library, the system back ends, no message
// processing and a seeded generator.
LinkServices& CurrentLinkServices();

// Replaces the services for its lifetime (tests, and the window's message hook).
class ScopedLinkServices {
 public:
  explicit ScopedLinkServices(LinkServices replacement);
  ~ScopedLinkServices();
  ScopedLinkServices(const ScopedLinkServices&) = delete;
  ScopedLinkServices& operator=(const ScopedLinkServices&) = delete;

 private:
  LinkServices saved_;
};

}  // namespace quillstone
