// Bytes a device could send to the library: replies, noise, stale, foreign and damaged frames,
// cut into any chunks, read by a connection's exchanges and by HALYARD_SENDCMD into a
// caller's buffer of the stated capacity.
//
// Input: a few choices (link kind, device number, chunking, capacities), then the bytes the
// device sends, taken as they are or as a script of frames.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "capstan/capstan.h"
#include "capstan/src/Connection.h"
#include "capstan/src/HandleTable.h"
#include "capstan/src/Protocol.h"
#include "fuzz/FrameOracle.h"
#include "fuzz/FrameScript.h"
#include "fuzz/FuzzCheck.h"

namespace quillstone::capstan {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kMaxExchanges = 4;
const Bytes kReadRequest = {'~', 'O', 'S', 0};

// The device's side of the link: the bytes it sends in the scripted chunks, and what the
// library sent it.
struct Script {
  Bytes stream;
  std::vector<std::size_t> chunkSizes;  // cycled; 0 stands for the rest of the stream
  bool hangUpAtEnd = false;
  std::size_t delivered = 0;
  Bytes sent;

  std::size_t NextChunk(std::size_t index) const {
    const std::size_t left = stream.size() - delivered;
    if (chunkSizes.empty()) return left;
    const std::size_t size = chunkSizes[index % chunkSizes.size()];
    return size == 0 ? left : std::min(size, left);
  }
};

// Never waits: once the stream is used up the link times out (or hangs up) at once, whatever
// the deadline.
class ScriptedTransport final : public Transport {
 public:
  ScriptedTransport(std::shared_ptr<Script> script, bool reliable)
      : script_(std::move(script)), reliable_(reliable) {}

  LinkStatus Send(std::span<const std::uint8_t> bytes, Clock::time_point) override {
    script_->sent.insert(script_->sent.end(), bytes.begin(), bytes.end());
    return LinkStatus::kOk;
  }

  Received Receive(std::span<std::uint8_t> into, Clock::time_point) override {
    Script& s = *script_;
    if (s.delivered == s.stream.size()) {
      return {s.hangUpAtEnd ? LinkStatus::kClosed : LinkStatus::kTimeout, 0};
    }
    const std::size_t count = std::min(s.NextChunk(chunks_++), into.size());
    std::copy_n(s.stream.begin() + static_cast<std::ptrdiff_t>(s.delivered), count, into.begin());
    s.delivered += count;
    return {LinkStatus::kOk, count};
  }

  void DiscardInput() override {}
  bool IsReliableStream() const override { return reliable_; }

