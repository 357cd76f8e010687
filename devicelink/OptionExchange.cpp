#include "devicelink/OptionExchange.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "capstan/capstan.h"
#include "devicelink/DeviceApi.h"
#include "devicelink/PunParam.h"

namespace quillstone {
namespace {

constexpr std::size_t kReadBufferSize = 200;
constexpr std::size_t kLongestName = kReadBufferSize - 2;  // name, zero, one reply byte
constexpr std::int32_t kReadTimeoutMs = 1000;

constexpr std::int32_t kWriteCapacity = 100;
constexpr std::size_t kLongestScrambledText = 400;
constexpr std::int32_t kWriteTimeoutMs = 2000;

constexpr int kPauseAfterOptionMs = 100;
constexpr char kScrambledNamePrefix = '~';
constexpr const char* kScrambleProbeName = "~OS";
constexpr const char* kProbeAnswerForScrambling = "NONE";
// A drawn key of 0 would leave the first value byte readable.
constexpr int kKeyInPlaceOfZero = 192;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// A request as handed to the library: text, its terminating zero, zero bytes up to the
// buffer size, and the length stated (text + 1).
struct Request {
  std::vector<char> buffer;
  std::int32_t length = 0;
};

// The buffer is never smaller than the capacity stated, as the library may write a reply of
// that size into it.
std::optional<Request> MakeRequest(const std::string& text, std::size_t bufferSize) {
  if (text.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  Request request;
  request.buffer.assign(std::max({bufferSize, text.size() + 1, std::size_t{kWriteCapacity}}), 0);
  std::memcpy(request.buffer.data(), text.data(), text.size());
  request.length = static_cast<std::int32_t>(text.size() + 1);
  return request;
}

void AppendHex(std::string& out, int byte) {
  out += kHexDigits[(byte >> 4) & 0x0F];
  out += kHexDigits[byte & 0x0F];
}

int DrawScrambleKey() {
  const int key = CurrentLinkServices().drawScrambleKey();
  return key == 0 ? kKeyInPlaceOfZero : key;
}

std::optional<Request> MakeWriteRequest(const std::string& optionText, bool scramble) {
  if (!scramble) return MakeRequest(optionText, kWriteCapacity);
  const bool hasValue = optionText.find('=') != std::string::npos;
  const std::string scrambled = ScrambleOptionText(optionText, hasValue ? DrawScrambleKey() : 0);
  // Never more than the scrambled buffer holds; the option then fails unsent.
  if (scrambled.size() > kLongestScrambledText) return std::nullopt;
  return MakeRequest(scrambled, kLongestScrambledText + 1);
}

}  // namespace

std::string ReadOption(std::int32_t handle, const std::string& name) {
  if (name.size() > kLongestName) return {};
  std::array<char, kReadBufferSize> buffer{};
  std::memcpy(buffer.data(), name.data(), name.size());
  CommandWord = CAPSTAN_CMD_READ_OPTION;
  CurrentLinkServices().device->SendCmd(handle, CommandWord, buffer.data(), kReadBufferSize,
                                        static_cast<std::int32_t>(name.size() + 1), kReadTimeoutMs);
  if (CommandWord != ReplyOk) return {};
  // The value follows the name and one separator byte and ends at a zero byte.
  const auto valueBegin = buffer.begin() + static_cast<std::ptrdiff_t>(name.size() + 1);
  return std::string(valueBegin, std::find(valueBegin, buffer.end(), '\0'));
}

bool WriteOption(std::int32_t handle, const std::string& optionText, bool scrambleAllowed) {
  const std::size_t equals = optionText.find('=');
  if (equals != std::string::npos && equals >= 1) {
    const std::string name = optionText.substr(0, equals);
    // A name the read buffer cannot hold: the option fails without anything sent.
    if (name.size() > kLongestName) return false;
    if (ReadOption(handle, name) == optionText.substr(equals + 1)) return true;
  }
  const bool scramble =
      scrambleAllowed && !optionText.empty() && optionText.front() == kScrambledNamePrefix;
  std::optional<Request> request = MakeWriteRequest(optionText, scramble);
  if (!request) return false;
  CommandWord = CAPSTAN_CMD_WRITE_OPTION;
  CurrentLinkServices().device->SendCmd(handle, CommandWord, request->buffer.data(), kWriteCapacity,
                                        request->length, kWriteTimeoutMs);
  return CommandWord == ReplyOk;
}

std::string ScrambleOptionText(const std::string& optionText, int key) {
  const std::size_t equals = optionText.find('=');
  if (equals == std::string::npos) return optionText;
  std::string scrambled = optionText.substr(0, equals + 1);
  scrambled.reserve(equals + 1 + 2 * (optionText.size() - equals));
  int chained = key & 0xFF;
  AppendHex(scrambled, chained);
  for (std::size_t i = equals + 1; i < optionText.size(); ++i) {
    chained ^= static_cast<unsigned char>(optionText[i]);
    AppendHex(scrambled, chained);
  }
  return scrambled;
}

int WriteOptionList(const OptionList& options) {
  LinkServices& services = CurrentLinkServices();
  const std::string probeAnswer = ReadOption(DeviceHandle, kScrambleProbeName);
  int written = static_cast<int>(options.size());
  ScrambleOptions = probeAnswer.empty() || probeAnswer == kProbeAnswerForScrambling;
  for (const std::string& option : options) {
    if (services.processPendingMessages) services.processPendingMessages();
    if (!WriteOption(DeviceHandle, option, ScrambleOptions) &&
        !WriteOption(DeviceHandle, option, ScrambleOptions)) {
      --written;
    }
    services.sleeper->SleepMs(kPauseAfterOptionMs);
  }
  return written;
}

}  // namespace quillstone
