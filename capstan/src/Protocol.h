#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The capstan wire format, shared by the library and the device simulator. PROTOCOL.md
// describes the layout; this file is its single implementation.
namespace quillstone::wire {

inline constexpr std::array<std::uint8_t, 2> kStartMarker = {0xC5, 0x71};
inline constexpr std::uint8_t kVersion = 1;
// Marker, version, flags, device, sequence, code, payload length, header check.
inline constexpr std::size_t kHeaderSize = 14;
inline constexpr std::size_t kCrcSize = 4;
inline constexpr std::size_t kMaxPayload = 4096;
inline constexpr std::size_t kMaxFrameSize = kHeaderSize + kMaxPayload + kCrcSize;

// Handshake command: the library's first frame on a new connection; a device answers it with
// CAPSTAN_REPLY_OK and a short identification text.
inline constexpr std::uint16_t kHelloCode = 1;
// Over TCP the connection itself picks the device, so requests carry this wildcard number.
inline constexpr std::uint16_t kAnyDevice = 0;

enum class FrameKind : std::uint8_t { kRequest = 0, kReply = 1 };

struct Frame {
  FrameKind kind = FrameKind::kRequest;
  std::uint16_t device = 0;
  std::uint16_t sequence = 0;
  std::uint16_t code = 0;
  std::vector<std::uint8_t> payload;

  bool operator==(const Frame&) const = default;
};

// CRC-32 (reflected, polynomial 0xEDB88320, initial and final value 0xFFFFFFFF).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// The frame's bytes; empty when the payload exceeds kMaxPayload.
std::vector<std::uint8_t> EncodeFrame(const Frame& frame);

// Which frames a reader hands out; everything else is dropped and counted.
struct AcceptRule {
  FrameKind kind = FrameKind::kReply;
  // Frames for other device numbers are foreign. Empty: any number.
  std::optional<std::uint16_t> device;
  // A request's device number may also be kAnyDevice (point-to-point links only).
  bool acceptAnyDevice = false;
  // Replies to an earlier request are stale. Empty: any sequence.
  std::optional<std::uint16_t> sequence;
};

struct DiscardCounts {
  // Unreadable input: bytes before a start marker, and frames that fail the checks.
  std::size_t garbageBytes = 0;
  // Failed header check, another version, unknown flags or a payload length over the bound.
  std::size_t badHeaders = 0;
  std::size_t badCrcs = 0;
  // Well-formed frames that are not for us.
  std::size_t wrongKind = 0;
  std::size_t foreignDevice = 0;
  std::size_t staleSequence = 0;

  std::size_t Unreadable() const { return garbageBytes + badHeaders + badCrcs; }
  std::size_t Ignored() const { return wrongKind + foreignDevice + staleSequence; }
};

// Finds frames in a byte stream that may hold noise, partial frames, corrupt and foreign frames.
// After a failed check it resumes the search one byte past the rejected start marker, so a real
// frame hidden behind a false start is still found.
class FrameReader {
 public:
  explicit FrameReader(AcceptRule rule = {}) : rule_(rule) {}

  void SetRule(const AcceptRule& rule) { rule_ = rule; }
  const AcceptRule& Rule() const { return rule_; }

  void Append(std::span<const std::uint8_t> bytes);
  // The next accepted frame, or nothing until more bytes arrive.
  std::optional<Frame> Next();
  void Clear();

  const DiscardCounts& Discarded() const { return discarded_; }
  std::size_t Buffered() const { return buffer_.size() - start_; }

 private:
  enum class Scan { kFrame, kNeedMore, kRejected };
  Scan ScanAtStart(Frame& frame);
  bool Accepts(const Frame& frame);
  void Consume(std::size_t count);

  AcceptRule rule_;
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0;
  DiscardCounts discarded_;
};

}  // namespace quillstone::wire
