#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "capstan/src/Protocol.h"

// A second, deliberately plain reading of the frame layout in capstan/PROTOCOL.md, to check
// the codec against: its own checksum, its own field reads, no buffering.
namespace quillstone::fuzzing {

struct FoundFrame {
  std::size_t offset = 0;
  std::size_t size = 0;
  wire::Frame frame;
};

inline std::uint32_t BitwiseCrc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (const std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1U) ? 0xEDB88320U : 0U);
  }
  return ~crc;
}

// What starts at an offset of a stream: an intact frame, nothing, or the start of a frame whose
// header is sound and whose rest has not arrived (a reader waits for it).
enum class Start { kFrame, kNothing, kIncomplete };

inline Start ReadFrameAt(std::span<const std::uint8_t> bytes, std::size_t offset,
                         FoundFrame& found) {
  constexpr std::size_t kHeader = 14;
  constexpr std::size_t kCrc = 4;
  const std::span<const std::uint8_t> rest = bytes.subspan(offset);
  if (rest[0] != 0xC5) return Start::kNothing;
  if (rest.size() < 2) return Start::kIncomplete;
  if (rest[1] != 0x71) return Start::kNothing;
  if (rest.size() < kHeader) return Start::kIncomplete;
  const auto le16 = [&](std::size_t at) { return std::uint16_t(rest[at] | (rest[at + 1] << 8)); };
  const std::size_t payloadSize = le16(10);
  if (rest[2] != 1 || rest[3] > 1 || payloadSize > 4096 ||
      le16(12) != (BitwiseCrc32(rest.subspan(2, 10)) & 0xFFFFU)) {
    return Start::kNothing;
  }
  if (rest.size() < kHeader + payloadSize + kCrc) return Start::kIncomplete;
  std::uint32_t crc = 0;
  for (int i = 3; i >= 0; --i) crc = (crc << 8) | rest[kHeader + payloadSize + std::size_t(i)];
  if (crc != BitwiseCrc32(rest.subspan(2, kHeader - 2 + payloadSize))) return Start::kNothing;
  found.offset = offset;
  found.size = kHeader + payloadSize + kCrc;
  found.frame.kind = rest[3] == 1 ? wire::FrameKind::kReply : wire::FrameKind::kRequest;
  found.frame.device = le16(4);
  found.frame.sequence = le16(6);
  found.frame.code = le16(8);
  found.frame.payload.assign(rest.begin() + kHeader, rest.begin() + kHeader + payloadSize);
  return Start::kFrame;
}

// The frames of a byte stream, read from the front: a frame is taken whole, anything else
// skipped one byte at a time (a false start may hide a real frame one byte later), and the
// reading stops at a frame still arriving.
inline std::vector<FoundFrame> FramesIn(std::span<const std::uint8_t> bytes) {
  std::vector<FoundFrame> frames;
  for (std::size_t offset = 0; offset < bytes.size();) {
    FoundFrame found;
    const Start start = ReadFrameAt(bytes, offset, found);
    if (start == Start::kIncomplete) break;
    if (start == Start::kNothing) {
      ++offset;
      continue;
    }
    offset += found.size;
    frames.push_back(std::move(found));
  }
  return frames;
}

// Whether a reader with this rule hands the frame out, as PROTOCOL.md's discard rules say.
inline bool Accepted(const wire::Frame& frame, const wire::AcceptRule& rule) {
  if (frame.kind != rule.kind) return false;
  const bool wildcard = rule.acceptAnyDevice && frame.device == wire::kAnyDevice;
  if (rule.device && frame.device != *rule.device && !wildcard) return false;
  return !rule.sequence || frame.sequence == *rule.sequence;
}

// The frames of a stream in order, each handed out at most once: an answer traced to one
// frame cannot be traced to it again, nor to a frame before it.
class FrameLedger {
 public:
  explicit FrameLedger(std::span<const std::uint8_t> bytes) : frames_(FramesIn(bytes)) {}

  template <typename Predicate>
  bool Take(Predicate matches) {
    for (std::size_t index = next_; index < frames_.size(); ++index) {
      if (matches(frames_[index].frame)) {
        next_ = index + 1;
        return true;
      }
    }
    return false;
  }

 private:
  std::vector<FoundFrame> frames_;
  std::size_t next_ = 0;
};

}  // namespace quillstone::fuzzing
