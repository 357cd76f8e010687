// The library against the in-process simulator over loopback TCP.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include "capstan/capstan.h"
#include "devicesim/Link.h"
#include "devicesim/Simulator.h"
#include "tests/capstan/TestSupport.h"

namespace quillstone {
namespace {

using devsim::Simulator;
using devsim::SimulatorConfig;
using namespace quillstone::testing;

// Loose upper bounds: the suite runs in parallel on a busy machine, and under sanitizers.
constexpr milliseconds kPromptly{1000};
constexpr milliseconds kSlack{500};

SimulatorConfig DeviceWithOptions(std::string osValue = "") {
  SimulatorConfig config;
  config.osValue = std::move(osValue);
  config.defaults = {{"SSID", "office"}, {"WIFI", "1"}, {"Long", std::string(150, 'v')}};
  return config;
}

class LibraryOverTcp : public ::testing::Test {
 protected:
  void SetUp() override { Restart(DeviceWithOptions()); }

  void Restart(SimulatorConfig config) {
    simulator_.reset();
    simulator_ = std::make_unique<Simulator>(std::move(config));
    simulator_->Start();
  }

  Simulator& Sim() { return *simulator_; }
  std::int32_t Open() { return OpenTcp(simulator_->Port()); }

  std::unique_ptr<Simulator> simulator_;
};

TEST_F(LibraryOverTcp, OpensWithASmallNonzeroHandle) {
  const std::int32_t first = Open();
  ASSERT_GT(first, 0);
  EXPECT_LT(first, 1000);
  EXPECT_EQ(HALYARD_CLOSE(first), 0);
  const std::int32_t second = Open();
  EXPECT_GT(second, 0);
  EXPECT_NE(second, first) << "a closed handle is not handed out again at once";
  EXPECT_EQ(HALYARD_CLOSE(second), 0);
  EXPECT_EQ(Sim().Connections(), 2U);
}

TEST_F(LibraryOverTcp, ReadsAnOptionAsNameEqualsValue) {
  HandleGuard handle(Open());
  ASSERT_NE(handle.Get(), 0);
  const ReadResult read = ReadOption(handle.Get(), "SSID");
  EXPECT_EQ(read.reply, CAPSTAN_REPLY_OK);
  EXPECT_EQ(read.value, "office");

  const auto records = Sim().Records();
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(records[0].code, CAPSTAN_CMD_READ_OPTION);
  EXPECT_EQ(records[0].request, "SSID");
  EXPECT_EQ(records[0].reply, CAPSTAN_REPLY_OK);
}

TEST_F(LibraryOverTcp, ReplyBufferHoldsTheTerminatedOptionText) {
  HandleGuard handle(Open());
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  std::memcpy(buffer, "WIFI", 5);
  std::uint16_t command = CAPSTAN_CMD_READ_OPTION;
  const std::int32_t returned = HALYARD_SENDCMD(handle.Get(), &command, buffer, 32, 5, 300);
  EXPECT_EQ(returned, CAPSTAN_REPLY_OK);
  EXPECT_EQ(command, CAPSTAN_REPLY_OK);
  EXPECT_EQ(std::string(buffer, 7), std::string("WIFI=1\0", 7));
  EXPECT_EQ(buffer[7], '#') << "nothing written past the reply";
}

TEST_F(LibraryOverTcp, ReportsAnUnknownOption) {
  HandleGuard handle(Open());
  EXPECT_EQ(ReadOption(handle.Get(), "NoSuchOption").reply, CAPSTAN_REPLY_NOT_FOUND);
}

TEST_F(LibraryOverTcp, WritesOptionsAndReadsThemBack) {
  HandleGuard handle(Open());
  EXPECT_EQ(WriteOption(handle.Get(), "SSID=lab"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(WriteOption(handle.Get(), "Key1Str=a=b"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(WriteOption(handle.Get(), "Empty="), CAPSTAN_REPLY_OK);
  EXPECT_EQ(Sim().Option("SSID"), "lab");
  EXPECT_EQ(Sim().Option("Key1Str"), "a=b");
  EXPECT_EQ(Sim().Option("Empty"), "");
  EXPECT_EQ(ReadOption(handle.Get(), "Key1Str").value, "a=b");
}

TEST_F(LibraryOverTcp, RefusesMalformedWritesAndTheOsOption) {
  HandleGuard handle(Open());
  EXPECT_EQ(WriteOption(handle.Get(), "NoEquals"), CAPSTAN_REPLY_BAD_REQUEST);
  EXPECT_EQ(WriteOption(handle.Get(), "=value"), CAPSTAN_REPLY_BAD_REQUEST);
  EXPECT_EQ(WriteOption(handle.Get(), "~OS=V2"), CAPSTAN_REPLY_REFUSED);
  EXPECT_EQ(Sim().Option("~OS"), "");
}

TEST_F(LibraryOverTcp, SendsARequestLongerThanTheCapacityWhole) {
  HandleGuard handle(Open());
  const std::string value(300, 'w');
  EXPECT_EQ(WriteOption(handle.Get(), "Big=" + value), CAPSTAN_REPLY_OK);
  EXPECT_EQ(Sim().Option("Big"), value);
}

TEST_F(LibraryOverTcp, CutsAReplyLongerThanTheCapacity) {
  HandleGuard handle(Open());
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  std::memcpy(buffer, "Long", 5);
  std::uint16_t command = CAPSTAN_CMD_READ_OPTION;
  HALYARD_SENDCMD(handle.Get(), &command, buffer, 16, 5, 300);
  EXPECT_EQ(command, CAPSTAN_REPLY_OK);
  EXPECT_EQ(std::string(buffer, 16), "Long=" + std::string(11, 'v'));
  EXPECT_EQ(std::string(buffer + 16, 48), std::string(48, '#'));
}

TEST_F(LibraryOverTcp, AnswersTheBracketingCommandsAndRefusesUnknownOnes) {
  HandleGuard handle(Open());
  for (const std::uint16_t code : {CAPSTAN_CMD_BEGIN_CONFIG, CAPSTAN_CMD_END_CONFIG,
                                   CAPSTAN_CMD_END_SESSION, CAPSTAN_CMD_RESTART}) {
    EXPECT_EQ(SendBare(handle.Get(), code), CAPSTAN_REPLY_OK) << code;
  }
  EXPECT_EQ(SendBare(handle.Get(), 777), CAPSTAN_REPLY_UNKNOWN_COMMAND);
}

TEST_F(LibraryOverTcp, DeviceRestartsOnceTheClientHasLeft) {
  const std::int32_t handle = Open();
  ASSERT_NE(handle, 0);
  ASSERT_EQ(SendBare(handle, CAPSTAN_CMD_RESTART), CAPSTAN_REPLY_OK);
  EXPECT_EQ(Sim().Restarts(), 0U);
  HALYARD_CLOSE(handle);
  EXPECT_TRUE(Sim().WaitForRestarts(1, milliseconds(2000)));
}

TEST_F(LibraryOverTcp, StoresAScrambledTildeOptionPlain) {
  for (const char* os : {"", "NONE"}) {
    Restart(DeviceWithOptions(os));
    HandleGuard handle(Open());
    EXPECT_EQ(WriteOption(handle.Get(), "~MODEM=C0F0"), CAPSTAN_REPLY_OK);
    EXPECT_EQ(Sim().Option("~MODEM"), "0") << "~OS " << os;
    EXPECT_EQ(WriteOption(handle.Get(), ScrambleOption("~APN=net=work 1", 0x5A)), CAPSTAN_REPLY_OK);
    EXPECT_EQ(Sim().Option("~APN"), "net=work 1");
    EXPECT_EQ(ReadOption(handle.Get(), "~APN").value, "net=work 1");
  }
}

TEST_F(LibraryOverTcp, RefusesAMalformedScrambledValue) {
  HandleGuard handle(Open());
  for (const char* text : {"~MODEM=C0F", "~MODEM=C0G0", "~MODEM=00F0", "~MODEM=0"}) {
    EXPECT_EQ(WriteOption(handle.Get(), text), CAPSTAN_REPLY_BAD_REQUEST) << text;
  }
  EXPECT_FALSE(Sim().Option("~MODEM").has_value());
}

TEST_F(LibraryOverTcp, TakesTildeValuesPlainWhenTheDeviceHasAnOs) {
  Restart(DeviceWithOptions("none"));
  HandleGuard handle(Open());
  EXPECT_EQ(WriteOption(handle.Get(), "~MODEM=C0F0"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(Sim().Option("~MODEM"), "C0F0");
}

TEST_F(LibraryOverTcp, AnswersAnUnknownHandleWithAReplyCode) {
  for (const std::int32_t handle : {0, -1, 9999}) {
    std::uint16_t command = CAPSTAN_CMD_READ_OPTION;
    char buffer[8] = "SSID";
    EXPECT_EQ(HALYARD_SENDCMD(handle, &command, buffer, 8, 5, 300), CAPSTAN_REPLY_UNKNOWN_HANDLE);
    EXPECT_EQ(command, CAPSTAN_REPLY_UNKNOWN_HANDLE);
    EXPECT_EQ(HALYARD_CLOSE(handle), -1);
  }
}

TEST_F(LibraryOverTcp, ForgetsAHandleOnceClosed) {
  const std::int32_t handle = Open();
  ASSERT_NE(handle, 0);
  EXPECT_EQ(HALYARD_CLOSE(handle), 0);
  EXPECT_EQ(HALYARD_CLOSE(handle), -1);
  EXPECT_EQ(SendBare(handle, CAPSTAN_CMD_BEGIN_CONFIG), CAPSTAN_REPLY_UNKNOWN_HANDLE);
}

TEST_F(LibraryOverTcp, RejectsBadArgumentsAndStaysUsable) {
  HandleGuard handle(Open());
  char buffer[16] = "SSID";
  EXPECT_EQ(HALYARD_SENDCMD(handle.Get(), nullptr, buffer, 16, 5, 300), CAPSTAN_REPLY_BAD_ARGUMENT);
  struct Case {
    char* buffer;
    std::int32_t capacity, length, timeout;
  };
  for (const Case& bad :
       {Case{buffer, -1, 5, 300}, Case{buffer, 16, -5, 300}, Case{buffer, 16, 5, -1},
        Case{nullptr, 16, 0, 300}, Case{nullptr, 0, 5, 300}, Case{buffer, 16, 100000, 300}}) {
    std::uint16_t command = CAPSTAN_CMD_READ_OPTION;
    HALYARD_SENDCMD(handle.Get(), &command, bad.buffer, bad.capacity, bad.length, bad.timeout);
    EXPECT_EQ(command, CAPSTAN_REPLY_BAD_ARGUMENT)
        << bad.capacity << " " << bad.length << " " << bad.timeout;
  }
  EXPECT_EQ(Sim().CommandCount(), 0U) << "nothing reached the device";
  EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "office");
}

TEST_F(LibraryOverTcp, InitRefusesBadArgumentsAtOnce) {
  const std::int32_t port = Sim().Port();
  const auto start = Clock::now();
  EXPECT_EQ(HALYARD_INIT(nullptr, "127.0.0.1", port, 0, 0, 0), 0);
  EXPECT_EQ(HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, nullptr, port, 0, 0, 0), 0);
  EXPECT_EQ(HALYARD_INIT("udpwire.dll", "127.0.0.1", port, 0, 0, 0), 0);
  for (const char* address : {"", "localhost", "127.0.0", "256.0.0.1", "127.0.0.1 "}) {
    EXPECT_EQ(HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, address, port, 0, 0, 0), 0) << address;
  }
  for (const std::int32_t badPort : {0, -1, 65536}) {
    EXPECT_EQ(HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, "127.0.0.1", badPort, 0, 0, 0), 0);
  }
  EXPECT_EQ(HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, "127.0.0.1", port, 0, 1, 0), 0);
  EXPECT_EQ(HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, "127.0.0.1", port, 0, 0, 1), 0);
  EXPECT_LT(ElapsedSince(start), kPromptly);
  EXPECT_EQ(Sim().Connections(), 0U);
}

TEST_F(LibraryOverTcp, AcceptsTheTransportNameInAnyLetterCase) {
  HandleGuard handle(HALYARD_INIT("TCPWire.DLL", "127.0.0.1", Sim().Port(), 0, 0, 0));
  EXPECT_NE(handle.Get(), 0);
}

TEST(LibraryInit, FailsAtOnceOnAClosedLoopbackPort) {
  const std::uint16_t port = ClosedLoopbackPort();
  const auto start = Clock::now();
  EXPECT_EQ(OpenTcp(port), 0);
  EXPECT_LT(ElapsedSince(start), kPromptly);
}

// A TCP peer that is not a device: accepts one connection, does `act` with it and closes it.
class FakePeer {
 public:
  explicit FakePeer(std::function<void(devsim::Channel&)> act)
      : listener_(devsim::ListenTcp("127.0.0.1", 0)) {
    thread_ = std::thread([this, act = std::move(act)] {
      if (!wait_.Wait(nullptr, &listener_).clientWaiting) return;
      if (auto peer = listener_.Accept()) act(peer->channel);
    });
  }
  ~FakePeer() {
    // Frees the thread when nobody came.
    wait_.RequestStop();
    thread_.join();
  }
  std::uint16_t Port() const { return listener_.Port(); }

