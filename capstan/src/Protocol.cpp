#include "capstan/src/Protocol.h"

#include <algorithm>

namespace quillstone::wire {
namespace {

constexpr std::uint8_t kReplyFlag = 0x01;
constexpr std::size_t kHeaderCheckOffset = kHeaderSize - 2;

// Guards the length field: without it a damaged length would hold the reader waiting for bytes
// that never come.
std::uint16_t HeaderCheck(const std::uint8_t* header) {
  const std::span<const std::uint8_t> checked(header + kStartMarker.size(),
                                              kHeaderCheckOffset - kStartMarker.size());
  return static_cast<std::uint16_t>(Crc32(checked) & 0xFFFFU);
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1U) ? (value >> 1) ^ 0xEDB88320U : value >> 1;
    }
    table[i] = value;
  }
  return table;
}

constexpr auto kCrcTable = MakeCrcTable();

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

std::uint16_t GetLe16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t GetLe32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (std::uint8_t byte : bytes) {
    crc = kCrcTable[(crc ^ byte) & 0xFFU] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFU;
}

std::vector<std::uint8_t> EncodeFrame(const Frame& frame) {
  if (frame.payload.size() > kMaxPayload) return {};
  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSize + frame.payload.size() + kCrcSize);
  out.insert(out.end(), kStartMarker.begin(), kStartMarker.end());
  out.push_back(kVersion);
  out.push_back(frame.kind == FrameKind::kReply ? kReplyFlag : 0);
  PutLe16(out, frame.device);
  PutLe16(out, frame.sequence);
  PutLe16(out, frame.code);
  PutLe16(out, static_cast<std::uint16_t>(frame.payload.size()));
  PutLe16(out, HeaderCheck(out.data()));
  out.insert(out.end(), frame.payload.begin(), frame.payload.end());
  const std::uint32_t crc = Crc32(std::span<const std::uint8_t>(out).subspan(kStartMarker.size()));
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>((crc >> shift) & 0xFFU));
  }
  return out;
}

void FrameReader::Append(std::span<const std::uint8_t> bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void FrameReader::Clear() {
  buffer_.clear();
  start_ = 0;
}

void FrameReader::Consume(std::size_t count) {
  start_ += count;
  if (start_ == buffer_.size()) {
    Clear();
  } else if (start_ >= kMaxFrameSize) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
}

FrameReader::Scan FrameReader::ScanAtStart(Frame& frame) {
  const std::uint8_t* bytes = buffer_.data() + start_;
  const std::size_t available = buffer_.size() - start_;
  const std::uint8_t flags = bytes[3];
  const std::size_t payloadSize = GetLe16(bytes + 10);
  if (GetLe16(bytes + kHeaderCheckOffset) != HeaderCheck(bytes) || bytes[2] != kVersion ||
      (flags & ~kReplyFlag) != 0 || payloadSize > kMaxPayload) {
    ++discarded_.badHeaders;
    return Scan::kRejected;
  }
  const std::size_t crcOffset = kHeaderSize + payloadSize;
  if (available < crcOffset + kCrcSize) return Scan::kNeedMore;
  const std::uint32_t crc = Crc32(
      std::span<const std::uint8_t>(bytes + kStartMarker.size(), crcOffset - kStartMarker.size()));
  if (crc != GetLe32(bytes + crcOffset)) {
    ++discarded_.badCrcs;
    return Scan::kRejected;
  }
  frame.kind = (flags & kReplyFlag) ? FrameKind::kReply : FrameKind::kRequest;
  frame.device = GetLe16(bytes + 4);
  frame.sequence = GetLe16(bytes + 6);
  frame.code = GetLe16(bytes + 8);
  frame.payload.assign(bytes + kHeaderSize, bytes + crcOffset);
  return Scan::kFrame;
}

bool FrameReader::Accepts(const Frame& frame) {
  if (frame.kind != rule_.kind) {
    ++discarded_.wrongKind;
    return false;
  }
  const bool wildcard = rule_.acceptAnyDevice && frame.device == kAnyDevice;
  if (rule_.device && frame.device != *rule_.device && !wildcard) {
    ++discarded_.foreignDevice;
    return false;
  }
  if (rule_.sequence && frame.sequence != *rule_.sequence) {
    ++discarded_.staleSequence;
    return false;
  }
  return true;
}

std::optional<Frame> FrameReader::Next() {
  while (start_ < buffer_.size()) {
    const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(start_);
    const auto marker = std::find(begin, buffer_.end(), kStartMarker[0]);
    const auto skipped = static_cast<std::size_t>(marker - begin);
    if (skipped > 0) {
      discarded_.garbageBytes += skipped;
      Consume(skipped);
      continue;
    }
    const std::size_t available = buffer_.size() - start_;
    if (available < kStartMarker.size()) return std::nullopt;
    if (buffer_[start_ + 1] != kStartMarker[1]) {
      ++discarded_.garbageBytes;
      Consume(1);
      continue;
    }
    if (available < kHeaderSize) return std::nullopt;
    Frame frame;
    const Scan scan = ScanAtStart(frame);
    if (scan == Scan::kNeedMore) return std::nullopt;
    if (scan == Scan::kRejected) {
      Consume(1);
      continue;
    }
    Consume(kHeaderSize + frame.payload.size() + kCrcSize);
    if (Accepts(frame)) return frame;
  }
  return std::nullopt;
}

}  // namespace quillstone::wire
