#include "capstan/src/Connection.h"

#include <array>
#include <string_view>

#include "capstan/capstan.h"

namespace quillstone::capstan {
namespace {

constexpr std::string_view kHelloText = "capstan";

Reply LibraryReply(std::uint16_t code) {
  return Reply{code, {}};
}

}  // namespace

Connection::Connection(std::unique_ptr<Transport> transport, std::optional<std::uint16_t> device)
    : transport_(std::move(transport)),
      requestDevice_(device.value_or(wire::kAnyDevice)),
      reader_(wire::AcceptRule{.kind = wire::FrameKind::kReply,
                               .device = device,
                               .acceptAnyDevice = false,
                               .sequence = std::nullopt}) {}

bool Connection::Handshake(Clock::time_point deadline) {
  std::lock_guard lock(mutex_);
  transport_->DiscardInput();
  const auto* hello = reinterpret_cast<const std::uint8_t*>(kHelloText.data());
  const Reply reply = ExchangeLocked(wire::kHelloCode, {hello, kHelloText.size()}, deadline);
  return reply.code == CAPSTAN_REPLY_OK;
}

Reply Connection::Exchange(std::uint16_t code, std::span<const std::uint8_t> request,
                           Clock::time_point deadline) {
  std::lock_guard lock(mutex_);
  return ExchangeLocked(code, request, deadline);
}

Reply Connection::ExchangeLocked(std::uint16_t code, std::span<const std::uint8_t> request,
                                 Clock::time_point deadline) {
  if (broken_) return LibraryReply(CAPSTAN_REPLY_TRANSPORT_ERROR);
  const wire::Frame frame{.kind = wire::FrameKind::kRequest,
                          .device = requestDevice_,
                          .sequence = ++lastSequence_,
                          .code = code,
                          .payload = {request.begin(), request.end()}};
  const std::vector<std::uint8_t> bytes = wire::EncodeFrame(frame);
  if (bytes.empty()) return LibraryReply(CAPSTAN_REPLY_BAD_ARGUMENT);

  wire::AcceptRule rule = reader_.Rule();
  rule.sequence = frame.sequence;
  reader_.SetRule(rule);

  switch (transport_->Send(bytes, deadline)) {
    case LinkStatus::kOk:
      break;
    case LinkStatus::kTimeout:
      return LibraryReply(CAPSTAN_REPLY_TIMEOUT);
    case LinkStatus::kClosed:
      broken_ = true;
      return LibraryReply(CAPSTAN_REPLY_TRANSPORT_ERROR);
  }

  const std::size_t unreadableBefore = reader_.Discarded().Unreadable();
  std::array<std::uint8_t, 2048> chunk{};
  for (;;) {
    if (auto reply = reader_.Next()) return Reply{reply->code, std::move(reply->payload)};
    const bool sawUnreadable = reader_.Discarded().Unreadable() > unreadableBefore;
    // On an ordered, lossless stream nothing better can follow an unreadable answer; on a line
    // it may be noise, so the reply is still awaited.
    if (sawUnreadable && transport_->IsReliableStream()) {
      return LibraryReply(CAPSTAN_REPLY_BAD_FRAME);
    }
    const Received got = transport_->Receive(chunk, deadline);
    if (got.status == LinkStatus::kTimeout) {
      return LibraryReply(sawUnreadable ? CAPSTAN_REPLY_BAD_FRAME : CAPSTAN_REPLY_TIMEOUT);
    }
    if (got.status == LinkStatus::kClosed) {
      broken_ = true;
      return LibraryReply(CAPSTAN_REPLY_TRANSPORT_ERROR);
    }
    reader_.Append(std::span<const std::uint8_t>(chunk.data(), got.count));
  }
}

}  // namespace quillstone::capstan
