#include "capstan/src/Protocol.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quillstone::wire {
namespace {

Frame MakeFrame(FrameKind kind, std::uint16_t device, std::uint16_t sequence, std::uint16_t code,
                std::size_t payloadSize) {
  Frame frame{kind, device, sequence, code, std::vector<std::uint8_t>(payloadSize)};
  for (std::size_t i = 0; i < payloadSize; ++i) {
    frame.payload[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  return frame;
}

AcceptRule AnyReply() {
  return AcceptRule{FrameKind::kReply, std::nullopt, false, std::nullopt};
}

// Recomputes both checks after a test has changed a header field, so that the field's own
// check is what rejects the frame.
void Reseal(std::vector<std::uint8_t>& bytes) {
  const std::uint32_t headerCrc = Crc32(std::span<const std::uint8_t>(bytes).subspan(2, 10));
  bytes[12] = headerCrc & 0xFF;
  bytes[13] = (headerCrc >> 8) & 0xFF;
  const std::size_t crcOffset = bytes.size() - kCrcSize;
  const std::uint32_t crc = Crc32(std::span<const std::uint8_t>(bytes).subspan(2, crcOffset - 2));
  for (std::size_t i = 0; i < kCrcSize; ++i) bytes[crcOffset + i] = (crc >> (8 * i)) & 0xFF;
}

std::vector<Frame> DrainFrames(FrameReader& reader) {
  std::vector<Frame> frames;
  while (auto frame = reader.Next()) frames.push_back(std::move(*frame));
  return frames;
}

TEST(Crc32, MatchesTheStandardCheckValue) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}),
            0xCBF43926U);
  EXPECT_EQ(Crc32({}), 0U);
}

TEST(EncodeFrame, LaysOutTheHeaderLittleEndian) {
  const Frame frame{FrameKind::kReply, 0x1234, 0xABCD, 2002, {'h', 'i'}};
  const auto bytes = EncodeFrame(frame);
  ASSERT_EQ(bytes.size(), kHeaderSize + 2 + kCrcSize);
  const std::vector<std::uint8_t> fields(bytes.begin(), bytes.begin() + 12);
  EXPECT_EQ(fields,
            (std::vector<std::uint8_t>{kStartMarker[0], kStartMarker[1], kVersion,
                                       1,  // reply flag
                                       0x34, 0x12, 0xCD, 0xAB, 2002 & 0xFF, 2002 >> 8, 2, 0}));
  const std::uint32_t headerCrc = Crc32(std::span<const std::uint8_t>(bytes).subspan(2, 10));
  EXPECT_EQ(bytes[12], headerCrc & 0xFF);
  EXPECT_EQ(bytes[13], (headerCrc >> 8) & 0xFF);
  EXPECT_EQ(bytes[14], 'h');
  EXPECT_EQ(bytes[15], 'i');
  const std::uint32_t crc = Crc32(std::span<const std::uint8_t>(bytes).subspan(2, 14));
  EXPECT_EQ(bytes[16], crc & 0xFF);
  EXPECT_EQ(bytes[19], crc >> 24);
}

TEST(EncodeFrame, RefusesAPayloadOverTheBound) {
  EXPECT_FALSE(EncodeFrame(MakeFrame(FrameKind::kRequest, 1, 1, 11, kMaxPayload)).empty());
  EXPECT_TRUE(EncodeFrame(MakeFrame(FrameKind::kRequest, 1, 1, 11, kMaxPayload + 1)).empty());
}

TEST(FrameReader, RoundTripsFramesOfEverySize) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{201}, kMaxPayload}) {
    for (const FrameKind kind : {FrameKind::kRequest, FrameKind::kReply}) {
      const Frame sent = MakeFrame(kind, 65535, 65535, 65535, size);
      FrameReader reader(AcceptRule{kind, std::nullopt, false, std::nullopt});
      reader.Append(EncodeFrame(sent));
      const auto received = reader.Next();
      ASSERT_TRUE(received.has_value()) << "payload " << size;
      EXPECT_EQ(*received, sent);
      EXPECT_EQ(reader.Buffered(), 0U);
    }
  }
}

TEST(FrameReader, AssemblesAFrameArrivingByteByByte) {
  const Frame sent = MakeFrame(FrameKind::kReply, 3, 9, 2000, 40);
  const auto bytes = EncodeFrame(sent);
  FrameReader reader(AnyReply());
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
    reader.Append(std::span<const std::uint8_t>(&bytes[i], 1));
    ASSERT_FALSE(reader.Next().has_value()) << "complete after " << i + 1 << " bytes";
  }
  reader.Append(std::span<const std::uint8_t>(&bytes.back(), 1));
  const auto received = reader.Next();
  ASSERT_TRUE(received.has_value());
  EXPECT_EQ(*received, sent);
  EXPECT_EQ(reader.Discarded().Unreadable(), 0U);
}

