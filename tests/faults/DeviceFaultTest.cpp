// Misbehaving devices end to end: the device link through the real communication library
// against the in-process simulator's fault injection. Each action must end as the tool
// promises (the count WriteOptionList returns, the bracket sent, the connection closed) within
// the timeouts of its calls, and the next action must work again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capstan/capstan.h"
#include "devicelink/DeviceApi.h"
#include "devicelink/DeviceConnection.h"
#include "devicelink/OptionExchange.h"
#include "devicelink/PunParam.h"
#include "devicesim/Link.h"
#include "devicesim/Simulator.h"
#include "tests/faults/FaultHarness.h"
#include "tests/support/FakePlatform.h"

namespace quillstone::testing {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Lt;

constexpr std::uint16_t kRead = CAPSTAN_CMD_READ_OPTION;
constexpr std::uint16_t kWrite = CAPSTAN_CMD_WRITE_OPTION;
constexpr std::uint16_t kBegin = CAPSTAN_CMD_BEGIN_CONFIG;
constexpr std::uint16_t kEnd = CAPSTAN_CMD_END_CONFIG;
constexpr std::uint16_t kEndSession = CAPSTAN_CMD_END_SESSION;
constexpr std::uint16_t kOk = CAPSTAN_REPLY_OK;
constexpr std::uint16_t kTimedOut = CAPSTAN_REPLY_TIMEOUT;
constexpr std::uint16_t kLinkLost = CAPSTAN_REPLY_TRANSPORT_ERROR;
constexpr std::uint16_t kUnreadable = CAPSTAN_REPLY_BAD_FRAME;

// Scheduling on a busy two-core machine under the sanitizers: what a call may take beyond its
// own timeout, and what a call that fails at once may take at all.
constexpr milliseconds kLateness{300};
constexpr milliseconds kAtOnce{250};

const OptionList kThreeOptions = {"WIFI=1", "SSID=Office", "AuthMode=OPEN"};

// The elements of `all` from index `first` on, and the last `count` of them.
std::vector<std::uint16_t> From(const std::vector<std::uint16_t>& all, std::size_t first) {
  return {all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()};
}
std::vector<std::uint16_t> Last(const std::vector<std::uint16_t>& all, std::size_t count) {
  return From(all, all.size() - std::min(count, all.size()));
}

devsim::OptionMap StaleValuesFor(const OptionList& options) {
  devsim::OptionMap stale;
  for (const std::string& option : options) stale[option.substr(0, option.find('='))] = "stale";
  return stale;
}

// What one device action did, as the wireless apply runs it: open, begin, the batch, end, close.
struct Action {
  bool opened = false;
  int written = -1;
  milliseconds batch{0};
  milliseconds end{0};
  milliseconds total{0};
};

class DeviceFaultTest : public ::testing::Test {
 protected:
  DeviceFaultTest() : scope_(Services()) { DeviceHandle = 0; }
  ~DeviceFaultTest() override {
    DeviceHandle = 0;
    ScrambleOptions = false;
  }

  devsim::Simulator& StartDevice(devsim::SimulatorConfig config) {
    simulator_.emplace(std::move(config));
    simulator_->Start();
    return *simulator_;
  }
  devsim::Simulator& Device() { return *simulator_; }

  bool Open() {
    if (simulator_->PtyPath().empty()) {
      return OpenNetworkConnection(0, "127.0.0.1", std::to_string(simulator_->Port()));
    }
    return OpenSerialConnection(simulator_->PtyPath(), "1", "115200");
  }

  Action Run(const OptionList& options) {
    Action action;
    const Stopwatch total;
    action.opened = Open();
    if (!action.opened) return action;
    BeginDeviceConfig();
    Stopwatch phase;
    optionIndex_ = 0;
    action.written = WriteOptionList(options);
    action.batch = phase.Elapsed();
    phase.Restart();
    EndDeviceConfig();
    action.end = phase.Elapsed();
    CloseConnection();
    action.total = total.Elapsed();
    return action;
  }

  // The library no longer knows the last connection: the tool has closed it.
  static bool LastConnectionClosed() { return HALYARD_CLOSE(DeviceHandle) == -1; }

  // The device's records: the code of each command and whether it was answered.
  std::vector<std::uint16_t> DeviceCodes() const {
    std::vector<std::uint16_t> codes;
    for (const auto& record : simulator_->Records()) codes.push_back(record.code);
    return codes;
  }
  std::vector<std::string> DeviceWrites() const {
    std::vector<std::string> writes;
    for (const auto& record : simulator_->Records()) {
      if (record.code == kWrite) writes.push_back(record.request);
    }
    return writes;
  }

