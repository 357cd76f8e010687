// The simulator spoken to frame by frame, without the library in between.
#include "devicesim/Simulator.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>

#include "capstan/capstan.h"
#include "capstan/src/Protocol.h"
#include "devicesim/Link.h"
#include "tests/capstan/TestSupport.h"

namespace quillstone::devsim {
namespace {

using namespace quillstone::testing;

constexpr milliseconds kReplyWait{2000};

wire::Frame Request(std::uint16_t code, const std::string& text, std::uint16_t sequence,
                    std::uint16_t device = wire::kAnyDevice) {
  std::vector<std::uint8_t> payload(text.begin(), text.end());
  if (!text.empty()) payload.push_back(0);
  return wire::Frame{wire::FrameKind::kRequest, device, sequence, code, std::move(payload)};
}

std::string PayloadText(const wire::Frame& frame) {
  return std::string(frame.payload.begin(), frame.payload.end());
}

// A bare protocol client on a TCP connection or a terminal.
class RawClient {
 public:
  static RawClient Tcp(std::uint16_t port) {
    std::optional<Channel> channel = ConnectTcp("127.0.0.1", port, Clock::now() + kReplyWait);
    EXPECT_TRUE(channel.has_value()) << "cannot connect to port " << port;
    return RawClient(std::move(channel));
  }

  static RawClient Terminal(const std::string& path) {
    return RawClient(OpenSerialLine(path, 115200));
  }

  void SendBytes(const std::vector<std::uint8_t>& bytes) {
    ASSERT_TRUE(channel_.has_value());
    ASSERT_EQ(channel_->WriteAll(bytes, Clock::now() + kReplyWait), IoStatus::kOk);
  }
  void Send(const wire::Frame& frame) { SendBytes(wire::EncodeFrame(frame)); }

  std::optional<wire::Frame> Receive(milliseconds timeout = kReplyWait) {
    const auto deadline = Clock::now() + timeout;
    std::array<std::uint8_t, 1024> chunk{};
    for (;;) {
      if (auto frame = reader_.Next()) return frame;
      if (!channel_) return std::nullopt;
      const IoResult got = channel_->ReadSome(chunk, deadline);
      if (got.status != IoStatus::kOk) return std::nullopt;
      reader_.Append(std::span<const std::uint8_t>(chunk.data(), got.count));
    }
  }

  // True when the other end closes the connection before the timeout.
  bool WaitForHangUp(milliseconds timeout) {
    std::array<std::uint8_t, 256> chunk{};
    const auto deadline = Clock::now() + timeout;
    while (channel_) {
      const IoResult got = channel_->ReadSome(chunk, deadline);
      if (got.status == IoStatus::kClosed) return true;
      if (got.status == IoStatus::kTimeout) return false;
    }
    return false;
  }

  const wire::DiscardCounts& Discarded() const { return reader_.Discarded(); }
  void Close() { channel_.reset(); }

 private:
  explicit RawClient(std::optional<Channel> channel)
      : channel_(std::move(channel)),
        reader_(wire::AcceptRule{wire::FrameKind::kReply, std::nullopt, false, std::nullopt}) {}

  std::optional<Channel> channel_;
  wire::FrameReader reader_;
};

SimulatorConfig TcpDevice() {
  SimulatorConfig config;
  config.defaults = {{"SSID", "office"}};
  return config;
}

TEST(Simulator, ListensOnAFreePortAndSaysWhere) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  ASSERT_NE(simulator.Port(), 0);
  EXPECT_EQ(simulator.Describe(),
            "listening on 127.0.0.1:" + std::to_string(simulator.Port()) + ", device 1");
}

TEST(Simulator, FailsToStartOnAPortInUse) {
  Simulator first(TcpDevice());
  first.Start();
  SimulatorConfig config = TcpDevice();
  config.port = first.Port();
  Simulator second(config);
  EXPECT_THROW(second.Start(), std::runtime_error);
}

TEST(Simulator, AnswersTheHelloWithoutCountingItAsACommand) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(wire::kHelloCode, "capstan", 1));
  const auto reply = client.Receive();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->code, CAPSTAN_REPLY_OK);
  EXPECT_EQ(reply->sequence, 1);
  EXPECT_EQ(reply->device, 1);
  EXPECT_NE(PayloadText(*reply).find("quillstone-devsim"), std::string::npos);
  EXPECT_EQ(simulator.CommandCount(), 0U);
}

TEST(Simulator, OverTcpAnswersItsOwnNumberAndTheWildcardOnly) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 1, 5));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2, wire::kAnyDevice));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 3, 1));
  // Requests are answered in order, so an answer to the first would come first.
  const auto first = client.Receive();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->sequence, 2);
  EXPECT_EQ(PayloadText(*first), std::string("SSID=office\0", 12));
  const auto second = client.Receive();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->sequence, 3);
  EXPECT_EQ(simulator.CommandCount(), 2U);
}

