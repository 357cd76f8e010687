#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "capstan/capstan.h"
#include "devicelink/DeviceApi.h"
#include "devicelink/PunParam.h"

// Scripted stand-ins for the library and the system services, all writing into one event log
// so that tests can check the order of everything the device link does.
namespace quillstone::testing {

using EventLog = std::vector<std::string>;

struct InitCall {
  std::string transport;
  std::string address;
  std::int32_t portOrId = 0;
  std::int32_t baud = 0;
};

struct DeviceCall {
  std::int32_t handle = 0;
  std::uint16_t code = 0;
  bool nullBuffer = false;
  std::string request;       // the first `length` bytes
  std::string bufferBefore;  // every byte handed over: max(capacity, length)
  std::int32_t capacity = 0;
  std::int32_t length = 0;
  std::int32_t timeoutMs = 0;
};

// What the device answers to one command: the reply code, and the bytes the library writes
// into the buffer from its start (never beyond the capacity).
struct DeviceReply {
  std::uint16_t code = CAPSTAN_REPLY_OK;
  std::string bytes;
};

inline DeviceReply Acknowledged() {
  return {};
}
inline DeviceReply Refused() {
  return {CAPSTAN_REPLY_REFUSED, {}};
}
inline DeviceReply NoAnswer() {
  return {CAPSTAN_REPLY_TIMEOUT, {}};
}
// A read answer as the library leaves it: the name, a separator and the value (no zero byte,
// so the reader has to rely on its own zero-filled buffer).
inline DeviceReply ValueOf(const std::string& name, const std::string& value) {
  return {CAPSTAN_REPLY_OK, name + "=" + value};
}

class ScriptedDevice final : public DeviceApi {
 public:
  explicit ScriptedDevice(EventLog& log) : log_(log) {}

  // Replies for the coming commands in order; commands beyond the script go unanswered.
  void Script(std::initializer_list<DeviceReply> replies) {
    replies_.insert(replies_.end(), replies.begin(), replies.end());
  }

  std::int32_t Init(const char* transport, const char* address, std::int32_t portOrId,
                    std::int32_t baud) override {
    inits.push_back({transport, address, portOrId, baud});
    log_.push_back("init");
    return initResult;
  }

  void SendCmd(std::int32_t handle, std::uint16_t& command, char* buffer, std::int32_t capacity,
               std::int32_t length, std::int32_t timeoutMs) override {
    DeviceCall call{handle, command, buffer == nullptr, {}, {}, capacity, length, timeoutMs};
    if (buffer != nullptr) {
      // Touching every byte the caller vouches for lets the address sanitizer catch a buffer
      // smaller than the capacity stated.
      call.bufferBefore.assign(buffer, static_cast<std::size_t>(std::max(capacity, length)));
      call.request = call.bufferBefore.substr(0, static_cast<std::size_t>(length));
    }
    calls.push_back(call);
    log_.push_back("cmd " + std::to_string(command));

    DeviceReply reply = NoAnswer();
    if (!replies_.empty()) {
      reply = replies_.front();
      replies_.pop_front();
    }
    if (buffer != nullptr && !reply.bytes.empty()) {
      const std::size_t room = static_cast<std::size_t>(std::max(capacity, 0));
      std::copy_n(reply.bytes.begin(), std::min(room, reply.bytes.size()), buffer);
    }
    command = reply.code;
  }

  void Close(std::int32_t handle) override {
    closes.push_back(handle);
    log_.push_back("close");
  }

  std::vector<std::uint16_t> Codes() const {
    std::vector<std::uint16_t> codes;
    for (const DeviceCall& call : calls) codes.push_back(call.code);
    return codes;
  }

  std::vector<DeviceCall> CallsWithCode(std::uint16_t code) const {
    std::vector<DeviceCall> matching;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(matching),
                 [code](const DeviceCall& call) { return call.code == code; });
    return matching;
  }

  std::int32_t initResult = 0x51;
  std::vector<InitCall> inits;
  std::vector<DeviceCall> calls;
  std::vector<std::int32_t> closes;

 private:
  EventLog& log_;
  std::deque<DeviceReply> replies_;
};

class FakeArpCacheFlusher final : public ArpCacheFlusher {
 public:
  explicit FakeArpCacheFlusher(EventLog& log) : log_(log) {}
  void StartFlush(WindowId owner) override {
    owners.push_back(owner);
    log_.push_back("arp");
  }
  std::vector<WindowId> owners;

 private:
  EventLog& log_;
};

class FakeProcessTable final : public ProcessTable {
 public:
  explicit FakeProcessTable(EventLog& log) : log_(log) {}
  std::vector<ProcessEntry> Snapshot() override {
    log_.push_back("snapshot");
    return processes;
  }
  bool Terminate(std::int64_t id) override {
    terminated.push_back(id);
    log_.push_back("terminate " + std::to_string(id));
    const auto outcome = terminateResults.find(id);
    return outcome == terminateResults.end() || outcome->second;
  }
  std::vector<ProcessEntry> processes;
  std::map<std::int64_t, bool> terminateResults;  // true unless listed
  std::vector<std::int64_t> terminated;

 private:
  EventLog& log_;
};

class RecordingSleeper final : public Sleeper {
 public:
  explicit RecordingSleeper(EventLog& log) : log_(log) {}
  void SleepMs(int milliseconds) override {
    pauses.push_back(milliseconds);
    log_.push_back("pause " + std::to_string(milliseconds));
  }
  std::vector<int> pauses;

 private:
  EventLog& log_;
};

// Every service faked; the process-wide state starts as at program start and is restored.
class DeviceLinkTest : public ::testing::Test {
 protected:
  DeviceLinkTest() : scope_(Services()) {
    DeviceHandle = 0;
    CommandWord = 0;
    ScrambleOptions = false;
  }
  ~DeviceLinkTest() override {
    DeviceHandle = 0;
    CommandWord = 0;
    ScrambleOptions = false;
  }

  // Keys the generator hands out, in order; running out fails the test.
  std::deque<int> keys;
  int keysDrawn = 0;

  EventLog log;
  ScriptedDevice device{log};
  FakeArpCacheFlusher arp{log};
  FakeProcessTable processes{log};
  RecordingSleeper sleeper{log};

 private:
  LinkServices Services() {
    LinkServices services;
    services.device = &device;
    services.arp = &arp;
    services.processes = &processes;
    services.sleeper = &sleeper;
    services.processPendingMessages = [this] { log.push_back("messages"); };
    services.drawScrambleKey = [this] {
      ++keysDrawn;
      if (keys.empty()) {
        ADD_FAILURE() << "unexpected key draw";
        return 1;
      }
      const int key = keys.front();
      keys.pop_front();
      return key;
    };
    return services;
  }

  ScopedLinkServices scope_;
};

}  // namespace quillstone::testing
