#include "devicelink/DeviceConnection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/AppError.h"
#include "tests/devicelink/FakeLink.h"

namespace quillstone {
namespace {

using quillstone::testing::DeviceCall;
using quillstone::testing::DeviceLinkTest;
using quillstone::testing::EventLog;
using quillstone::testing::NoAnswer;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Runs `action` and returns the text of the AppError it throws ("" when none).
template <typename Action>
std::string ErrorText(Action action) {
  try {
    action();
  } catch (const AppError& error) {
    return error.what();
  }
  return {};
}

std::string NotAnInteger(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

// ---- Conversions ----

TEST(ToWholeNumberTest, AcceptsOptionalSignAndDecimalDigitsWithin32Bits) {
  EXPECT_EQ(ToWholeNumber("0"), 0);
  EXPECT_EQ(ToWholeNumber("4370"), 4370);
  EXPECT_EQ(ToWholeNumber("-5"), -5);
  EXPECT_EQ(ToWholeNumber("+7"), 7);
  EXPECT_EQ(ToWholeNumber("-0"), 0);
  EXPECT_EQ(ToWholeNumber("007"), 7);
  EXPECT_EQ(ToWholeNumber("2147483647"), 2147483647);
  EXPECT_EQ(ToWholeNumber("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ToWholeNumber("0000000000000000000000065535"), 65535);
}

TEST(ToWholeNumberTest, RejectsEverythingElseWithTheConversionError) {
  for (const std::string text :
       {"", " 1", "1 ", "1.0", "0x10", "$10", "+", "-", "--1", "+-1", "1-", "2147483648",
        "-2147483649", "99999999999999999999", "1e3", "12a", "\xD9\xA1", " "}) {
    EXPECT_EQ(ErrorText([&] { ToWholeNumber(text); }), NotAnInteger(text)) << text;
  }
}

TEST(ToPortNumberTest, LimitsToZeroThrough65535) {
  EXPECT_EQ(ToPortNumber("0"), 0);
  EXPECT_EQ(ToPortNumber("65535"), 65535);
  EXPECT_EQ(ErrorText([] { ToPortNumber("65536"); }), "Range check error");
  EXPECT_EQ(ErrorText([] { ToPortNumber("-1"); }), "Range check error");
  EXPECT_EQ(ErrorText([] { ToPortNumber("2147483647"); }), "Range check error");
  // A text that is no whole number is a conversion error, not a range error.
  EXPECT_EQ(ErrorText([] { ToPortNumber("4294967296"); }), NotAnInteger("4294967296"));
  EXPECT_EQ(ErrorText([] { ToPortNumber(""); }), NotAnInteger(""));
}

// ---- Opening ----

using OpenNetworkConnectionTest = DeviceLinkTest;

TEST_F(OpenNetworkConnectionTest, FlushesTheArpCacheThenOpensOverTcp) {
  device.initResult = 77;
  EXPECT_TRUE(OpenNetworkConnection(WindowId{0xBEEF}, "192.168.1.201", "65535"));
  EXPECT_THAT(log, ElementsAre("arp", "init"));
  EXPECT_THAT(arp.owners, ElementsAre(WindowId{0xBEEF}));
  ASSERT_EQ(device.inits.size(), 1u);
  EXPECT_EQ(device.inits[0].transport, "tcpwire.dll");
  EXPECT_EQ(device.inits[0].address, "192.168.1.201");
  EXPECT_EQ(device.inits[0].portOrId, 65535);
  EXPECT_EQ(device.inits[0].baud, 0);
  EXPECT_EQ(DeviceHandle, 77);
  EXPECT_THAT(device.calls, IsEmpty());
}

TEST_F(OpenNetworkConnectionTest, PassesTheAddressUnchanged) {
  EXPECT_TRUE(OpenNetworkConnection(0, " 10.0.0.1 ", "0"));
  ASSERT_EQ(device.inits.size(), 1u);
  EXPECT_EQ(device.inits[0].address, " 10.0.0.1 ");
  EXPECT_EQ(device.inits[0].portOrId, 0);
}

TEST_F(OpenNetworkConnectionTest, BadPortStopsAfterTheFlushAndBeforeTheLibrary) {
  DeviceHandle = 9;
  EXPECT_EQ(ErrorText([] { OpenNetworkConnection(0, "127.0.0.1", "65536"); }), "Range check error");
  EXPECT_EQ(ErrorText([] { OpenNetworkConnection(0, "127.0.0.1", "-1"); }), "Range check error");
  EXPECT_EQ(ErrorText([] { OpenNetworkConnection(0, "127.0.0.1", ""); }), NotAnInteger(""));
  EXPECT_EQ(ErrorText([] { OpenNetworkConnection(0, "127.0.0.1", "43 70"); }),
            NotAnInteger("43 70"));
  EXPECT_THAT(log, ElementsAre("arp", "arp", "arp", "arp"));
  EXPECT_THAT(device.inits, IsEmpty());
  EXPECT_EQ(DeviceHandle, 9);
}

TEST_F(OpenNetworkConnectionTest, FailedOpeningLeavesTheHandleZero) {
  DeviceHandle = 42;  // left over from an earlier connection
  device.initResult = 0;
  EXPECT_FALSE(OpenNetworkConnection(0, "127.0.0.1", "1"));
  EXPECT_EQ(DeviceHandle, 0);
  EXPECT_THAT(device.calls, IsEmpty());
}

using OpenSerialConnectionTest = DeviceLinkTest;

TEST_F(OpenSerialConnectionTest, EndsTheSerialWatcherThenOpensOverSerial) {
  processes.processes = {{31, "serwatch.dll"}, {32, "explorer.exe"}};
  device.initResult = 5;
  EXPECT_TRUE(OpenSerialConnection("COM 1", "65535", "-5"));
  EXPECT_THAT(log, ElementsAre("snapshot", "terminate 31", "init"));
  ASSERT_EQ(device.inits.size(), 1u);
  EXPECT_EQ(device.inits[0].transport, "serwire.dll");
  EXPECT_EQ(device.inits[0].address, "COM 1");
  EXPECT_EQ(device.inits[0].portOrId, 65535);
  EXPECT_EQ(device.inits[0].baud, -5);
  EXPECT_EQ(DeviceHandle, 5);
}

TEST_F(OpenSerialConnectionTest, BaudHasNoRangeLimit) {
  EXPECT_TRUE(OpenSerialConnection("COM1", "1", "2147483647"));
  EXPECT_TRUE(OpenSerialConnection("COM1", "1", "-2147483648"));
  ASSERT_EQ(device.inits.size(), 2u);
  EXPECT_EQ(device.inits[0].baud, 2147483647);
  EXPECT_EQ(device.inits[1].baud, -2147483647 - 1);
}

TEST_F(OpenSerialConnectionTest, ConvertsTheBaudBeforeTheDeviceNumber) {
  EXPECT_EQ(ErrorText([] { OpenSerialConnection("COM1", "x", "9600 baud"); }),
            NotAnInteger("9600 baud"));
  EXPECT_EQ(ErrorText([] { OpenSerialConnection("COM1", "70000", "fast"); }), NotAnInteger("fast"));
  EXPECT_EQ(ErrorText([] { OpenSerialConnection("COM1", "70000", "57600"); }), "Range check error");
  EXPECT_EQ(ErrorText([] { OpenSerialConnection("COM1", "-1", "57600"); }), "Range check error");
  EXPECT_EQ(ErrorText([] { OpenSerialConnection("COM1", "one", "57600"); }), NotAnInteger("one"));
  EXPECT_EQ(ErrorText([] { OpenSerialConnection("COM1", "1", "2147483648"); }),
            NotAnInteger("2147483648"));
  // The housekeeping ran every time; the library never.
  EXPECT_EQ(std::count(log.begin(), log.end(), "snapshot"), 6);
  EXPECT_THAT(device.inits, IsEmpty());
}

TEST_F(OpenSerialConnectionTest, FailedOpeningLeavesTheHandleZero) {
  DeviceHandle = 42;
  device.initResult = 0;
  EXPECT_FALSE(OpenSerialConnection("COM1", "1", "57600"));
  EXPECT_EQ(DeviceHandle, 0);
}

// ---- Commands around a configuration ----

using ConfigCommandsTest = DeviceLinkTest;

void ExpectBareCommand(const DeviceCall& call, std::uint16_t code, std::int32_t timeoutMs) {
  EXPECT_EQ(call.code, code);
  EXPECT_TRUE(call.nullBuffer);
  EXPECT_EQ(call.capacity, 0);
  EXPECT_EQ(call.length, 0);
  EXPECT_EQ(call.timeoutMs, timeoutMs);
  EXPECT_EQ(call.handle, 0x2A);
}

TEST_F(ConfigCommandsTest, BeginSends1003) {
  DeviceHandle = 0x2A;
  BeginDeviceConfig();
  ASSERT_EQ(device.calls.size(), 1u);
  ExpectBareCommand(device.calls[0], 1003, 2000);
}

TEST_F(ConfigCommandsTest, EndSendsAllThreeCommandsWhenNoneIsAnswered) {
  DeviceHandle = 0x2A;
  device.Script({NoAnswer(), NoAnswer(), NoAnswer()});
  EndDeviceConfig();
  ASSERT_EQ(device.calls.size(), 3u);
  ExpectBareCommand(device.calls[0], 1002, 1000);
  ExpectBareCommand(device.calls[1], 1002, 1000);
  ExpectBareCommand(device.calls[2], 1014, 1000);
}

TEST_F(ConfigCommandsTest, RestartSends1004) {
  DeviceHandle = 0x2A;
  RestartDevice();
  ASSERT_EQ(device.calls.size(), 1u);
  ExpectBareCommand(device.calls[0], 1004, 1000);
}

TEST_F(ConfigCommandsTest, CloseClosesTheCurrentHandleAndKeepsIt) {
  DeviceHandle = 0x2A;
  CloseConnection();
  EXPECT_THAT(device.closes, ElementsAre(0x2A));
  EXPECT_EQ(DeviceHandle, 0x2A);
}

TEST_F(ConfigCommandsTest, TheReplyCodeLandsInTheCommandWord) {
  device.Script({{2001, {}}});
  BeginDeviceConfig();
  EXPECT_EQ(CommandWord, 2001);
}

// ---- Housekeeping ----

using KillProcessByNameTest = DeviceLinkTest;

TEST_F(KillProcessByNameTest, EndsEveryMatchIgnoringAsciiCase) {
  processes.processes = {
      {1, "C:\\Tools\\SERWATCH.DLL"},
      {2, "/opt/watch/serwatch.dll"},
      {3, "serwatch.dll"},
      {4, "serwatch.dll.exe"},
      {5, "notserwatch.dll"},
      {6, "SerWatch.Dll"},
      {7, "serwatch.dll\\"},
      {8, ""},
  };
  EXPECT_TRUE(KillProcessByName("serwatch.dll"));
  EXPECT_THAT(processes.terminated, ElementsAre(1, 2, 3, 6));
}

TEST_F(KillProcessByNameTest, AWholeExecutablePathAlsoMatches) {
  processes.processes = {{1, "C:\\Tools\\serwatch.dll"}, {2, "D:\\Tools\\serwatch.dll"}};
  EXPECT_TRUE(KillProcessByName("c:\\tools\\SERWATCH.dll"));
  EXPECT_THAT(processes.terminated, ElementsAre(1));
}

TEST_F(KillProcessByNameTest, ReportsTheLastTerminationAttempted) {
  processes.processes = {{1, "serwatch.dll"}, {2, "serwatch.dll"}, {3, "other"}};
  processes.terminateResults = {{2, false}};
  EXPECT_FALSE(KillProcessByName("serwatch.dll"));
  EXPECT_THAT(processes.terminated, ElementsAre(1, 2));

  processes.terminated.clear();
  processes.terminateResults = {{1, false}};
  EXPECT_TRUE(KillProcessByName("serwatch.dll"));
  EXPECT_THAT(processes.terminated, ElementsAre(1, 2));
}

TEST_F(KillProcessByNameTest, NothingMatchingIsFalse) {
  processes.processes = {{1, "serwatch"}, {2, "watch.dll"}};
  EXPECT_FALSE(KillProcessByName("serwatch.dll"));
  EXPECT_THAT(processes.terminated, IsEmpty());
}

}  // namespace
}  // namespace quillstone