TEST(Simulator, OverASerialLineAnswersOnlyItsOwnNumber) {
  if (!PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
  SimulatorConfig config = TcpDevice();
  config.link = LinkKind::kPty;
  config.deviceNumber = 7;
  Simulator simulator(config);
  simulator.Start();
  EXPECT_EQ(simulator.Describe(), "pseudo-terminal " + simulator.PtyPath() + ", device 7");
  RawClient client = RawClient::Terminal(simulator.PtyPath());
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 1, 8));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2, wire::kAnyDevice));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 3, 7));
  const auto reply = client.Receive();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->sequence, 3);
  EXPECT_EQ(reply->device, 7);
  EXPECT_EQ(simulator.CommandCount(), 1U);
}

TEST(Simulator, IgnoresNoiseAndDamagedRequests) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.SendBytes({'G', 'E', 'T', ' ', '/', '\r', '\n', wire::kStartMarker[0]});
  auto damaged = wire::EncodeFrame(Request(CAPSTAN_CMD_WRITE_OPTION, "SSID=evil", 1));
  damaged[damaged.size() - 6] ^= 0x01;
  client.SendBytes(damaged);
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2));
  const auto reply = client.Receive();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->sequence, 2);
  EXPECT_EQ(PayloadText(*reply), std::string("SSID=office\0", 12));
  EXPECT_EQ(simulator.CommandCount(), 1U);
}

TEST(Simulator, RecordsCommandsInOrder) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_BEGIN_CONFIG, "", 1));
  client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "SSID=lab", 2));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "Missing", 3));
  ASSERT_TRUE(simulator.WaitForCommands(3, kReplyWait));
  const auto records = simulator.Records();
  ASSERT_EQ(records.size(), 3U);
  EXPECT_EQ(records[0].code, CAPSTAN_CMD_BEGIN_CONFIG);
  EXPECT_EQ(records[0].request, "");
  EXPECT_EQ(records[1].code, CAPSTAN_CMD_WRITE_OPTION);
  EXPECT_EQ(records[1].request, "SSID=lab");
  EXPECT_EQ(records[1].reply, CAPSTAN_REPLY_OK);
  EXPECT_EQ(records[2].reply, CAPSTAN_REPLY_NOT_FOUND);
  EXPECT_LE(records[0].time, records[1].time);
  EXPECT_LE(records[1].time, records[2].time);
}

TEST(Simulator, CountsCommandsWithoutKeepingRecords) {
  SimulatorConfig config = TcpDevice();
  config.keepRecords = false;
  Simulator simulator(config);
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_BEGIN_CONFIG, "", 1));
  ASSERT_TRUE(simulator.WaitForCommands(1, kReplyWait));
  EXPECT_TRUE(simulator.Records().empty());
}

TEST(Simulator, LogsOneLinePerCommandAndEachEvent) {
  TempDir dir;
  SimulatorConfig config = TcpDevice();
  config.logFile = dir.Path() / "device.log";
  Simulator simulator(config);
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 1));
  client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "Name=\"quoted\"\n", 2));
  ASSERT_TRUE(client.Receive().has_value());
  ASSERT_TRUE(client.Receive().has_value());
  // Stopping with the client still there ends its connection too.
  simulator.Stop();
  std::istringstream log(ReadFileText(config.logFile));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6U);
  const std::vector<std::string> endings = {
      "event=start device=1 os=\"\"",
      "event=connect peer=127.0.0.1:",
      "code=11 request=\"SSID\" reply=2000",
      "code=12 request=\"Name=\\\"quoted\\\"\\x0A\" reply=2000",
      "event=disconnect",
      "event=stop"};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // Each line: an ISO 8601 UTC time with milliseconds, then the entry.
    EXPECT_EQ(lines[i].substr(23, 2), "Z ") << lines[i];
    EXPECT_NE(lines[i].find(endings[i], 25), std::string::npos) << lines[i];
  }
}

