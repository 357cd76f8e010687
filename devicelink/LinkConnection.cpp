#include "devicelink/LinkConnection.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "capstan/capstan.h"
#include "capstan/src/Protocol.h"
#include "devicelink/PunParam.h"

namespace quillstone {
namespace {

constexpr std::size_t kReadBufferSize = 200;
constexpr std::size_t kLongestName = kReadBufferSize - 2;  // name, zero, one reply byte

constexpr std::int32_t kWriteCapacity = 100;
constexpr std::size_t kLongestScrambledText = 400;

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

}  // namespace

LinkConnection::LinkConnection(LinkServices services)
    : services_(std::move(services)),
      handle_(&ownHandle_),
      commandWord_(&ownCommandWord_),
      scrambleOptions_(&ownScrambleOptions_) {}

LinkConnection::LinkConnection(LinkServices services, std::int32_t* handle,
                               std::uint16_t* commandWord, bool* scrambleOptions)
    : services_(std::move(services)),
      handle_(handle),
      commandWord_(commandWord),
      scrambleOptions_(scrambleOptions) {}

LinkConnection LinkConnection::ForProcess() {
  return LinkConnection(CurrentLinkServices(), &DeviceHandle, &CommandWord, &ScrambleOptions);
}

bool LinkConnection::OpenNetwork(const std::string& address, std::int32_t port) {
  *handle_ = services_.device->Init(CAPSTAN_TRANSPORT_TCP, address.c_str(), port, 0);
  return *handle_ != 0;
}

bool LinkConnection::OpenSerial(const std::string& portName, std::int32_t deviceNumber,
                                std::int32_t baud) {
  *handle_ = services_.device->Init(CAPSTAN_TRANSPORT_SERIAL, portName.c_str(), deviceNumber, baud);
  return *handle_ != 0;
}

void LinkConnection::Close() {
  services_.device->Close(*handle_);
}

// A command without request bytes, whose reply is not examined.
void LinkConnection::SendBareCommand(std::uint16_t code, std::int32_t timeoutMs) {
  *commandWord_ = code;
  services_.device->SendCmd(*handle_, *commandWord_, nullptr, 0, 0, timeoutMs);
}

void LinkConnection::BeginDeviceConfig() {
  SendBareCommand(CAPSTAN_CMD_BEGIN_CONFIG, services_.timeouts.begin);
}

void LinkConnection::EndDeviceConfig() {
  SendBareCommand(CAPSTAN_CMD_END_CONFIG, services_.timeouts.end);
  SendBareCommand(CAPSTAN_CMD_END_CONFIG, services_.timeouts.end);
  SendBareCommand(CAPSTAN_CMD_END_SESSION, services_.timeouts.end);
}

void LinkConnection::RestartDevice() {
  SendBareCommand(CAPSTAN_CMD_RESTART, services_.timeouts.restart);
}

int LinkConnection::DrawScrambleKey() {
  const int key = services_.drawScrambleKey();
  return key == 0 ? kKeyInPlaceOfZero : key;
}

std::string LinkConnection::ReadOption(std::int32_t handle, const std::string& name) {
  if (name.size() > kLongestName) return {};
  std::array<char, kReadBufferSize> buffer{};
  std::memcpy(buffer.data(), name.data(), name.size());
  *commandWord_ = CAPSTAN_CMD_READ_OPTION;
  services_.device->SendCmd(handle, *commandWord_, buffer.data(), kReadBufferSize,
                            static_cast<std::int32_t>(name.size() + 1), services_.timeouts.read);
  if (*commandWord_ != ReplyOk) return {};
  // The value follows the name and one separator byte and ends at a zero byte.
  const auto valueBegin = buffer.begin() + static_cast<std::ptrdiff_t>(name.size() + 1);
  return std::string(valueBegin, std::find(valueBegin, buffer.end(), '\0'));
}

bool LinkConnection::WriteOption(std::int32_t handle, const std::string& optionText,
                                 bool scrambleAllowed, bool* alreadyEqual) {
  const OptionResult result = WriteOptionWithResult(handle, optionText, scrambleAllowed);
  if (alreadyEqual) *alreadyEqual = result == OptionResult::kUnchanged;
  return result == OptionResult::kWritten || result == OptionResult::kUnchanged;
}

OptionResult LinkConnection::WriteOptionWithResult(std::int32_t handle,
                                                   const std::string& optionText,
                                                   bool scrambleAllowed) {
  const std::size_t equals = optionText.find('=');
  if (equals != std::string::npos && equals >= 1) {
    const std::string name = optionText.substr(0, equals);
    // A name the read buffer cannot hold: the option fails without anything sent.
    if (name.size() > kLongestName) return OptionResult::kNotSent;
    const std::string held = ReadOption(handle, name);
    // A failed read reads as empty; only the device's own answer may stand for "empty".
    if (held == optionText.substr(equals + 1) && DeviceAnswered(*commandWord_)) {
      return OptionResult::kUnchanged;
    }
  }
  const bool scramble =
      scrambleAllowed && !optionText.empty() && optionText.front() == kScrambledNamePrefix;
  std::optional<Request> request;
  if (!scramble) {
    request = MakeRequest(optionText, kWriteCapacity);
  } else {
    const bool hasValue = equals != std::string::npos;
    const std::string scrambled = ScrambleOptionText(optionText, hasValue ? DrawScrambleKey() : 0);
    // Never more than the scrambled buffer holds; the option then fails unsent.
    if (scrambled.size() <= kLongestScrambledText) {
      request = MakeRequest(scrambled, kLongestScrambledText + 1);
    }
  }
  if (!request) return OptionResult::kNotSent;
  *commandWord_ = CAPSTAN_CMD_WRITE_OPTION;
  services_.device->SendCmd(handle, *commandWord_, request->buffer.data(), kWriteCapacity,
                            request->length, services_.timeouts.write);
  return ResultOfReply(*commandWord_);
}

BatchOutcome LinkConnection::WriteOptionList(
    const OptionList& options, const std::function<bool()>& stop,
    const std::function<void(const OptionOutcome&)>& taken) {
  const std::string probeAnswer = ReadOption(*handle_, kScrambleProbeName);
  BatchOutcome outcome;
  outcome.written = static_cast<int>(options.size());
  *scrambleOptions_ = probeAnswer.empty() || probeAnswer == kProbeAnswerForScrambling;
  // The options not attempted count as not written.
  const auto stopHere = [&] {
    outcome.stopped = true;
    outcome.written -= static_cast<int>(options.size() - outcome.options.size());
  };
  for (const std::string& option : options) {
    if (stop && stop()) {
      stopHere();
      break;
    }
    if (services_.processPendingMessages) services_.processPendingMessages();
    // A close that reached the window with those messages: nothing more is written.
    if (services_.windowClosing && services_.windowClosing()) {
      stopHere();
      break;
    }
    OptionOutcome& done = outcome.options.emplace_back();
    done.name = option.substr(0, option.find('='));
    done.result = WriteOptionWithResult(*handle_, option, *scrambleOptions_);
    if (done.result == OptionResult::kUnchanged) {
      ++outcome.alreadyEqual;
    } else if (done.result != OptionResult::kWritten) {
      ++outcome.retries;
      done.retried = true;
      done.result = WriteOptionWithResult(*handle_, option, *scrambleOptions_);
      if (done.result != OptionResult::kWritten && done.result != OptionResult::kUnchanged) {
        --outcome.written;
        ++outcome.failed;
      }
    }
    done.reply = *commandWord_;
    if (taken) taken(done);
    services_.sleeper->SleepMs(kPauseAfterOptionMs);
  }
  return outcome;
}

OptionResult ResultOfReply(std::uint16_t reply) {
  switch (reply) {
    case CAPSTAN_REPLY_OK:
      return OptionResult::kWritten;
    case CAPSTAN_REPLY_TIMEOUT:
      return OptionResult::kNoAnswer;
    case CAPSTAN_REPLY_TRANSPORT_ERROR:
    case CAPSTAN_REPLY_UNKNOWN_HANDLE:
      return OptionResult::kConnectionClosed;
    case CAPSTAN_REPLY_BAD_FRAME:
      return OptionResult::kUnreadable;
    case CAPSTAN_REPLY_BAD_ARGUMENT:
      return OptionResult::kNotSent;
    default:
      return DeviceAnswered(reply) ? OptionResult::kRefused : OptionResult::kNoAnswer;
  }
}

bool DeviceAnswered(std::uint16_t reply) {
  // Codes from 2001 come from the device, codes from 4001 from the library.
  return reply >= CAPSTAN_REPLY_OK && reply < CAPSTAN_REPLY_TIMEOUT;
}

OptionFit FitOfOption(const std::string& optionText) {
  const std::size_t equals = optionText.find('=');
  const std::size_t nameSize = equals == std::string::npos ? optionText.size() : equals;
  if (equals != std::string::npos && equals >= 1 && nameSize > kLongestName) {
    return {false, kLongestName,
            "a name may hold at most " + std::to_string(kLongestName) + " bytes"};
  }
  // The request is the text and its terminating zero.
  const std::size_t longestText = wire::kMaxPayload - 1;
  if (optionText.size() > longestText) {
    return {false, longestText,
            "one request carries at most " + std::to_string(longestText) + " bytes of name=value"};
  }
  if (!optionText.empty() && optionText.front() == kScrambledNamePrefix &&
      equals != std::string::npos) {
    // Two hex digits for the key and for every value byte.
    const std::size_t longestValue = (kLongestScrambledText - (equals + 1)) / 2 - 1;
    if (ScrambleOptionText(optionText, 1).size() > kLongestScrambledText) {
      return {false, equals + 1 + longestValue,
              "the value of a scrambled (~) option may hold at most " +
                  std::to_string(longestValue) + " bytes"};
    }
  }
  return {};
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

}  // namespace quillstone
