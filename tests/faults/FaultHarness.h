#pragma once

// What the device fault tests put between the device link and the real communication library:
// a recorder that notes every library call with its reply and how long it took, so that a
// test can tell that each call ended within its timeout and that the configuration bracket
// was still attempted when the device had stopped answering.

#include <chrono>
#include <cstdint>
#include <vector>

#include "devicelink/DeviceApi.h"

namespace quillstone::testing {

using SteadyClock = std::chrono::steady_clock;

// Time since it was made.
class Stopwatch {
 public:
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start_);
  }
  void Restart() { start_ = SteadyClock::now(); }

 private:
  SteadyClock::time_point start_ = SteadyClock::now();
};

// Forwards to the library and records each call.
class RecordingDeviceApi final : public DeviceApi {
 public:
  struct Command {
    std::uint16_t code = 0;
    std::uint16_t reply = 0;
    std::int32_t timeoutMs = 0;
    std::chrono::milliseconds took{0};
  };

  explicit RecordingDeviceApi(DeviceApi& library) : library_(library) {}

  std::int32_t Init(const char* transport, const char* address, std::int32_t portOrId,
                    std::int32_t baud) override {
    const std::int32_t handle = library_.Init(transport, address, portOrId, baud);
    opened.push_back(handle);
    return handle;
  }
  void SendCmd(std::int32_t handle, std::uint16_t& command, char* buffer, std::int32_t capacity,
               std::int32_t length, std::int32_t timeoutMs) override {
    const Stopwatch watch;
    const std::uint16_t code = command;
    library_.SendCmd(handle, command, buffer, capacity, length, timeoutMs);
    commands.push_back({code, command, timeoutMs, watch.Elapsed()});
  }
  void Close(std::int32_t handle) override {
    library_.Close(handle);
    closed.push_back(handle);
  }

  std::vector<std::uint16_t> Codes() const {
    std::vector<std::uint16_t> codes;
    for (const Command& command : commands) codes.push_back(command.code);
    return codes;
  }
  std::vector<std::uint16_t> Replies() const {
    std::vector<std::uint16_t> replies;
    for (const Command& command : commands) replies.push_back(command.reply);
    return replies;
  }
  // The longest a call outlasted its own timeout (negative: all ended that much earlier).
  std::chrono::milliseconds LongestOverrun() const {
    std::chrono::milliseconds longest = std::chrono::milliseconds::min();
    for (const Command& command : commands) {
      longest = std::max(longest, command.took - std::chrono::milliseconds(command.timeoutMs));
    }
    return longest;
  }
  void Clear() {
    opened.clear();
    commands.clear();
    closed.clear();
  }

  std::vector<std::int32_t> opened;
  std::vector<Command> commands;
  std::vector<std::int32_t> closed;

 private:
  DeviceApi& library_;
};

// Puts the recorder in front of the library for as long as it lives; everything else of the
// current link services stays as it is.
class ScopedRecordingLibrary {
 public:
  ScopedRecordingLibrary() : scope_(WithRecorder()) {}
  RecordingDeviceApi library{CapstanDeviceApi()};

 private:
  LinkServices WithRecorder() {
    LinkServices services = CurrentLinkServices();
    services.device = &library;
    return services;
  }
  ScopedLinkServices scope_;  // last: it points at the recorder
};

}  // namespace quillstone::testing
