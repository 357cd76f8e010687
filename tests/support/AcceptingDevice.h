#pragma once

// A device that accepts everything, in place of the communication library: every opening
// succeeds and every command gets the success reply with an empty value. No byte leaves the
// process. Each call is recorded, and `onCall` runs inside it, so a test can look at the
// window while the device is being talked to.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devicelink/DeviceApi.h"
#include "devicelink/PunParam.h"

namespace quillstone::testing {

class AcceptingDevice : public DeviceApi {
 public:
  // Installs itself over the current services for as long as it lives.
  AcceptingDevice() : scope_(WithThisDevice()) {}

  std::int32_t Init(const char*, const char* address, std::int32_t, std::int32_t) override {
    Record("open " + std::string(address));
    return 1;
  }
  // The buffer stays as sent, so a read finds no value after the name.
  void SendCmd(std::int32_t, std::uint16_t& command, char*, std::int32_t, std::int32_t,
               std::int32_t) override {
    Record("command " + std::to_string(command));
    command = ReplyOk;
  }
  void Close(std::int32_t) override { Record("close"); }

  std::vector<std::string> calls;
  std::function<void(const std::string& call)> onCall;

 private:
  LinkServices WithThisDevice() {
    LinkServices services = CurrentLinkServices();
    services.device = this;
    return services;
  }
  void Record(std::string call) {
    calls.push_back(call);
    if (onCall) onCall(calls.back());
  }

  ScopedLinkServices scope_;
};

}  // namespace quillstone::testing