// Each connection's end says who ended it and whether the device was left in configuration mode.
TEST(Simulator, LogsWhoEndedAConnectionAndAConfigurationLeftOpen) {
  TempDir dir;
  SimulatorConfig config = TcpDevice();
  config.logFile = dir.Path() / "device.log";
  config.faults.closeAfterCommands = 3;
  config.faultNote = "fault=drop count=3 lasting=transient";
  Simulator simulator(config);
  simulator.Start();
  const auto session = [&](std::vector<std::uint16_t> codes) {
    RawClient client = RawClient::Tcp(simulator.Port());
    std::uint16_t sequence = 0;
    for (const std::uint16_t code : codes) {
      client.Send(Request(code, "", ++sequence));
      EXPECT_TRUE(client.Receive().has_value()) << code;
    }
    return client;
  };
  // Begin, end, begin: the device drops the client after its third answer.
  EXPECT_TRUE(session({CAPSTAN_CMD_BEGIN_CONFIG, CAPSTAN_CMD_END_CONFIG, CAPSTAN_CMD_BEGIN_CONFIG})
                  .WaitForHangUp(kReplyWait));
  session({CAPSTAN_CMD_BEGIN_CONFIG, CAPSTAN_CMD_END_CONFIG}).Close();
  session({CAPSTAN_CMD_BEGIN_CONFIG}).Close();
  ASSERT_TRUE(simulator.WaitForCommands(6, kReplyWait));
  RawClient last = session({CAPSTAN_CMD_BEGIN_CONFIG});
  EXPECT_TRUE(simulator.Configuring());
  simulator.Stop();
  EXPECT_FALSE(simulator.Configuring());

  const std::string log = ReadTextLines(config.logFile);
  std::vector<std::string> ends;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("event=disconnect") != std::string::npos) ends.push_back(line.substr(25));
  }
  EXPECT_EQ(ends, (std::vector<std::string>{"event=disconnect by=device configuring=yes",
                                            "event=disconnect by=client",
                                            "event=disconnect by=client configuring=yes",
                                            "event=disconnect by=stop configuring=yes"}));
  EXPECT_EQ(simulator.LeftConfiguring(), 1u) << "the client's doing only";
  EXPECT_NE(log.find("event=start device=1 os=\"\" fault=drop count=3 lasting=transient\n"),
            std::string::npos)
      << log;
}

TEST(Simulator, LogsAReplyItCorrupted) {
  TempDir dir;
  SimulatorConfig config = TcpDevice();
  config.logFile = dir.Path() / "device.log";
  config.faults.corruptReplies = 1;
  Simulator simulator(config);
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "SSID=lab", 1));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2));
  ASSERT_TRUE(client.Receive().has_value());
  simulator.Stop();
  const std::string log = ReadTextLines(config.logFile);
  EXPECT_NE(log.find("code=12 request=\"SSID=lab\" reply=2000 corrupted=yes\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("code=11 request=\"SSID\" reply=2000\n"), std::string::npos) << log;
}

TEST(Simulator, KeepsItsOptionsInTheStateFileAcrossRuns) {
  TempDir dir;
  SimulatorConfig config = TcpDevice();
  config.stateFile = dir.Path() / "state.ini";
  {
    Simulator simulator(config);
    simulator.Start();
    RawClient client = RawClient::Tcp(simulator.Port());
    client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "SSID=lab", 1));
    ASSERT_TRUE(client.Receive().has_value());
  }
  EXPECT_EQ(OptionStore::Parse(ReadFileText(config.stateFile)).at("SSID"), "lab");
  Simulator again(config);
  again.Start();
  EXPECT_EQ(again.Option("SSID"), "lab");
}

TEST(Simulator, AStoreThatDropsAnOptionAtRestartLosesItInTheFileToo) {
  TempDir dir;
  SimulatorConfig config = TcpDevice();
  config.stateFile = dir.Path() / "state.ini";
  config.logFile = dir.Path() / "device.log";
  config.logNamesPort = true;
  config.faults.dropAtRestart = {"wifiip"};
  Simulator simulator(config);
  simulator.Start();
  {
    RawClient client = RawClient::Tcp(simulator.Port());
    client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "wifiip=10.0.0.9", 1));
    client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "SSID=lab", 2));
    client.Send(Request(CAPSTAN_CMD_RESTART, "", 3));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(client.Receive().has_value());
    EXPECT_EQ(simulator.Option("wifiip"), "10.0.0.9");  // until the restart
  }
  ASSERT_TRUE(simulator.WaitForRestarts(1, kReplyWait));
  EXPECT_EQ(simulator.Option("wifiip"), std::nullopt);
  EXPECT_EQ(simulator.Option("SSID"), "lab");
  EXPECT_FALSE(OptionStore::Parse(ReadFileText(config.stateFile)).contains("wifiip"));
  simulator.Stop();
  std::istringstream log(ReadFileText(config.logFile));
  const std::string port = "Z port=" + std::to_string(simulator.Port()) + " ";
  for (std::string line; std::getline(log, line);) EXPECT_EQ(line.substr(23, port.size()), port);
}

