#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "capstan/src/Protocol.h"

// How the simulated device takes requests off its link; shared by the simulator and the fuzzer
// that feeds it a client's bytes.
namespace quillstone::devsim {

// Requests for this device's number; on a point-to-point link (TCP) also the wildcard number,
// on a shared line only its own.
inline wire::AcceptRule RequestRule(std::uint16_t deviceNumber, bool pointToPoint) {
  return wire::AcceptRule{.kind = wire::FrameKind::kRequest,
                          .device = deviceNumber,
                          .acceptAnyDevice = pointToPoint,
                          .sequence = std::nullopt};
}

// The request's text: its payload up to the first zero byte.
inline std::string RequestText(std::span<const std::uint8_t> payload) {
  std::string text(payload.begin(), payload.end());
  return text.substr(0, text.find('\0'));
}

}  // namespace quillstone::devsim
