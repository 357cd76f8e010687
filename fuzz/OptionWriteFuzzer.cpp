// WriteOption on any option text, through a scripted device: the name/value split at the
// first "=", the read before the write and the equal-value skip, the plain and the scrambled
// request, the buffer sizes and lengths handed to the library, and the result.
//
// Input: the device's answers (read reply and its bytes, write reply), the drawn key, whether
// scrambling is allowed, then the option text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "capstan/capstan.h"
#include "devicelink/DeviceApi.h"
#include "devicelink/OptionExchange.h"
#include "devicelink/PunParam.h"
#include "devicesim/Scramble.h"
#include "fuzz/FuzzCheck.h"

namespace quillstone {
namespace {

struct Call {
  std::uint16_t code = 0;
  std::int32_t capacity = 0;
  std::int32_t length = 0;
  std::int32_t timeoutMs = 0;
  std::string request;
};

// Answers each command as scripted and records what it was given. Like the library it reads
// the request's `length` bytes, may write up to `capacity` bytes, and leaves the rest alone.
class ScriptedDevice final : public DeviceApi {
 public:
  std::uint16_t readReply = CAPSTAN_REPLY_OK;
  std::string readPayload;
  std::uint16_t writeReply = CAPSTAN_REPLY_OK;
  std::vector<Call> calls;

  std::int32_t Init(const char*, const char*, std::int32_t, std::int32_t) override { return 0; }
  void Close(std::int32_t) override {}

  void SendCmd(std::int32_t handle, std::uint16_t& command, char* buffer, std::int32_t capacity,
               std::int32_t length, std::int32_t timeoutMs) override {
    FUZZ_CHECK(handle == kHandle);
    FUZZ_CHECK(buffer != nullptr && capacity >= 0 && length >= 0);
    calls.push_back({command, capacity, length, timeoutMs, std::string(buffer, buffer + length)});
    // Touch every byte the capacity promises, so that a shorter buffer is caught.
    volatile char sink = std::accumulate(buffer, buffer + capacity, char{0});
    (void)sink;
    const bool isRead = command == CAPSTAN_CMD_READ_OPTION;
    const std::string& payload = isRead ? readPayload : std::string();
    std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), capacity), buffer);
    command = isRead ? readReply : writeReply;
  }

  static constexpr std::int32_t kHandle = 7;
};

// The value a read hands back: the reply written over the 200-byte request, from just past the
// name and one separator byte up to the first zero byte.
std::string ValueRead(const std::string& name, const std::string& replyBytes) {
  std::string buffer(200, '\0');
  std::copy(name.begin(), name.end(), buffer.begin());
  std::copy_n(replyBytes.begin(), std::min<std::size_t>(replyBytes.size(), 200), buffer.begin());
  const std::string rest = buffer.substr(name.size() + 1);
  return rest.substr(0, rest.find('\0'));
}

}  // namespace
}  // namespace quillstone

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstone;
  FuzzedDataProvider input(data, size);
  ScriptedDevice device;
  device.readReply = input.ConsumeBool() ? CAPSTAN_REPLY_OK : CAPSTAN_REPLY_NOT_FOUND;
  device.writeReply = input.ConsumeBool() ? CAPSTAN_REPLY_OK : CAPSTAN_REPLY_REFUSED;
  const bool answerWithTheWantedValue = input.ConsumeBool();
  std::string readPayload = input.ConsumeRandomLengthString(260);
  const int drawn = input.ConsumeIntegralInRange(0, 254);
  const bool scrambleAllowed = input.ConsumeBool();
  const std::string text = input.ConsumeRemainingBytesAsString();

  const std::size_t equals = text.find('=');
  const bool split = equals != std::string::npos && equals >= 1;
  const std::string name = split ? text.substr(0, equals) : std::string();
  const std::string wanted = split ? text.substr(equals + 1) : std::string();
  device.readPayload = answerWithTheWantedValue && split ? name + "=" + wanted + '\0' : readPayload;

  LinkServices services = CurrentLinkServices();
  services.device = &device;
  services.drawScrambleKey = [drawn] { return drawn; };
  const ScopedLinkServices scope(services);
  const bool written = WriteOption(ScriptedDevice::kHandle, text, scrambleAllowed);

  std::size_t next = 0;
  if (split) {
    if (name.size() > 198) {  // the read buffer cannot hold it: nothing is sent
      FUZZ_CHECK(!written && device.calls.empty());
      return 0;
    }
    FUZZ_CHECK(device.calls.size() >= 1);
    const Call& read = device.calls[next++];
    FUZZ_CHECK(read.code == CAPSTAN_CMD_READ_OPTION && read.capacity == 200 &&
               read.timeoutMs == 1000);
    FUZZ_CHECK(read.request == name + '\0');
    const std::string value =
        device.readReply == CAPSTAN_REPLY_OK ? ValueRead(name, device.readPayload) : "";
    if (value == wanted) {
      FUZZ_CHECK(written && device.calls.size() == 1);
      return 0;
    }
  }

  const bool scrambled = scrambleAllowed && text.starts_with('~');
  std::string expected = text;
  if (scrambled) {
    // A text without "=" travels as it is, but still in the scrambled buffer.
    if (equals != std::string::npos) expected = ScrambleOptionText(text, drawn == 0 ? 192 : drawn);
    if (expected.size() > 400) {  // longer than the scrambled buffer: refused unsent
      FUZZ_CHECK(!written && device.calls.size() == next);
      return 0;
    }
  }
  FUZZ_CHECK(device.calls.size() == next + 1);
  const Call& write = device.calls[next];
  FUZZ_CHECK(write.code == CAPSTAN_CMD_WRITE_OPTION && write.capacity == 100 &&
             write.timeoutMs == 2000);
  FUZZ_CHECK(write.request == expected + '\0');
  if (scrambled && equals != std::string::npos && wanted.find('\0') == std::string::npos) {
    // What the device recovers is the plain value.
    FUZZ_CHECK(devsim::UnscrambleValue(expected.substr(equals + 1)) == wanted);
  }
  FUZZ_CHECK(written == (device.writeReply == CAPSTAN_REPLY_OK));
  return 0;
}
