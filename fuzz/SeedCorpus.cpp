// Writes the fuzzers' seed corpora: the frames of the wireless apply's worked example as the
// library and the simulator exchange them, the options.ini and IPconfig.ini files the apply
// and the device IP dialog leave behind, and the option texts of the device link's tests.
//
//   fuzz_seed_corpus <folder>    writes <folder>/<fuzzer>/<seed>
//
// A seed is a fuzzer input: what the fuzzer reads from the front (texts, the byte stream),
// then its integral choices, which FuzzedDataProvider takes from the back, last byte first.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capstan/src/Protocol.h"

namespace {

namespace wire = quillstone::wire;
using Bytes = std::vector<std::uint8_t>;

class Input {
 public:
  // Text read with ConsumeRandomLengthString: a backslash doubled, a backslash and a blank
  // end it.
  Input& String(const std::string& text) {
    for (const char c : text) {
      if (c == '\\') front_.push_back('\\');
      front_.push_back(static_cast<std::uint8_t>(c));
    }
    front_.push_back('\\');
    front_.push_back(' ');
    return *this;
  }
  Input& Rest(const Bytes& bytes) {
    front_.insert(front_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Input& Rest(const std::string& text) { return Rest(Bytes(text.begin(), text.end())); }
  // One choice byte (a bool, an index, a small range's offset).
  Input& Choose(std::uint8_t byte) {
    choices_.push_back(byte);
    return *this;
  }
  // A 16-bit choice: the first byte taken is the high one.
  Input& Choose16(std::uint16_t value) {
    return Choose(static_cast<std::uint8_t>(value >> 8)).Choose(value & 0xFF);
  }
  Bytes Data() const {
    Bytes bytes = front_;
    bytes.insert(bytes.end(), choices_.rbegin(), choices_.rend());
    return bytes;
  }

 private:
  Bytes front_;
  Bytes choices_;
};

Bytes Text(const std::string& text, bool zeroEnded = true) {
  Bytes bytes(text.begin(), text.end());
  if (zeroEnded) bytes.push_back(0);
  return bytes;
}

Bytes Frame(wire::FrameKind kind, std::uint16_t sequence, std::uint16_t code,
            const Bytes& payload = {}) {
  return wire::EncodeFrame(
      {.kind = kind, .device = 1, .sequence = sequence, .code = code, .payload = payload});
}

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

// The worked example's start as the library sends it: the hello, the bracket, the probes and
// the first options.
Bytes WorkedExampleRequests(const std::string& ssidOption, bool zeroEnded = true) {
  using wire::FrameKind;
  std::vector<Bytes> frames = {Frame(FrameKind::kRequest, 1, 1, Text("capstan", false)),
                               Frame(FrameKind::kRequest, 2, 1003),
                               Frame(FrameKind::kRequest, 3, 11, Text("~OS")),
                               Frame(FrameKind::kRequest, 4, 11, Text("WIFI")),
                               Frame(FrameKind::kRequest, 5, 12, Text("WIFI=1")),
                               Frame(FrameKind::kRequest, 6, 12, Text(ssidOption, zeroEnded)),
                               Frame(FrameKind::kRequest, 7, 11, Text("SSID")),
                               Frame(FrameKind::kRequest, 8, 12, Text("~MODEM=C0F0")),
                               Frame(FrameKind::kRequest, 9, 1002),
                               Frame(FrameKind::kRequest, 10, 1014)};
  return Join(frames);
}

const std::string kOptionLines =
    "WIFI=1\r\nSSID=Office\r\nNetworkType=Infra\r\nAuthMode=OPEN\r\nEncrypType=NONE\r\n"
    "DefaultKeyID=1\r\nKey1Type=0\r\nKey1Str=\r\nKey2Type=0\r\nKey2Str=\r\nKey3Type=0\r\n"
    "Key3Str=\r\nKey4Type=0\r\nKey4Str=\r\nWPAPSK=\r\nwifidhcp=1\r\n";
const std::string kAfterTcpApply =
    kOptionLines + "[Config]\r\nlocatIP=192.168.1.201\r\nPort=4370\r\n";
const std::string kAfterSerialApply =
    kOptionLines + "[Config]\r\nDeviceID=1\r\nCOMPort=7\r\nBaudrate=115200\r\n";
const std::string kIpConfig =
    "[Config]\r\nIPaddress=192.168.5.9\r\nsubMask=255.255.255.0\r\nGateWay=192.168.5.1\r\n"
    "IPRadio=1\r\n";

void Write(const std::filesystem::path& folder, const std::string& fuzzer, const std::string& name,
           const Bytes& bytes) {
  std::filesystem::create_directories(folder / fuzzer);
  std::ofstream(folder / fuzzer / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void ReplySeeds(const std::filesystem::path& folder) {
  using wire::FrameKind;
  const Bytes replies =
      Join({Frame(FrameKind::kReply, 1, 2000, Text("~OS=")),
            Frame(FrameKind::kReply, 2, 2000, Text("WIFI=0")), Frame(FrameKind::kReply, 3, 2000),
            Frame(FrameKind::kReply, 4, 2002)});
  // framed, reliable, through the entry point, hang up, addressed, exchanges (4),
  // capacities (200 each), chunk sizes (none), the replying device
  auto choices = [](Input& input, bool reliable, bool entryPoint, bool addressed) {
    input.Choose(0).Choose(reliable).Choose(entryPoint).Choose(0).Choose(addressed);
    if (addressed) input.Choose16(1);
    input.Choose(3);
    for (int i = 0; i < 4; ++i) input.Choose16(200);
    input.Choose(0).Choose16(1);
  };
  Input stream;
  choices(stream.Rest(replies), true, false, false);
  Write(folder, "fuzz_reply_decoder", "session_replies", stream.Data());
  Input entry;
  choices(entry.Rest(replies), true, true, false);
  Write(folder, "fuzz_reply_decoder", "session_replies_entry_point", entry.Data());

  // On a line: noise, a stale reply, another device's reply, a damaged one, then the answer.
  Bytes damaged = Frame(FrameKind::kReply, 1, 2000, Text("~OS=x"));
  damaged[damaged.size() - 1] ^= 0xFF;
  const Bytes line = Join({Text("\x71\xC5\xC5noise", false), Frame(FrameKind::kReply, 9, 2000),
                           wire::EncodeFrame({.kind = FrameKind::kReply,
                                              .device = 2,
                                              .sequence = 1,
                                              .code = 2000,
                                              .payload = Text("~OS=y")}),
                           damaged, Frame(FrameKind::kReply, 1, 2000, Text("~OS=NONE"))});
  Input serial;
  choices(serial.Rest(line), false, true, true);
  Write(folder, "fuzz_reply_decoder", "line_with_noise", serial.Data());
}

void RequestSeeds(const std::filesystem::path& folder) {
  // framed, point to point, device 1, "~OS" (0: empty, 1: NONE, 2: LINUX), refused option,
  // refusals (WIFI once), chunk sizes (none)
  auto session = [&](const std::string& name, const Bytes& stream, std::uint8_t os) {
    Input input;
    input.Rest(stream).Choose(0).Choose(1).Choose16(1).Choose(os).Choose(2).Choose(1).Choose(0);
    Write(folder, "fuzz_request_decoder", name, input.Data());
  };
  session("worked_example", WorkedExampleRequests("SSID=Office"), 0);
  session("worked_example_plain_os", WorkedExampleRequests("SSID=Office"), 2);
  // A write whose text fills the request's whole payload (no zero byte), then read back.
  session("longest_option", WorkedExampleRequests("SSID=" + std::string(4091, 'v'), false), 2);
}

void IniSeeds(const std::filesystem::path& folder) {
  // section: from the list (1), "Config" (0); key: from the list (1), the given index
  auto reader = [&](const std::string& name, const std::string& content, std::uint8_t key) {
    Input input;
    input.Rest(content).Choose(1).Choose(0).Choose(1).Choose(key);
    Write(folder, "fuzz_ini_reader", name, input.Data());
  };
  reader("after_tcp_apply", kAfterTcpApply, 0);
  reader("after_serial_apply", kAfterSerialApply, 4);
  reader("ipconfig", kIpConfig, 6);

  // how many writes, then each write's key index; the values come first from the front
  auto merge = [&](const std::string& name, const std::string& content,
                   const std::vector<std::pair<std::uint8_t, std::string>>& writes) {
    Input input;
    input.Choose(static_cast<std::uint8_t>(writes.size() - 1));
    for (const auto& [key, value] : writes) input.Choose(key).String(value);
    input.Rest(content);
    Write(folder, "fuzz_ini_merge", name, input.Data());
  };
  merge("tcp_settings_after_option_lines", kOptionLines, {{0, "127.0.0.1"}, {1, "4370"}});
  merge("serial_settings_over_tcp_ones", kAfterTcpApply, {{2, "1"}, {3, "7"}, {4, "115200"}});
}

void OptionSeeds(const std::filesystem::path& folder) {
  // decode (1) then the digits; or the round trip (0), the key's offset from 1, the name
  // after its "~", then the value
  Input decode;
  decode.Choose(1).Rest(std::string("C0F0"));
  Write(folder, "fuzz_scramble", "modem_zero", decode.Data());
  Input roundTrip;
  roundTrip.Choose(0).Choose(0xC0 - 1).String("AuthServer").Rest(std::string("a=b"));
  Write(folder, "fuzz_scramble", "value_with_equals", roundTrip.Data());

  // read answered, write answered, answer with the wanted value, the read's bytes, the drawn
  // key, scrambling allowed, the option text
  auto write = [&](const std::string& name, const std::string& text, bool equal, bool scramble) {
    Input input;
    input.Choose(1).Choose(1).Choose(equal).String("").Choose(0).Choose(scramble).Rest(text);
    Write(folder, "fuzz_option_write", name, input.Data());
  };
  write("equal_value_skips_the_write", "AuthMode=OPEN", true, false);
  write("scrambled_modem", "~MODEM=0", false, true);
  write("empty_value", "SSID=", false, true);
  write("no_equals", "NoEquals", false, false);
  write("leading_equals", "=value", false, true);
  write("value_with_equals", "~AuthServer=a=b", false, true);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  ReplySeeds(folder);
  RequestSeeds(folder);
  IniSeeds(folder);
  OptionSeeds(folder);
  return 0;
}