TEST(FrameReader, SplitsSeveralFramesInOneChunk) {
  std::vector<std::uint8_t> stream;
  std::vector<Frame> sent;
  for (std::uint16_t sequence = 1; sequence <= 3; ++sequence) {
    sent.push_back(MakeFrame(FrameKind::kReply, 1, sequence, 2000, sequence * 5U));
    const auto bytes = EncodeFrame(sent.back());
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  FrameReader reader(AnyReply());
  reader.Append(stream);
  EXPECT_EQ(DrainFrames(reader), sent);
}

TEST(FrameReader, WaitsOnATruncatedFrameWithoutDiscardingIt) {
  const auto bytes = EncodeFrame(MakeFrame(FrameKind::kReply, 1, 1, 2000, 30));
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    FrameReader reader(AnyReply());
    reader.Append(std::span<const std::uint8_t>(bytes.data(), cut));
    EXPECT_FALSE(reader.Next().has_value());
    EXPECT_EQ(reader.Discarded().Unreadable(), 0U) << "cut at " << cut;
    EXPECT_EQ(reader.Buffered(), cut);
  }
}

TEST(FrameReader, RejectsEveryCorruptedByteAndRecoversOnTheNextFrame) {
  const Frame good = MakeFrame(FrameKind::kReply, 2, 5, 2000, 12);
  const auto bytes = EncodeFrame(good);
  for (std::size_t position = 0; position < bytes.size(); ++position) {
    auto corrupted = bytes;
    corrupted[position] ^= 0x40;
    FrameReader reader(AnyReply());
    reader.Append(corrupted);
    reader.Append(bytes);
    const auto frames = DrainFrames(reader);
    ASSERT_EQ(frames.size(), 1U) << "byte " << position;
    EXPECT_EQ(frames[0], good);
    EXPECT_GT(reader.Discarded().Unreadable(), 0U);
  }
}

TEST(FrameReader, CountsABadChecksum) {
  auto bytes = EncodeFrame(MakeFrame(FrameKind::kReply, 1, 1, 2000, 4));
  bytes.back() ^= 0xFF;
  FrameReader reader(AnyReply());
  reader.Append(bytes);
  EXPECT_FALSE(reader.Next().has_value());
  EXPECT_EQ(reader.Discarded().badCrcs, 1U);
  EXPECT_EQ(reader.Buffered(), 0U);
}

TEST(FrameReader, RejectsAnOversizeLengthWithoutWaitingForIt) {
  auto bytes = EncodeFrame(MakeFrame(FrameKind::kReply, 1, 1, 2000, 0));
  const std::uint16_t oversize = kMaxPayload + 1;
  bytes[10] = oversize & 0xFF;
  bytes[11] = oversize >> 8;
  Reseal(bytes);
  FrameReader reader(AnyReply());
  reader.Append(bytes);
  EXPECT_FALSE(reader.Next().has_value());
  EXPECT_EQ(reader.Discarded().badHeaders, 1U);
  EXPECT_EQ(reader.Buffered(), 0U);
}

TEST(FrameReader, RejectsAnotherVersionAndUnknownFlags) {
  for (const auto& [offset, value] : {std::pair<std::size_t, std::uint8_t>{2, kVersion + 1},
                                      std::pair<std::size_t, std::uint8_t>{3, 0x81}}) {
    const Frame good = MakeFrame(FrameKind::kReply, 1, 1, 2000, 3);
    auto bytes = EncodeFrame(good);
    bytes[offset] = value;
    Reseal(bytes);
    FrameReader reader(AnyReply());
    reader.Append(bytes);
    EXPECT_FALSE(reader.Next().has_value());
    EXPECT_EQ(reader.Discarded().badHeaders, 1U) << "offset " << offset;
  }
}

TEST(FrameReader, SkipsGarbageAndAFalseStartBeforeAFrame) {
  const Frame good = MakeFrame(FrameKind::kReply, 1, 4, 2000, 6);
  std::vector<std::uint8_t> stream = {
      'n', 'o', 'i', 's', 'e', kStartMarker[0], 'x', kStartMarker[0], kStartMarker[1], kVersion, 0};
  const auto bytes = EncodeFrame(good);
  stream.insert(stream.end(), bytes.begin(), bytes.end());
  FrameReader reader(AnyReply());
  reader.Append(stream);
  const auto frames = DrainFrames(reader);
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(frames[0], good);
  EXPECT_GE(reader.Discarded().garbageBytes, 7U);
}