 private:
  devsim::TcpListener listener_;
  devsim::ServiceWait wait_;
  std::thread thread_;
};

TEST(LibraryInit, FailsAtOnceWhenThePeerTalksSomethingElse) {
  FakePeer peer([](devsim::Channel& channel) {
    const std::string_view banner = "HTTP/1.0 400 Bad Request\r\n\r\n";
    channel.WriteAll({reinterpret_cast<const std::uint8_t*>(banner.data()), banner.size()},
                     Clock::now() + kPromptly);
    std::array<std::uint8_t, 256> drain{};
    const auto deadline = Clock::now() + milliseconds(3000);
    while (channel.ReadSome(drain, deadline).status == devsim::IoStatus::kOk) {
    }
  });
  const auto start = Clock::now();
  EXPECT_EQ(OpenTcp(peer.Port()), 0);
  EXPECT_LT(ElapsedSince(start), kPromptly);
}

TEST(LibraryInit, FailsAtOnceWhenThePeerHangsUp) {
  FakePeer peer([](devsim::Channel&) {});
  const auto start = Clock::now();
  EXPECT_EQ(OpenTcp(peer.Port()), 0);
  EXPECT_LT(ElapsedSince(start), kPromptly);
}

TEST(LibraryInit, GivesUpWithinThreeSecondsWhenNothingAnswers) {
  SimulatorConfig config;
  config.faults.silent = true;
  Simulator silent(config);
  silent.Start();
  const auto start = Clock::now();
  EXPECT_EQ(OpenTcp(silent.Port()), 0);
  const milliseconds elapsed = ElapsedSince(start);
  EXPECT_GE(elapsed, milliseconds(1000)) << "a slow device deserves a fair wait";
  EXPECT_LE(elapsed, milliseconds(3000));
}

TEST_F(LibraryOverTcp, RefusesASecondClientAtOnce) {
  HandleGuard first(Open());
  ASSERT_NE(first.Get(), 0);
  const auto start = Clock::now();
  EXPECT_EQ(Open(), 0);
  EXPECT_LT(ElapsedSince(start), kPromptly);
  EXPECT_EQ(ReadOption(first.Get(), "SSID").value, "office") << "the first client keeps going";
}

TEST_F(LibraryOverTcp, TimesOutOnASilentDeviceWithinTheTimeout) {
  HandleGuard handle(Open());
  Sim().SetSilent(true);
  const auto start = Clock::now();
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 250).reply, CAPSTAN_REPLY_TIMEOUT);
  const milliseconds elapsed = ElapsedSince(start);
  EXPECT_GE(elapsed, milliseconds(250));
  EXPECT_LT(elapsed, milliseconds(250) + kSlack);
}

