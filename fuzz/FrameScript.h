#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capstan/src/Protocol.h"

// Byte streams built from the fuzzer's input out of whole frames: random bytes rarely pass the
// checksums, so a frame fuzzer also feeds streams of well-formed frames with chosen fields,
// mixed with damaged and cut frames and noise.
namespace quillstone::fuzzing {

struct FrameChoices {
  wire::FrameKind kind = wire::FrameKind::kRequest;
  std::uint16_t device = 0;
  // Texts the payloads are often made of, so that option names and values meet the handlers.
  std::vector<std::string> words;
};

inline std::string PayloadText(FuzzedDataProvider& input, const FrameChoices& choices) {
  std::string text;
  if (!choices.words.empty() && input.ConsumeBool()) {
    text = choices.words[input.ConsumeIntegralInRange<std::size_t>(0, choices.words.size() - 1)];
  }
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      break;
    case 1:
      text += input.ConsumeRandomLengthString(64);
      break;
    case 2: {  // up to a few bytes short of the payload bound, or a few past it
      const std::size_t target = 4096 - 8 + input.ConsumeIntegralInRange<std::size_t>(0, 16);
      if (text.size() < target) text += std::string(target - text.size(), 'v');
      break;
    }
    default:
      text += '\0';
      break;
  }
  return text;
}

inline std::vector<std::uint8_t> FramedStream(FuzzedDataProvider& input,
                                              const FrameChoices& choices) {
  static constexpr std::array<std::uint16_t, 9> kCodes = {1,    11,   12,   1002, 1003,
                                                          1004, 1014, 2000, 2002};
  std::vector<std::uint8_t> stream;
  while (input.remaining_bytes() > 0) {
    const int what = input.ConsumeIntegralInRange(0, 5);
    if (what == 0) {
      const auto noise = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(1, 16));
      stream.insert(stream.end(), noise.begin(), noise.end());
      continue;
    }
    wire::Frame frame;
    frame.kind = input.ConsumeIntegralInRange(0, 7) == 0
                     ? (choices.kind == wire::FrameKind::kReply ? wire::FrameKind::kRequest
                                                                : wire::FrameKind::kReply)
                     : choices.kind;
    frame.device = input.ConsumeIntegralInRange(0, 3) == 0 ? input.ConsumeIntegral<std::uint16_t>()
                                                           : choices.device;
    frame.sequence = input.ConsumeIntegralInRange<std::uint16_t>(0, 5);
    frame.code = input.ConsumeBool() ? input.PickValueInArray(kCodes)
                                     : input.ConsumeIntegral<std::uint16_t>();
    const std::string text = PayloadText(input, choices);
    frame.payload.assign(text.begin(), text.end());
    std::vector<std::uint8_t> bytes = wire::EncodeFrame(frame);
    if (bytes.empty()) continue;  // over the payload bound: no such frame exists
    if (what == 1) {              // one byte damaged
      bytes[input.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1)] ^=
          input.ConsumeIntegralInRange<std::uint8_t>(1, 255);
    } else if (what == 2) {  // cut short
      bytes.resize(input.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1));
    }
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  return stream;
}

}  // namespace quillstone::fuzzing