TEST(FrameReader, StaysBoundedOnEndlessNoise) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  FrameReader reader(AnyReply());
  for (int chunk = 0; chunk < 200; ++chunk) {
    std::vector<std::uint8_t> noise(512);
    for (auto& b : noise) b = static_cast<std::uint8_t>(byte(random));
    reader.Append(noise);
    EXPECT_FALSE(reader.Next().has_value());
    EXPECT_LE(reader.Buffered(), kMaxFrameSize + noise.size());
  }
  EXPECT_GT(reader.Discarded().garbageBytes, 0U);
}

TEST(FrameReader, ReturnsOnlyUntouchedFramesFromRandomDamage) {
  std::mt19937 random(42);
  FrameReader reader(AnyReply());
  std::size_t intact = 0;
  std::size_t received = 0;
  for (std::uint16_t sequence = 0; sequence < 2000; ++sequence) {
    const Frame frame = MakeFrame(FrameKind::kReply, 1, sequence, 2000, sequence % 50);
    auto bytes = EncodeFrame(frame);
    const bool damage = random() % 2 == 0;
    if (damage) {
      switch (random() % 3) {
        case 0:
          bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
          break;
        case 1:
          bytes.resize(random() % bytes.size());
          break;
        default:
          bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(random() % bytes.size()));
      }
    } else {
      ++intact;
    }
    reader.Append(bytes);
    while (auto got = reader.Next()) {
      ++received;
      // A cut frame may swallow the start of the next one, but nothing damaged gets through.
      EXPECT_EQ(*got, MakeFrame(FrameKind::kReply, 1, got->sequence, 2000, got->sequence % 50));
    }
  }
  EXPECT_LE(received, intact);
  EXPECT_GT(received, intact / 2);
}

TEST(FrameReader, DropsRepliesToEarlierRequests) {
  FrameReader reader(AcceptRule{FrameKind::kReply, std::nullopt, false, std::uint16_t{5}});
  reader.Append(EncodeFrame(MakeFrame(FrameKind::kReply, 1, 4, 2000, 2)));
  reader.Append(EncodeFrame(MakeFrame(FrameKind::kReply, 1, 5, 2000, 2)));
  const auto frames = DrainFrames(reader);
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(frames[0].sequence, 5);
  EXPECT_EQ(reader.Discarded().staleSequence, 1U);
  EXPECT_EQ(reader.Discarded().Unreadable(), 0U);
}

TEST(FrameReader, DropsFramesOfOtherDevicesAndTheOtherDirection) {
  FrameReader reader(AcceptRule{FrameKind::kReply, std::uint16_t{3}, false, std::nullopt});
  reader.Append(EncodeFrame(MakeFrame(FrameKind::kReply, 4, 1, 2000, 0)));
  reader.Append(EncodeFrame(MakeFrame(FrameKind::kReply, kAnyDevice, 2, 2000, 0)));
  reader.Append(EncodeFrame(MakeFrame(FrameKind::kRequest, 3, 3, 11, 0)));
  reader.Append(EncodeFrame(MakeFrame(FrameKind::kReply, 3, 4, 2000, 0)));
  const auto frames = DrainFrames(reader);
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(frames[0].sequence, 4);
  EXPECT_EQ(reader.Discarded().foreignDevice, 2U);
  EXPECT_EQ(reader.Discarded().wrongKind, 1U);
}

TEST(FrameReader, TakesTheWildcardDeviceOnlyWhenAllowed) {
  const auto wildcard = EncodeFrame(MakeFrame(FrameKind::kRequest, kAnyDevice, 1, 11, 0));
  FrameReader pointToPoint(AcceptRule{FrameKind::kRequest, std::uint16_t{7}, true, std::nullopt});
  pointToPoint.Append(wildcard);
  EXPECT_TRUE(pointToPoint.Next().has_value());
  FrameReader line(AcceptRule{FrameKind::kRequest, std::uint16_t{7}, false, std::nullopt});
  line.Append(wildcard);
  EXPECT_FALSE(line.Next().has_value());
  EXPECT_EQ(line.Discarded().foreignDevice, 1U);
}

}  // namespace
}  // namespace quillstone::wire
