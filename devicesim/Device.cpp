#include "devicesim/Device.h"

#include <stdexcept>
#include <utility>

#include "capstan/capstan.h"
#include "capstan/src/Protocol.h"
#include "devicesim/Scramble.h"

namespace quillstone::devsim {
namespace {

// A read's answer is "name=value" and a zero byte, in one reply frame.
bool FitsOneReply(std::string_view name, std::string_view value) {
  return name.size() + value.size() + 2 <= wire::kMaxPayload;
}

}  // namespace

Device::Device(OptionStore store, const OptionMap& defaults, std::string osValue)
    : store_(std::move(store)), osValue_(std::move(osValue)) {
  for (const auto& [name, value] : defaults) {
    if (!store_.Get(name)) store_.Preset(name, value);
  }
  store_.Preset(kOsOptionName, osValue_);
}

Answer Device::Handle(std::uint16_t code, std::string_view request) {
  switch (code) {
    case CAPSTAN_CMD_READ_OPTION:
      return Read(request);
    case CAPSTAN_CMD_WRITE_OPTION:
      return Write(request);
    case CAPSTAN_CMD_BEGIN_CONFIG:
      configuring_ = true;
      return {CAPSTAN_REPLY_OK, {}, {}};
    case CAPSTAN_CMD_END_CONFIG:
      configuring_ = false;
      return {CAPSTAN_REPLY_OK, {}, {}};
    case CAPSTAN_CMD_END_SESSION:
      return {CAPSTAN_REPLY_OK, {}, {}};
    case CAPSTAN_CMD_RESTART:
      restartPending_ = true;
      return {CAPSTAN_REPLY_OK, {}, {}};
    default:
      return {CAPSTAN_REPLY_UNKNOWN_COMMAND, {}, {}};
  }
}

Answer Device::Read(std::string_view name) const {
  if (name.empty()) return {CAPSTAN_REPLY_BAD_REQUEST, {}, {}};
  const auto value = store_.Get(std::string(name));
  if (!value) return {CAPSTAN_REPLY_NOT_FOUND, {}, {}};
  // Only a value loaded from the state file or the defaults can be this long; writes refuse it.
  if (!FitsOneReply(name, *value)) return {CAPSTAN_REPLY_REFUSED, {}, "too long to answer"};
  // The zero byte lets the reader find the value's end inside its own buffer.
  std::string payload = std::string(name) + "=" + *value;
  payload.push_back('\0');
  return {CAPSTAN_REPLY_OK, std::move(payload), {}};
}

Answer Device::Write(std::string_view text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos || equals == 0) return {CAPSTAN_REPLY_BAD_REQUEST, {}, {}};
  const std::string name(text.substr(0, equals));
  std::string value(text.substr(equals + 1));
  // "~OS" decides how clients send "~" options; letting a write change it mid-session would
  // make the client's earlier probe wrong.
  if (name == kOsOptionName) return {CAPSTAN_REPLY_REFUSED, {}, {}};
  if (auto refusal = refusals_.find(name); refusal != refusals_.end() && refusal->second > 0) {
    --refusal->second;
    return {CAPSTAN_REPLY_REFUSED, {}, {}};
  }
  if (name.front() == '~' && ExpectsScrambledValues()) {
    const auto plain = UnscrambleValue(value);
    if (!plain) return {CAPSTAN_REPLY_BAD_REQUEST, {}, {}};
    value = *plain;
  }
  // An option that could not be read back in one reply frame is not taken.
  if (!FitsOneReply(name, value)) return {CAPSTAN_REPLY_BAD_REQUEST, {}, {}};
  try {
    store_.Set(name, value);
  } catch (const std::runtime_error& error) {
    return {CAPSTAN_REPLY_REFUSED, {}, error.what()};
  }
  return {CAPSTAN_REPLY_OK, {}, {}};
}

void Device::RefuseOption(const std::string& name, int times) {
  refusals_[name] = times;
}

bool Device::TakePendingRestart() {
  return std::exchange(restartPending_, false);
}

void Device::SetOption(const std::string& name, const std::string& value) {
  store_.Set(name, value);
}

}  // namespace quillstone::devsim