TEST_F(LibraryOverTcp, WaitsForASlowReplyWithinTheTimeout) {
  HandleGuard handle(Open());
  Sim().SetReplyDelay(milliseconds(100));
  const auto start = Clock::now();
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 2000).value, "office");
  EXPECT_GE(ElapsedSince(start), milliseconds(100));
}

TEST_F(LibraryOverTcp, IgnoresALateReplyToAnEarlierCommand) {
  HandleGuard handle(Open());
  Sim().SetReplyDelay(milliseconds(400));
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 150).reply, CAPSTAN_REPLY_TIMEOUT);
  Sim().SetReplyDelay(milliseconds(0));
  // The late "SSID" reply arrives first and must not pass for the answer to "WIFI".
  const ReadResult read = ReadOption(handle.Get(), "WIFI", 2000);
  EXPECT_EQ(read.reply, CAPSTAN_REPLY_OK);
  EXPECT_EQ(read.value, "1");
}

TEST_F(LibraryOverTcp, FailsAtOnceWhenTheConnectionDrops) {
  HandleGuard handle(Open());
  Sim().CloseAfterCommands(1);
  EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "office");
  const auto start = Clock::now();
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 5000).reply, CAPSTAN_REPLY_TRANSPORT_ERROR);
  EXPECT_EQ(SendBare(handle.Get(), CAPSTAN_CMD_END_SESSION, 5000), CAPSTAN_REPLY_TRANSPORT_ERROR);
  EXPECT_LT(ElapsedSince(start), kPromptly);
}

