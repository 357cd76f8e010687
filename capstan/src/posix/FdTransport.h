#pragma once

#include "capstan/src/Transport.h"
#include "capstan/src/posix/FdIo.h"

namespace quillstone::capstan {

// A transport over one non-blocking descriptor: a TCP socket or a terminal.
class FdTransport final : public Transport {
 public:
  FdTransport(posixio::UniqueFd fd, posixio::FdKind kind) : fd_(std::move(fd)), kind_(kind) {}

  LinkStatus Send(std::span<const std::uint8_t> bytes, Clock::time_point deadline) override;
  Received Receive(std::span<std::uint8_t> into, Clock::time_point deadline) override;
  void DiscardInput() override;
  bool IsReliableStream() const override { return kind_ == posixio::FdKind::kSocket; }

 private:
  posixio::UniqueFd fd_;
  posixio::FdKind kind_;
};

}  // namespace quillstone::capstan