 private:
  std::shared_ptr<Script> script_;
  bool reliable_;
  std::size_t chunks_ = 0;
};

bool IsLibraryCode(std::uint16_t code) {
  return code == CAPSTAN_REPLY_TIMEOUT || code == CAPSTAN_REPLY_TRANSPORT_ERROR ||
         code == CAPSTAN_REPLY_BAD_FRAME;
}

// The library's own requests are well-formed frames, numbered 1, 2, 3 and addressed as told;
// one per call until the link hangs up, none after.
void CheckRequests(const Script& script, std::size_t calls, std::optional<std::uint16_t> device) {
  const Bytes& sent = script.sent;
  const std::vector<fuzzing::FoundFrame> requests = fuzzing::FramesIn(sent);
  FUZZ_CHECK(script.hangUpAtEnd ? requests.size() <= calls : requests.size() == calls);
  std::size_t expectedOffset = 0;
  for (std::size_t index = 0; index < requests.size(); ++index) {
    const wire::Frame& request = requests[index].frame;
    FUZZ_CHECK(requests[index].offset == expectedOffset);
    expectedOffset += requests[index].size;
    FUZZ_CHECK(request.kind == wire::FrameKind::kRequest);
    FUZZ_CHECK(request.sequence == index + 1);
    FUZZ_CHECK(request.device == device.value_or(wire::kAnyDevice));
    FUZZ_CHECK(request.code == CAPSTAN_CMD_READ_OPTION);
    FUZZ_CHECK(request.payload == kReadRequest);
  }
  FUZZ_CHECK(expectedOffset == sent.size());
}

// The same bytes in other chunks give the same frames and the same discards, and the reader
// never holds a frame's worth of bytes it could have decided on.
void CheckChunkingDoesNotMatter(const Script& script, const wire::AcceptRule& rule) {
  wire::FrameReader whole(rule);
  whole.Append(script.stream);
  std::vector<wire::Frame> expected;
  while (auto frame = whole.Next()) expected.push_back(std::move(*frame));
  FUZZ_CHECK(whole.Buffered() < wire::kMaxFrameSize);

  wire::FrameReader pieces(rule);
  std::vector<wire::Frame> piecewise;
  Script cut = script;
  for (std::size_t index = 0; cut.delivered < cut.stream.size(); ++index) {
    const std::size_t size = cut.NextChunk(index);
    pieces.Append(std::span(cut.stream).subspan(cut.delivered, size));
    cut.delivered += size;
    while (auto frame = pieces.Next()) piecewise.push_back(std::move(*frame));
    FUZZ_CHECK(pieces.Buffered() < wire::kMaxFrameSize);
  }
  FUZZ_CHECK(piecewise == expected);
  const wire::DiscardCounts& a = whole.Discarded();
  const wire::DiscardCounts& b = pieces.Discarded();
  FUZZ_CHECK(a.garbageBytes == b.garbageBytes && a.badHeaders == b.badHeaders &&
             a.badCrcs == b.badCrcs && a.wrongKind == b.wrongKind &&
             a.foreignDevice == b.foreignDevice && a.staleSequence == b.staleSequence);
  // And they are exactly the intact frames of the stream that the rule accepts.
  std::vector<wire::Frame> oracle;
  for (const fuzzing::FoundFrame& found : fuzzing::FramesIn(script.stream)) {
    if (fuzzing::Accepted(found.frame, rule)) oracle.push_back(found.frame);
  }
  FUZZ_CHECK(expected == oracle);
}

// Each reply the connection hands out is a genuine reply to that request, or the library's own
// code with nothing else.
void ExchangeThroughConnection(const std::shared_ptr<Script>& script, bool reliable,
                               std::optional<std::uint16_t> device, int exchanges) {
  Connection connection(std::make_unique<ScriptedTransport>(script, reliable), device);
  std::vector<Reply> replies;
  for (int i = 0; i < exchanges; ++i) {
    replies.push_back(connection.Exchange(CAPSTAN_CMD_READ_OPTION, kReadRequest, Clock::now()));
  }
  CheckRequests(*script, replies.size(), device);
  fuzzing::FrameLedger genuine(std::span(script->stream).first(script->delivered));
  for (std::size_t index = 0; index < replies.size(); ++index) {
    const Reply& reply = replies[index];
    const auto sequence = static_cast<std::uint16_t>(index + 1);
    const bool traced = genuine.Take([&](const wire::Frame& frame) {
      return frame.kind == wire::FrameKind::kReply && frame.sequence == sequence &&
             (!device || frame.device == *device) && frame.code == reply.code &&
             frame.payload == reply.payload;
    });
    FUZZ_CHECK(traced || (IsLibraryCode(reply.code) && reply.payload.empty()));
  }
}

// The same through the exported entry point: the reply code in the command word, the reply's
// payload copied into the caller's buffer up to the capacity, nothing beyond it touched.
void ExchangeThroughEntryPoint(const std::shared_ptr<Script>& script, bool reliable,
                               std::optional<std::uint16_t> device,
                               const std::vector<std::int32_t>& capacities) {
  const std::int32_t handle = ProcessHandles().Add(
      std::make_shared<Connection>(std::make_unique<ScriptedTransport>(script, reliable), device));
  FUZZ_CHECK(handle != 0);
  struct Call {
    std::uint16_t code;
    std::size_t capacity;
    Bytes before;
    Bytes after;
  };
  std::vector<Call> calls;
  for (const std::int32_t capacity : capacities) {
    // Exactly the bytes the call may use, so that a write past them is caught; a pattern after
    // the request shows what the library left alone.
    const std::size_t size = std::max<std::size_t>(capacity, kReadRequest.size());
    const auto buffer = std::make_unique<std::uint8_t[]>(size);
    std::fill_n(buffer.get(), size, 0xA5);
    std::copy(kReadRequest.begin(), kReadRequest.end(), buffer.get());
    Call call{CAPSTAN_CMD_READ_OPTION,
              static_cast<std::size_t>(capacity),
              Bytes(buffer.get(), buffer.get() + size),
              {}};
    const std::int32_t returned =
        HALYARD_SENDCMD(handle, &call.code, reinterpret_cast<char*>(buffer.get()), capacity,
                        static_cast<std::int32_t>(kReadRequest.size()), /*timeoutMs=*/0);
    FUZZ_CHECK(returned == call.code);
    call.after.assign(buffer.get(), buffer.get() + size);
    calls.push_back(std::move(call));
  }
  FUZZ_CHECK(HALYARD_CLOSE(handle) == 0);
  FUZZ_CHECK(HALYARD_CLOSE(handle) == -1);

  CheckRequests(*script, calls.size(), device);
  fuzzing::FrameLedger genuine(std::span(script->stream).first(script->delivered));
  for (std::size_t index = 0; index < calls.size(); ++index) {
    const Call& call = calls[index];
    const auto sequence = static_cast<std::uint16_t>(index + 1);
    const bool traced = genuine.Take([&](const wire::Frame& frame) {
      if (frame.kind != wire::FrameKind::kReply || frame.sequence != sequence ||
          (device && frame.device != *device) || frame.code != call.code) {
        return false;
      }
      Bytes expected = call.before;
      const std::size_t copied = std::min(frame.payload.size(), call.capacity);
      std::copy_n(frame.payload.begin(), copied, expected.begin());
      return expected == call.after;
    });
    FUZZ_CHECK(traced || (IsLibraryCode(call.code) && call.after == call.before));
  }
}

}  // namespace
}  // namespace quillstone::capstan

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillstone;
  using namespace quillstone::capstan;
  FuzzedDataProvider input(data, size);
  const bool framed = input.ConsumeBool();
  const bool reliable = input.ConsumeBool();
  const bool throughEntryPoint = input.ConsumeBool();
  auto script = std::make_shared<Script>();
  script->hangUpAtEnd = input.ConsumeBool();
  // A serial line's requests are addressed and only that device's replies count; a stream's
  // are not.
  std::optional<std::uint16_t> device;
  if (input.ConsumeBool()) device = input.ConsumeIntegral<std::uint16_t>();
  const int exchanges = input.ConsumeIntegralInRange(1, kMaxExchanges);
  std::vector<std::int32_t> capacities;
  for (int i = 0; i < exchanges; ++i) capacities.push_back(input.ConsumeIntegralInRange(0, 300));
  const int chunkSizeCount = input.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < chunkSizeCount; ++i) {
    script->chunkSizes.push_back(input.ConsumeIntegralInRange<std::size_t>(0, 64));
  }
  // The number the scripted frames mostly carry: the addressed one, or any on a stream.
  const auto anyDevice = input.ConsumeIntegral<std::uint16_t>();
  const std::uint16_t replyingDevice = device.value_or(anyDevice);
  script->stream = framed ? fuzzing::FramedStream(input, {.kind = wire::FrameKind::kReply,
                                                          .device = replyingDevice,
                                                          .words = {"~OS=", "~OS=NONE"}})
                          : input.ConsumeRemainingBytes<std::uint8_t>();

  CheckChunkingDoesNotMatter(*script, wire::AcceptRule{.kind = wire::FrameKind::kReply,
                                                       .device = device,
                                                       .acceptAnyDevice = false,
                                                       .sequence = std::nullopt});
  if (throughEntryPoint) {
    ExchangeThroughEntryPoint(script, reliable, device, capacities);
  } else {
    ExchangeThroughConnection(script, reliable, device, exchanges);
  }
  return 0;
}