TEST_F(LibraryOverTcp, FailsAtOnceWhenTheDeviceGoesAway) {
  HandleGuard handle(Open());
  ASSERT_NE(handle.Get(), 0);
  simulator_.reset();
  const auto start = Clock::now();
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 5000).reply, CAPSTAN_REPLY_TRANSPORT_ERROR);
  EXPECT_LT(ElapsedSince(start), kPromptly);
}

TEST_F(LibraryOverTcp, ReportsACorruptReplyAtOnceAndRecovers) {
  HandleGuard handle(Open());
  Sim().CorruptReplies(1);
  const auto start = Clock::now();
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 5000).reply, CAPSTAN_REPLY_BAD_FRAME);
  EXPECT_LT(ElapsedSince(start), kPromptly);
  EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "office");
}

TEST_F(LibraryOverTcp, SurvivesConcurrentCallsAndCloses) {
  const std::int32_t handle = Open();
  ASSERT_NE(handle, 0);
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([handle] {
      for (int n = 0; n < 50; ++n) {
        // The callers queue for the one connection; on a busy machine a turn may come late.
        const ReadResult read = ReadOption(handle, "SSID", 5000);
        // Either the answer, or the handle was closed under us.
        if (read.reply == CAPSTAN_REPLY_OK) {
          EXPECT_EQ(read.value, "office");
        } else {
          EXPECT_EQ(read.reply, CAPSTAN_REPLY_UNKNOWN_HANDLE);
        }
      }
    });
  }
  ASSERT_TRUE(Sim().WaitForCommands(20, milliseconds(5000)));
  HALYARD_CLOSE(handle);
  for (auto& caller : callers) caller.join();
}

}  // namespace
}  // namespace quillstone
