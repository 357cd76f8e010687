#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "devicesim/OptionStore.h"

namespace quillstone::devsim {

inline constexpr const char* kOsOptionName = "~OS";

struct Answer {
  std::uint16_t reply = 0;
  std::string payload;
  // Why a write was refused when the cause is on the device's side, for the log.
  std::string problem;
};

// What the simulated device does with one command, apart from the link: options, the "~OS"
// property, the scrambled form, refusals and the pending restart.
class Device {
 public:
  // store: loaded already. defaults fill options the store lacks; "~OS" is always osValue.
  Device(OptionStore store, const OptionMap& defaults, std::string osValue);

  // request: the payload up to its first zero byte.
  Answer Handle(std::uint16_t code, std::string_view request);

  // The next `times` writes of this option are refused.
  void RefuseOption(const std::string& name, int times);
  // True once after a restart command.
  bool TakePendingRestart();
  // Between a begin-configuration command and the next end-configuration command.
  bool Configuring() const { return configuring_; }
  // A session that ends (its connection gone, the device restarting) ends configuration mode;
  // true when it was still on.
  bool EndSession() { return std::exchange(configuring_, false); }
  // What a faulty store loses when the device restarts.
  void RemoveOption(const std::string& name) { store_.Remove(name); }
  // Values of "~" options arrive scrambled when "~OS" is empty or "NONE".
  bool ExpectsScrambledValues() const { return osValue_.empty() || osValue_ == "NONE"; }
  const OptionStore& Store() const { return store_; }
  void SetOption(const std::string& name, const std::string& value);

 private:
  Answer Read(std::string_view name) const;
  Answer Write(std::string_view text);

  OptionStore store_;
  std::string osValue_;
  std::map<std::string, int> refusals_;
  bool restartPending_ = false;
  bool configuring_ = false;
};

}  // namespace quillstone::devsim
