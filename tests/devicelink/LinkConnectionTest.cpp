// A connection object of its own, as the command-line tool keeps one per device: it leaves the
// window's process-wide connection state alone and counts what its batch did.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "devicelink/LinkConnection.h"
#include "tests/devicelink/FakeLink.h"

namespace quillstone {
namespace {

using quillstone::testing::Acknowledged;
using quillstone::testing::DeviceLinkTest;
using quillstone::testing::NoAnswer;
using quillstone::testing::Refused;
using quillstone::testing::ValueOf;
using ::testing::ElementsAre;

using LinkConnectionTest = DeviceLinkTest;

TEST_F(LinkConnectionTest, OwnStateAndABatchOutcomeWithSkipsRetriesAndFailures) {
  LinkConnection link(CurrentLinkServices());
  device.initResult = 0x77;
  keys = {5, 6};  // the scrambled option is sent twice
  ASSERT_TRUE(link.OpenNetwork("127.0.0.1", 4370));
  device.Script({ValueOf("~OS", "NONE"),                             // probe: scramble
                 ValueOf("SSID", "Office"),                          // equal: skipped
                 NoAnswer(), Refused(), NoAnswer(), Acknowledged(),  // retried, then taken
                 NoAnswer(), Refused(), NoAnswer(), Refused()});     // refused twice
  const BatchOutcome outcome = link.WriteOptionList({"SSID=Office", "~MODEM=1", "wifidhcp=1"});

  EXPECT_EQ(outcome.written, 2);
  EXPECT_EQ(outcome.alreadyEqual, 1);
  EXPECT_EQ(outcome.retries, 2);
  EXPECT_EQ(outcome.failed, 1);
  EXPECT_TRUE(link.ScramblesOptions());
  EXPECT_EQ(link.Handle(), 0x77);
  EXPECT_EQ(link.LastReply(), CAPSTAN_REPLY_REFUSED);
  for (const auto& call : device.calls) EXPECT_EQ(call.handle, 0x77);
  EXPECT_THAT(sleeper.pauses, ElementsAre(100, 100, 100));
  // No housekeeping in the object's opening, and the window's state untouched.
  EXPECT_TRUE(arp.owners.empty());
  EXPECT_EQ(DeviceHandle, 0);
  EXPECT_EQ(CommandWord, 0);
  EXPECT_FALSE(ScrambleOptions);
}

}  // namespace
}  // namespace quillstone
