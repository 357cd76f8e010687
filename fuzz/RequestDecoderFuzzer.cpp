// Bytes a client could send to the device simulator: requests, noise, foreign and damaged
// frames in any chunks, taken off the link as the simulator takes them and handled by its
// device. Every answer must be the documented one, fit in a reply frame and survive the
// state file.
//
// Input: a few choices (link kind, device number, "~OS", a refusal, chunking), then the bytes
// the client sends, taken as they are or as a script of frames.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capstan/capstan.h"
#include "capstan/src/Protocol.h"
#include "devicesim/Device.h"
#include "devicesim/OptionStore.h"
#include "devicesim/RequestFrames.h"
#include "devicesim/Scramble.h"
#include "fuzz/FrameOracle.h"
#include "fuzz/FrameScript.h"
#include "fuzz/FuzzCheck.h"

namespace quillstone::devsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

const OptionMap kDefaults = {{"SSID", "old"}, {"~MODEM", "0"}, {"AuthMode", "OPEN"}};
const std::array<const char*, 3> kOsValues = {"", "NONE", "LINUX"};
const std::array<const char*, 4> kRefusable = {"SSID", "~MODEM", "WIFI", "~OS"};

// The documented answer to one command, given the options before it; the simulator's device
// must give exactly this.
struct Expected {
  std::uint16_t reply = 0;
  std::string payload;
  OptionMap options;
};

Expected ExpectedAnswer(std::uint16_t code, const std::string& text, const OptionMap& before,
                        bool scrambled, int& refusalsLeft, const std::string& refusedName) {
  Expected expected{CAPSTAN_REPLY_OK, {}, before};
  switch (code) {
    case CAPSTAN_CMD_READ_OPTION: {
      const auto found = before.find(text);
      if (text.empty()) {
        expected.reply = CAPSTAN_REPLY_BAD_REQUEST;
      } else if (found == before.end()) {
        expected.reply = CAPSTAN_REPLY_NOT_FOUND;
      } else {
        expected.payload = text + "=" + found->second + '\0';
      }
      return expected;
    }
    case CAPSTAN_CMD_WRITE_OPTION: {
      const std::size_t equals = text.find('=');
      if (equals == std::string::npos || equals == 0) {
        expected.reply = CAPSTAN_REPLY_BAD_REQUEST;
        return expected;
      }
      const std::string name = text.substr(0, equals);
      std::optional<std::string> value = text.substr(equals + 1);
      if (name == kOsOptionName) {
        expected.reply = CAPSTAN_REPLY_REFUSED;
      } else if (name == refusedName && refusalsLeft > 0) {
        --refusalsLeft;
        expected.reply = CAPSTAN_REPLY_REFUSED;
      } else if (name.front() == '~' && scrambled && !(value = UnscrambleValue(*value))) {
        expected.reply = CAPSTAN_REPLY_BAD_REQUEST;
      } else if (name.size() + value->size() + 2 > wire::kMaxPayload) {
        expected.reply = CAPSTAN_REPLY_BAD_REQUEST;  // could never be read back in one reply
      } else {
        expected.options[name] = *value;
      }
      return expected;
    }
    case CAPSTAN_CMD_BEGIN_CONFIG:
    case CAPSTAN_CMD_END_CONFIG:
    case CAPSTAN_CMD_END_SESSION:
    case CAPSTAN_CMD_RESTART:
      return expected;
    default:
      expected.reply = CAPSTAN_REPLY_UNKNOWN_COMMAND;
      return expected;
  }
}

}  // namespace
}  // namespace quillstone::devsim

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstone;
  using namespace quillstone::devsim;
  FuzzedDataProvider input(data, size);
  const bool framed = input.ConsumeBool();
  const bool pointToPoint = input.ConsumeBool();
  const auto deviceNumber = input.ConsumeIntegral<std::uint16_t>();
  const std::string osValue = input.PickValueInArray(kOsValues);
  const std::string refusedName = input.PickValueInArray(kRefusable);
  int refusalsLeft = input.ConsumeIntegralInRange(0, 3);
  std::vector<std::size_t> chunkSizes;
  const int chunkSizeCount = input.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < chunkSizeCount; ++i) {
    chunkSizes.push_back(input.ConsumeIntegralInRange<std::size_t>(1, 64));
  }
  const Bytes stream =
      framed ? fuzzing::FramedStream(input, {.kind = wire::FrameKind::kRequest,
                                             .device = deviceNumber,
                                             .words = {"SSID", "SSID=", "~MODEM=", "~MODEM=C0F1",
                                                       "~OS", "~OS=NONE", "WIFI=1", "=", "~", "#"}})
             : input.ConsumeRemainingBytes<std::uint8_t>();

  Device device(OptionStore{}, kDefaults, osValue);
  device.RefuseOption(refusedName, refusalsLeft);
  const wire::AcceptRule rule = RequestRule(deviceNumber, pointToPoint);
  wire::FrameReader reader(rule);

  // The requests the simulator must take: the stream's intact frames its rule accepts.
  std::vector<wire::Frame> expectedRequests;
  for (const fuzzing::FoundFrame& found : fuzzing::FramesIn(stream)) {
    if (fuzzing::Accepted(found.frame, rule)) expectedRequests.push_back(found.frame);
  }
  std::vector<wire::Frame> requests;

  std::size_t position = 0;
  for (std::size_t index = 0; position < stream.size(); ++index) {
    std::size_t chunk = stream.size() - position;
    if (!chunkSizes.empty()) chunk = std::min(chunk, chunkSizes[index % chunkSizes.size()]);
    reader.Append(std::span(stream).subspan(position, chunk));
    position += chunk;
    while (auto request = reader.Next()) {
      requests.push_back(*request);
      if (request->code == wire::kHelloCode) continue;  // the link's handshake, not the device's
      const std::string text = RequestText(request->payload);
      const OptionMap before = device.Store().All();
      const Expected expected = ExpectedAnswer(
          request->code, text, before, device.ExpectsScrambledValues(), refusalsLeft, refusedName);
      const Answer answer = device.Handle(request->code, text);
      FUZZ_CHECK(answer.reply == expected.reply);
      FUZZ_CHECK(answer.payload == expected.payload);
      FUZZ_CHECK(device.Store().All() == expected.options);

      // The answer goes back in one reply frame that the library reads as sent.
      const Bytes payload(answer.payload.begin(), answer.payload.end());
      const Bytes reply = wire::EncodeFrame({.kind = wire::FrameKind::kReply,
                                             .device = deviceNumber,
                                             .sequence = request->sequence,
                                             .code = answer.reply,
                                             .payload = payload});
      FUZZ_CHECK(!reply.empty());
      wire::FrameReader library(wire::AcceptRule{
          .kind = wire::FrameKind::kReply,
          .device = pointToPoint ? std::nullopt : std::optional<std::uint16_t>(deviceNumber),
          .acceptAnyDevice = false,
          .sequence = request->sequence});
      library.Append(reply);
      const auto decoded = library.Next();
      FUZZ_CHECK(decoded && decoded->code == answer.reply && decoded->payload == payload);
    }
    FUZZ_CHECK(reader.Buffered() < wire::kMaxFrameSize);
  }
  FUZZ_CHECK(requests == expectedRequests);

  // What the device holds survives its state file.
  FUZZ_CHECK(OptionStore::Parse(OptionStore::Serialise(device.Store().All())) ==
             device.Store().All());
  return 0;
}