  // Runs before option `index` (from 0) of the batch is written, where the window would
  // process its messages: the moment to turn a fault on in the middle of a batch.
  std::function<void(std::size_t index)> beforeOption;

  FakeArpCacheFlusher arp;
  FakeProcessTable processes;
  FakeSleeper sleeper;
  RecordingDeviceApi library{CapstanDeviceApi()};

 private:
  LinkServices Services() {
    LinkServices services = CurrentLinkServices();
    services.device = &library;
    services.arp = &arp;
    services.processes = &processes;
    services.sleeper = &sleeper;
    services.processPendingMessages = [this] {
      if (beforeOption) beforeOption(optionIndex_);
      ++optionIndex_;
    };
    return services;
  }

  std::size_t optionIndex_ = 0;
  ScopedLinkServices scope_;
  std::optional<devsim::Simulator> simulator_;
};

devsim::SimulatorConfig StaleDevice(const OptionList& options) {
  devsim::SimulatorConfig config;
  config.osValue = "LINUX";  // values travel plain, so the device's records show them
  config.defaults = StaleValuesFor(options);
  return config;
}

TEST_F(DeviceFaultTest, SilentInTheMiddleOfABatchEveryCallWaitsItsTimeoutThenTheNextActionWorks) {
  devsim::Simulator& device = StartDevice(StaleDevice(kThreeOptions));
  beforeOption = [&](std::size_t index) {
    if (index == 2) device.SetSilent(true);
  };

  const Action action = Run(kThreeOptions);

  ASSERT_TRUE(action.opened);
  EXPECT_EQ(action.written, 2);
  // The last option: read 1000, write 2000, and the same again for the retry; then the three
  // end commands at 1000 each. Nothing waits longer than its own timeout.
  EXPECT_GE(action.batch, 6000ms);
  EXPECT_LT(action.batch, 6000ms + 2 * kLateness);
  EXPECT_GE(action.end, 3000ms);
  EXPECT_LT(action.end, 3000ms + kLateness);
  EXPECT_LT(library.LongestOverrun(), kLateness);
  EXPECT_THAT(library.Codes(),
              ElementsAreArray<std::uint16_t>({kBegin, kRead, kRead, kWrite, kRead, kWrite, kRead,
                                               kWrite, kRead, kWrite, kEnd, kEnd, kEndSession}));
  EXPECT_THAT(From(library.Replies(), 6), Each(kTimedOut));
  EXPECT_THAT(library.closed, ElementsAre(DeviceHandle));
  EXPECT_TRUE(LastConnectionClosed());
  // The device took every command of the last option and the bracket and answered none.
  const auto records = device.Records();
  ASSERT_EQ(records.size(), 13u);
  for (std::size_t i = 6; i < records.size(); ++i) EXPECT_EQ(records[i].reply, 0) << i;

  device.SetSilent(false);
  beforeOption = nullptr;
  library.Clear();
  const Action next = Run(kThreeOptions);
  ASSERT_TRUE(next.opened);
  EXPECT_EQ(next.written, 3);
  EXPECT_LT(next.total, 2000ms);
  EXPECT_THAT(library.Replies(), Each(kOk));
  EXPECT_EQ(device.Connections(), 2u);
}

TEST_F(DeviceFaultTest, ConnectionDroppedAfterSixCommandsFailsTheRestAtOnceThenTheNextActionWorks) {
  const OptionList options = {"WIFI=1", "SSID=Office", "AuthMode=OPEN", "EncrypType=NONE"};
  devsim::Simulator& device = StartDevice(StaleDevice(options));
  // The begin, the probe and the first two options (a read and a write each) are answered,
  // then the device hangs up.
  device.CloseAfterCommands(6);

  const Action action = Run(options);

  ASSERT_TRUE(action.opened);
  EXPECT_EQ(action.written, 2);
  EXPECT_THAT(DeviceCodes(), ElementsAre(kBegin, kRead, kRead, kWrite, kRead, kWrite));
  // Both attempts of the last two options and the whole bracket were still tried, and each
  // failed at once instead of waiting for its timeout.
  EXPECT_THAT(library.Codes(),
              ElementsAreArray<std::uint16_t>({kBegin, kRead, kRead, kWrite, kRead, kWrite, kRead,
                                               kWrite, kRead, kWrite, kRead, kWrite, kRead, kWrite,
                                               kEnd, kEnd, kEndSession}));
  EXPECT_THAT(From(library.Replies(), 6), Each(kLinkLost));
  for (std::size_t i = 6; i < library.commands.size(); ++i) {
    EXPECT_LT(library.commands[i].took, kAtOnce) << "command " << i;
  }
  EXPECT_LT(action.total, 1500ms);
  EXPECT_TRUE(LastConnectionClosed());
  EXPECT_EQ(device.Option("SSID"), "Office");
  EXPECT_EQ(device.Option("AuthMode"), "stale");

  const Action next = Run(options);
  ASSERT_TRUE(next.opened);
  EXPECT_EQ(next.written, 4);
  EXPECT_EQ(device.Option("EncrypType"), "NONE");
}

TEST_F(DeviceFaultTest, CorruptAnswersAreNotTrustedAndTheRetryFindsTheValueTaken) {
  devsim::Simulator& device = StartDevice(StaleDevice(kThreeOptions));
  // The read and the write of the second option are answered with a broken checksum. The
  // write did land; the retry's read finds the value there and sends no second write.
  beforeOption = [&](std::size_t index) {
    if (index == 1) device.CorruptReplies(2);
  };

  const Action action = Run(kThreeOptions);

  ASSERT_TRUE(action.opened);
  EXPECT_EQ(action.written, 3);
  EXPECT_THAT(DeviceWrites(), ElementsAreArray(kThreeOptions));
  // The second option's read and write are unreadable; the retry's read is fine.
  EXPECT_THAT(library.Codes(),
              ElementsAreArray<std::uint16_t>({kBegin, kRead, kRead, kWrite, kRead, kWrite, kRead,
                                               kRead, kWrite, kEnd, kEnd, kEndSession}));
  EXPECT_THAT(library.Replies(),
              ElementsAreArray<std::uint16_t>(
                  {kOk, kOk, kOk, kOk, kUnreadable, kUnreadable, kOk, kOk, kOk, kOk, kOk, kOk}));
  EXPECT_LT(action.total, 1500ms) << "an unreadable answer on TCP fails at once";
  EXPECT_TRUE(LastConnectionClosed());
}

TEST_F(DeviceFaultTest, OptionWhoseAnswersAreAllCorruptCountsAsFailedThenTheNextActionWorks) {
  devsim::Simulator& device = StartDevice(StaleDevice(kThreeOptions));
  beforeOption = [&](std::size_t index) {
    if (index == 1) device.CorruptReplies(4);  // both reads and both writes of "SSID"
  };

  const Action action = Run(kThreeOptions);

  ASSERT_TRUE(action.opened);
  EXPECT_EQ(action.written, 2);
  EXPECT_THAT(DeviceWrites(), ElementsAre("WIFI=1", "SSID=Office", "SSID=Office", "AuthMode=OPEN"));
  EXPECT_THAT(Last(library.Replies(), 3), Each(kOk)) << "the bracket is answered again";
  EXPECT_LT(action.total, 1500ms);
  EXPECT_TRUE(LastConnectionClosed());

  beforeOption = nullptr;
  const Action next = Run(kThreeOptions);
  ASSERT_TRUE(next.opened);
  EXPECT_EQ(next.written, 3);
}

TEST_F(DeviceFaultTest, CorruptAnswerOnASerialLineIsWaitedOutThenTheWriteGoesAhead) {
  if (!devsim::PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
  devsim::SimulatorConfig config = StaleDevice({"SSID=Office"});
  config.link = devsim::LinkKind::kPty;
  devsim::Simulator& device = StartDevice(config);
  beforeOption = [&](std::size_t) { device.CorruptReplies(1); };  // the option's read

  const Action action = Run({"SSID=Office"});

  ASSERT_TRUE(action.opened);
  EXPECT_EQ(action.written, 1);
  // A line may carry noise, so a better answer could still come: the read waits its full
  // 1000 ms, reports the frame as unreadable and the write follows.
  EXPECT_THAT(library.Codes(), ElementsAre(kBegin, kRead, kRead, kWrite, kEnd, kEnd, kEndSession));
  EXPECT_EQ(library.commands[2].reply, kUnreadable);
  EXPECT_GE(library.commands[2].took, 1000ms);
  EXPECT_LT(library.LongestOverrun(), kLateness);
  EXPECT_EQ(device.Option("SSID"), "Office");
  EXPECT_TRUE(LastConnectionClosed());
}

TEST_F(DeviceFaultTest, OptionRefusedTwiceIsCountedTheBatchGoesOnAndTheNextActionWritesIt) {
  devsim::Simulator& device = StartDevice(StaleDevice(kThreeOptions));
  device.RefuseOption("SSID", 2);

  const Action action = Run(kThreeOptions);

  ASSERT_TRUE(action.opened);
  EXPECT_EQ(action.written, 2);
  EXPECT_THAT(DeviceWrites(), ElementsAre("WIFI=1", "SSID=Office", "SSID=Office", "AuthMode=OPEN"));
  EXPECT_THAT(sleeper.pauses, ElementsAre(100, 100, 100));
  EXPECT_THAT(Last(DeviceCodes(), 3), ElementsAre(kEnd, kEnd, kEndSession));
  EXPECT_LT(action.total, 1500ms);
  EXPECT_TRUE(LastConnectionClosed());

  const Action next = Run(kThreeOptions);
  ASSERT_TRUE(next.opened);
  EXPECT_EQ(next.written, 3);
  EXPECT_EQ(device.Option("SSID"), "Office");
}

TEST_F(DeviceFaultTest, EveryReplyDelayedCloseToTheReadTimeoutIsStillTaken) {
  // 800 ms: within the 1000 ms of a read and of each end command, the closest a reply comes to
  // a timeout the tool uses.
  constexpr milliseconds kDelay{800};
  devsim::SimulatorConfig config = StaleDevice({"SSID=Office"});
  config.faults.replyDelay = kDelay;
  devsim::Simulator& device = StartDevice(config);

  const Action action = Run({"SSID=Office"});

  ASSERT_TRUE(action.opened) << "the hello is delayed too, within the opening's budget";
  EXPECT_EQ(action.written, 1);
  EXPECT_THAT(library.Codes(), ElementsAre(kBegin, kRead, kRead, kWrite, kEnd, kEnd, kEndSession));
  EXPECT_THAT(library.Replies(), Each(kOk)) << "no call gave up on its reply";
  for (const auto& command : library.commands) {
    EXPECT_GE(command.took, kDelay);
    EXPECT_LT(command.took, milliseconds(command.timeoutMs));
  }
  // The hello, begin, probe, read, write and three end commands, one delay each.
  EXPECT_LT(action.total, 8 * kDelay + 2 * kLateness);
  EXPECT_EQ(device.Option("SSID"), "Office");
  EXPECT_TRUE(LastConnectionClosed());

  device.SetReplyDelay(0ms);
  const Action next = Run({"SSID=Open"});
  ASSERT_TRUE(next.opened);
  EXPECT_EQ(next.written, 1);
  EXPECT_LT(next.total, 1500ms);
}

TEST_F(DeviceFaultTest, SlowDeviceGetsItsEmptyKeyWrittenWhenTheReadsTimeOut) {
  // 1200 ms: every read (1000 ms) times out, every write (2000 ms) is answered. A WEP apply
  // clears the key: the timed-out read is no answer, so the clearing write must go out.
  devsim::SimulatorConfig config;
  config.osValue = "LINUX";
  config.defaults = {{"Key1Str", "OLDKEY1234"}};
  config.faults.replyDelay = 1200ms;
  devsim::Simulator& device = StartDevice(config);

  const Action action = Run({"Key1Str="});

  ASSERT_TRUE(action.opened);
  EXPECT_THAT(DeviceWrites(), ElementsAre("Key1Str="));
  EXPECT_EQ(device.Option("Key1Str"), "");
  EXPECT_EQ(action.written, 1) << "counted by the write's own acknowledgement";
  EXPECT_TRUE(LastConnectionClosed());
}

TEST_F(DeviceFaultTest, AnswerArrivingAfterItsTimeoutIsNotTakenForTheNextOne) {
  devsim::SimulatorConfig config;
  config.osValue = "LINUX";
  config.defaults = {{"SSID", "Office"}, {"AuthMode", "OPEN"}};
  config.faults.replyDelay = 1200ms;
  devsim::Simulator& device = StartDevice(config);
  ASSERT_TRUE(Open());

  EXPECT_EQ(ReadOption(DeviceHandle, "SSID"), "") << "its answer comes 200 ms too late";
  // The late answer arrives while the next read waits; it names the earlier request, so it is
  // dropped and the right answer taken.
  device.SetReplyDelay(0ms);
  EXPECT_EQ(ReadOption(DeviceHandle, "AuthMode"), "OPEN");
  EXPECT_THAT(library.Replies(), ElementsAre(kTimedOut, kOk));
  EXPECT_THAT(library.commands.back().took, Lt(1000ms));
  CloseConnection();
  EXPECT_TRUE(LastConnectionClosed());
}

}  // namespace
}  // namespace quillstone::testing
