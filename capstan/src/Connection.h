#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "capstan/src/Protocol.h"
#include "capstan/src/Transport.h"

namespace quillstone::capstan {

struct Reply {
  std::uint16_t code = 0;
  std::vector<std::uint8_t> payload;
};

// One open link to one device: numbers the requests and matches each reply by its sequence
// number. Calls on one connection are serialised.
class Connection {
 public:
  // device: the number a serial request addresses, whose replies alone are taken; empty for a
  // point-to-point link, which sends the wildcard number and takes any.
  Connection(std::unique_ptr<Transport> transport, std::optional<std::uint16_t> device);

  // True when a device answers the hello before the deadline.
  bool Handshake(Clock::time_point deadline);

  // Sends one request and waits for its reply. The reply code is a device reply, or one of the
  // library's own codes for timeout, a lost link or an unreadable answer.
  Reply Exchange(std::uint16_t code, std::span<const std::uint8_t> request,
                 Clock::time_point deadline);

 private:
  Reply ExchangeLocked(std::uint16_t code, std::span<const std::uint8_t> request,
                       Clock::time_point deadline);

  std::mutex mutex_;
  std::unique_ptr<Transport> transport_;
  std::uint16_t requestDevice_;
  wire::FrameReader reader_;
  std::uint16_t lastSequence_ = 0;
  bool broken_ = false;
};

}  // namespace quillstone::capstan