TEST(Simulator, OnASharedLineAnswersEachOfItsNumbersAndNoOther) {
  if (!PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
  SimulatorConfig config;
  config.link = LinkKind::kPty;
  config.deviceNumber = 4;
  config.moreDeviceNumbers = {7};
  Simulator simulator(config);
  simulator.Start();
  RawClient client = RawClient::Terminal(simulator.PtyPath());
  for (const std::uint16_t number : {7, 5, 4}) {
    client.Send(Request(CAPSTAN_CMD_BEGIN_CONFIG, "", number, number));
  }
  const auto first = client.Receive();
  const auto second = client.Receive();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->device, 7);
  EXPECT_EQ(second->device, 4);
  EXPECT_FALSE(client.Receive(milliseconds(200)).has_value());  // nothing for number 5
  ASSERT_EQ(simulator.Records().size(), 2U);
  EXPECT_EQ(simulator.Records()[0].device, 7);
}

TEST(Simulator, RestartsOnceTheClientHasDisconnected) {
  TempDir dir;
  SimulatorConfig config = TcpDevice();
  config.logFile = dir.Path() / "device.log";
  Simulator simulator(config);
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_RESTART, "", 1));
  const auto reply = client.Receive();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->code, CAPSTAN_REPLY_OK);
  EXPECT_EQ(simulator.Restarts(), 0U);
  client.Close();
  ASSERT_TRUE(simulator.WaitForRestarts(1, kReplyWait));
  simulator.Stop();
  EXPECT_NE(ReadFileText(config.logFile).find("event=restart"), std::string::npos);
}

TEST(Simulator, ClosesASecondClientAtOnce) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  RawClient first = RawClient::Tcp(simulator.Port());
  first.Send(Request(wire::kHelloCode, "capstan", 1));
  ASSERT_TRUE(first.Receive().has_value());
  RawClient second = RawClient::Tcp(simulator.Port());
  EXPECT_TRUE(second.WaitForHangUp(kReplyWait));
  first.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2));
  EXPECT_TRUE(first.Receive().has_value());
  EXPECT_EQ(simulator.Connections(), 1U);
}

TEST(Simulator, DelaysEveryReply) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  simulator.SetReplyDelay(milliseconds(150));
  RawClient client = RawClient::Tcp(simulator.Port());
  const auto start = Clock::now();
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 1));
  ASSERT_TRUE(client.Receive().has_value());
  EXPECT_GE(ElapsedSince(start), milliseconds(150));
}

TEST(Simulator, StaysSilentButRecordsWhatArrives) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  simulator.SetSilent(true);
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 1));
  ASSERT_TRUE(simulator.WaitForCommands(1, kReplyWait));
  EXPECT_EQ(simulator.Records().at(0).reply, 0);
  simulator.SetSilent(false);
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2));
  const auto reply = client.Receive();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->sequence, 2) << "the silent command never got an answer";
}

TEST(Simulator, DropsTheClientAfterTheGivenNumberOfCommands) {
  SimulatorConfig config = TcpDevice();
  config.faults.closeAfterCommands = 2;
  Simulator simulator(config);
  simulator.Start();
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(wire::kHelloCode, "capstan", 1));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 3));
  for (const std::uint16_t sequence : {1, 2, 3}) {
    const auto reply = client.Receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->sequence, sequence);
  }
  EXPECT_TRUE(client.WaitForHangUp(kReplyWait));
}

TEST(Simulator, CorruptsTheGivenNumberOfReplies) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  simulator.CorruptReplies(1);
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 1));
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 2));
  const auto reply = client.Receive();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->sequence, 2);
  EXPECT_EQ(client.Discarded().badCrcs, 1U);
}

TEST(Simulator, RefusesANamedOptionWhileRunning) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  simulator.RefuseOption("SSID", 1);
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "SSID=lab", 1));
  client.Send(Request(CAPSTAN_CMD_WRITE_OPTION, "SSID=lab", 2));
  const auto refused = client.Receive();
  const auto accepted = client.Receive();
  ASSERT_TRUE(refused && accepted);
  EXPECT_EQ(refused->code, CAPSTAN_REPLY_REFUSED);
  EXPECT_EQ(accepted->code, CAPSTAN_REPLY_OK);
  EXPECT_EQ(simulator.Option("SSID"), "lab");
}

TEST(Simulator, StopsPromptlyInTheMiddleOfADelay) {
  Simulator simulator(TcpDevice());
  simulator.Start();
  simulator.SetReplyDelay(std::chrono::seconds(30));
  RawClient client = RawClient::Tcp(simulator.Port());
  client.Send(Request(CAPSTAN_CMD_READ_OPTION, "SSID", 1));
  ASSERT_TRUE(simulator.WaitForCommands(1, kReplyWait));
  const auto start = Clock::now();
  simulator.Stop();
  EXPECT_LT(ElapsedSince(start), milliseconds(1000));
  simulator.Stop();
}

}  // namespace
}  // namespace quillstone::devsim
