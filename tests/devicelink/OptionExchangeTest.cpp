#include "devicelink/OptionExchange.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/devicelink/FakeLink.h"

namespace quillstone {
namespace {

using quillstone::testing::Acknowledged;
using quillstone::testing::DeviceCall;
using quillstone::testing::DeviceLinkTest;
using quillstone::testing::DeviceReply;
using quillstone::testing::NoAnswer;
using quillstone::testing::Refused;
using quillstone::testing::ValueOf;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::int32_t kHandle = 0x77;

std::string WithZero(const std::string& text) {
  return text + '\0';
}

bool AllZero(const std::string& bytes) {
  return bytes.find_first_not_of('\0') == std::string::npos;
}

// Recovers a scrambled value the way the receiving side does: value byte i is digit pair i
// exclusive-or digit pair i - 1, pair 0 being the key.
std::string Unscramble(const std::string& digits) {
  std::string value;
  int previous = std::stoi(digits.substr(0, 2), nullptr, 16);
  for (std::size_t i = 2; i + 1 < digits.size(); i += 2) {
    const int current = std::stoi(digits.substr(i, 2), nullptr, 16);
    value += static_cast<char>(current ^ previous);
    previous = current;
  }
  return value;
}

void ExpectReadRequest(const DeviceCall& call, const std::string& name) {
  EXPECT_EQ(call.code, 11);
  EXPECT_EQ(call.capacity, 200);
  EXPECT_EQ(call.length, static_cast<std::int32_t>(name.size() + 1));
  EXPECT_EQ(call.timeoutMs, 1000);
  ASSERT_EQ(call.bufferBefore.size(), 200u);
  EXPECT_EQ(call.bufferBefore.substr(0, name.size()), name);
  EXPECT_TRUE(AllZero(call.bufferBefore.substr(name.size())));
}

void ExpectWriteRequest(const DeviceCall& call, const std::string& text) {
  EXPECT_EQ(call.code, 12);
  EXPECT_EQ(call.capacity, 100);
  EXPECT_EQ(call.length, static_cast<std::int32_t>(text.size() + 1));
  EXPECT_EQ(call.timeoutMs, 2000);
  EXPECT_EQ(call.request, WithZero(text));
  // Zero bytes after the text up to the capacity stated.
  EXPECT_TRUE(AllZero(call.bufferBefore.substr(text.size())));
}

// ---- Reading ----

using ReadOptionTest = DeviceLinkTest;

TEST_F(ReadOptionTest, SendsTheNameInAZeroFilledBufferAndReturnsTheValue) {
  device.Script({ValueOf("SSID", "office net")});
  EXPECT_EQ(ReadOption(kHandle, "SSID"), "office net");
  ASSERT_EQ(device.calls.size(), 1u);
  EXPECT_EQ(device.calls[0].handle, kHandle);
  ExpectReadRequest(device.calls[0], "SSID");
}

TEST_F(ReadOptionTest, ValueStartsOneByteAfterTheNameWhateverThatByteIs) {
  device.Script({{2000, "SSID:abc"}});
  EXPECT_EQ(ReadOption(kHandle, "SSID"), "abc");
}

TEST_F(ReadOptionTest, ValueEndsAtTheFirstZeroByte) {
  device.Script({{2000, std::string("SSID=ab\0cd", 10)}});
  EXPECT_EQ(ReadOption(kHandle, "SSID"), "ab");
}

TEST_F(ReadOptionTest, ValueWithoutZeroRunsToTheEndOfTheBuffer) {
  device.Script({{2000, "N=" + std::string(300, 'v')}});
  EXPECT_EQ(ReadOption(kHandle, "N"), std::string(198, 'v'));
}

TEST_F(ReadOptionTest, UnacknowledgedReadIsEmpty) {
  device.Script({{2002, "SSID=stale"}, {4001, "SSID=stale"}, ValueOf("SSID", "")});
  EXPECT_EQ(ReadOption(kHandle, "SSID"), "");
  EXPECT_EQ(ReadOption(kHandle, "SSID"), "");
  EXPECT_EQ(ReadOption(kHandle, "SSID"), "");
  EXPECT_EQ(CommandWord, 2000);
}

TEST_F(ReadOptionTest, NamesUpTo198BytesAreRead) {
  const std::string longest(198, 'n');
  device.Script({{2000, longest + "=x"}});
  EXPECT_EQ(ReadOption(kHandle, longest), "x");
  ASSERT_EQ(device.calls.size(), 1u);
  ExpectReadRequest(device.calls[0], longest);
}

TEST_F(ReadOptionTest, LongerNameIsNotSent) {
  EXPECT_EQ(ReadOption(kHandle, std::string(199, 'n')), "");
  EXPECT_THAT(device.calls, IsEmpty());
}

// ---- Writing ----

using WriteOptionTest = DeviceLinkTest;

TEST_F(WriteOptionTest, EqualValueIsNotWritten) {
  device.Script({ValueOf("AuthMode", "OPEN")});
  EXPECT_TRUE(WriteOption(kHandle, "AuthMode=OPEN", false));
  EXPECT_THAT(device.Codes(), ElementsAre(11));
  ExpectReadRequest(device.calls[0], "AuthMode");
}

TEST_F(WriteOptionTest, ComparisonIsExactIncludingCase) {
  device.Script({ValueOf("AuthMode", "open"), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "AuthMode=OPEN", false));
  EXPECT_THAT(device.Codes(), ElementsAre(11, 12));
}

TEST_F(WriteOptionTest, DifferentValueIsWrittenPlain) {
  device.Script({ValueOf("SSID", "old"), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "SSID=new", true));
  ASSERT_EQ(device.calls.size(), 2u);
  EXPECT_EQ(device.calls[1].handle, kHandle);
  ExpectWriteRequest(device.calls[1], "SSID=new");
  EXPECT_EQ(keysDrawn, 0);
}

TEST_F(WriteOptionTest, RefusedWriteIsFalse) {
  device.Script({NoAnswer(), Refused()});
  EXPECT_FALSE(WriteOption(kHandle, "SSID=new", false));
  EXPECT_EQ(CommandWord, 2001);
}

struct EmptyValueCase {
  const char* name;
  DeviceReply read;
  bool writeSent;
};

void PrintTo(const EmptyValueCase& emptyCase, std::ostream* out) {
  *out << emptyCase.name;
}

class EmptyValueTest : public DeviceLinkTest,
                       public ::testing::WithParamInterface<EmptyValueCase> {};

// Only the device's own answer (an empty value, or no such option) says it holds nothing; a read
// that got no answer or lost the connection says nothing, so the write goes out.
TEST_P(EmptyValueTest, CountsAsHeldOnlyOnTheDevicesAnswer) {
  device.Script({GetParam().read, Refused()});
  const bool held = WriteOption(kHandle, "Key1Str=", false);
  if (GetParam().writeSent) {
    EXPECT_FALSE(held) << "the write's own refusal decides";
    EXPECT_THAT(device.Codes(), ElementsAre(11, 12));
  } else {
    EXPECT_TRUE(held);
    EXPECT_THAT(device.Codes(), ElementsAre(11));
  }
}

INSTANTIATE_TEST_SUITE_P(
    ReadOutcomes, EmptyValueTest,
    ::testing::Values(EmptyValueCase{"EmptyValue", ValueOf("Key1Str", ""), false},
                      EmptyValueCase{"NotFound", {CAPSTAN_REPLY_NOT_FOUND, {}}, false},
                      EmptyValueCase{"Refused", Refused(), false},
                      EmptyValueCase{"NoAnswer", NoAnswer(), true},
                      EmptyValueCase{"ConnectionLost", {CAPSTAN_REPLY_TRANSPORT_ERROR, {}}, true},
                      EmptyValueCase{"Unreadable", {CAPSTAN_REPLY_BAD_FRAME, {}}, true}),
    [](const ::testing::TestParamInfo<EmptyValueCase>& read) { return read.param.name; });

TEST_F(WriteOptionTest, EmptyValueAfterATimedOutReadIsWrittenAndTheWriteDecides) {
  device.Script({NoAnswer(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "SSID=", false));
  ASSERT_EQ(device.calls.size(), 2u);
  ExpectWriteRequest(device.calls[1], "SSID=");
}

TEST_F(WriteOptionTest, EmptyValueOverADeviceValueIsWritten) {
  device.Script({ValueOf("SSID", "x"), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "SSID=", false));
  ASSERT_EQ(device.calls.size(), 2u);
  ExpectWriteRequest(device.calls[1], "SSID=");
}

TEST_F(WriteOptionTest, TextWithoutANameIsWrittenWithoutARead) {
  device.Script({Acknowledged(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "REBOOT", false));
  EXPECT_TRUE(WriteOption(kHandle, "=abc", false));
  ASSERT_EQ(device.calls.size(), 2u);
  ExpectWriteRequest(device.calls[0], "REBOOT");
  ExpectWriteRequest(device.calls[1], "=abc");
}

TEST_F(WriteOptionTest, OnlyTheFirstEqualsSignSplits) {
  device.Script({ValueOf("Key", "a=b")});
  EXPECT_TRUE(WriteOption(kHandle, "Key=a=b", false));
  device.Script({ValueOf("Key", "a"), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "Key=a=b", false));
  ASSERT_EQ(device.calls.size(), 3u);
  ExpectReadRequest(device.calls[0], "Key");
  ExpectReadRequest(device.calls[1], "Key");
  ExpectWriteRequest(device.calls[2], "Key=a=b");
}

TEST_F(WriteOptionTest, PlainTextLongerThanTheCapacityIsSentWhole) {
  const std::string text(150, 'x');
  device.Script({Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, text, false));
  ASSERT_EQ(device.calls.size(), 1u);
  ExpectWriteRequest(device.calls[0], text);
}

TEST_F(WriteOptionTest, OverlongNameFailsWithoutAnythingSent) {
  EXPECT_FALSE(WriteOption(kHandle, std::string(199, 'n') + "=v", false));
  EXPECT_FALSE(WriteOption(kHandle, "~" + std::string(198, 'n') + "=v", true));
  EXPECT_THAT(device.calls, IsEmpty());
}

// ---- Scrambling ----

TEST(ScrambleOptionTextTest, WorkedExamples) {
  EXPECT_EQ(ScrambleOptionText("~MODEM=0", 0xC0), "~MODEM=C0F0");
  EXPECT_EQ(ScrambleOptionText("~AuthServer=1", 0xC0), "~AuthServer=C0F1");
}

TEST(ScrambleOptionTextTest, ChainsEveryValueByteWithUpperCaseDigits) {
  const std::string scrambled = ScrambleOptionText("~K=12", 0xAB);
  EXPECT_EQ(scrambled.substr(0, 5), "~K=AB");
  EXPECT_EQ(scrambled.size(), 3 + 2 + 2 * 2u);
  EXPECT_EQ(scrambled.find_first_not_of("~K=0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(Unscramble(scrambled.substr(3)), "12");
}

TEST(ScrambleOptionTextTest, LaterEqualsSignsAreScrambledLikeAnyByte) {
  const std::string scrambled = ScrambleOptionText("~Pass=a=b", 0x01);
  EXPECT_EQ(scrambled.substr(0, 8), "~Pass=01");
  EXPECT_EQ(scrambled.find('=', 6), std::string::npos);
  EXPECT_EQ(Unscramble(scrambled.substr(6)), "a=b");
}

TEST(ScrambleOptionTextTest, HighBytesAndEmptyValues) {
  EXPECT_EQ(Unscramble(ScrambleOptionText("~N=\xFF\x80\x01", 0xFE).substr(3)), "\xFF\x80\x01");
  EXPECT_EQ(ScrambleOptionText("~N=", 0x3C), "~N=3C");
}

TEST(ScrambleOptionTextTest, TextWithoutEqualsSignIsCopiedWhole) {
  EXPECT_EQ(ScrambleOptionText("~FLAG", 0x55), "~FLAG");
}

using ScrambledWriteTest = DeviceLinkTest;

TEST_F(ScrambledWriteTest, DrawnZeroIsSentAsC0) {
  keys = {0, 0};
  device.Script({NoAnswer(), Acknowledged(), NoAnswer(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "~MODEM=0", true));
  EXPECT_TRUE(WriteOption(kHandle, "~AuthServer=1", true));
  ASSERT_EQ(device.calls.size(), 4u);
  ExpectReadRequest(device.calls[0], "~MODEM");
  ExpectWriteRequest(device.calls[1], "~MODEM=C0F0");
  ExpectReadRequest(device.calls[2], "~AuthServer");
  ExpectWriteRequest(device.calls[3], "~AuthServer=C0F1");
}

TEST_F(ScrambledWriteTest, DrawnKeyIsUsedAsIs) {
  keys = {254};
  device.Script({NoAnswer(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "~MODEM=0", true));
  ASSERT_EQ(device.calls.size(), 2u);
  ExpectWriteRequest(device.calls[1], ScrambleOptionText("~MODEM=0", 254));
  EXPECT_EQ(device.calls[1].request.substr(7, 2), "FE");
}

TEST_F(ScrambledWriteTest, ComparisonUsesThePlainValue) {
  device.Script({ValueOf("~MODEM", "0")});
  EXPECT_TRUE(WriteOption(kHandle, "~MODEM=0", true));
  EXPECT_THAT(device.Codes(), ElementsAre(11));
  EXPECT_EQ(keysDrawn, 0);
}

TEST_F(ScrambledWriteTest, TildeOptionGoesPlainWhenScramblingIsOff) {
  device.Script({NoAnswer(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "~MODEM=0", false));
  ASSERT_EQ(device.calls.size(), 2u);
  ExpectWriteRequest(device.calls[1], "~MODEM=0");
  EXPECT_EQ(keysDrawn, 0);
}

TEST_F(ScrambledWriteTest, TildeTextWithoutEqualsSignGoesWholeWithoutAKey) {
  device.Script({Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "~FLAG", true));
  ASSERT_EQ(device.calls.size(), 1u);
  ExpectWriteRequest(device.calls[0], "~FLAG");
  EXPECT_EQ(keysDrawn, 0);
}

TEST_F(ScrambledWriteTest, ValueWithEqualsSignIsScrambledWhole) {
  keys = {0x21};
  device.Script({NoAnswer(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "~Pass=x=y", true));
  ASSERT_EQ(device.calls.size(), 2u);
  ExpectReadRequest(device.calls[0], "~Pass");
  const std::string& request = device.calls[1].request;
  EXPECT_EQ(request.substr(0, 8), "~Pass=21");
  EXPECT_EQ(Unscramble(request.substr(6, request.size() - 7)), "x=y");
}

// A 197-byte name gives 1 + 2 + 2 x value bytes more: 100 value bytes make exactly 400.
TEST_F(ScrambledWriteTest, ScrambledTextUpTo400BytesIsSent) {
  const std::string text = "~" + std::string(196, 'n') + "=" + std::string(100, 'v');
  keys = {7};
  device.Script({NoAnswer(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, text, true));
  ASSERT_EQ(device.calls.size(), 2u);
  EXPECT_EQ(device.calls[1].length, 401);
  EXPECT_EQ(device.calls[1].capacity, 100);
  ExpectWriteRequest(device.calls[1], ScrambleOptionText(text, 7));
}

TEST_F(ScrambledWriteTest, LongerScrambledTextFailsUnsent) {
  const std::string text = "~" + std::string(196, 'n') + "=" + std::string(101, 'v');
  keys = {7};
  device.Script({NoAnswer()});
  EXPECT_FALSE(WriteOption(kHandle, text, true));
  EXPECT_THAT(device.Codes(), ElementsAre(11));
  // The same text goes out plain when scrambling is off.
  device.Script({NoAnswer(), Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, text, false));
  EXPECT_THAT(device.Codes(), ElementsAre(11, 11, 12));
}

TEST_F(ScrambledWriteTest, LongTildeTextWithoutEqualsSignIsLimitedToo) {
  device.Script({Acknowledged()});
  EXPECT_TRUE(WriteOption(kHandle, "~" + std::string(399, 'f'), true));
  EXPECT_FALSE(WriteOption(kHandle, "~" + std::string(400, 'f'), true));
  EXPECT_THAT(device.Codes(), ElementsAre(12));
}

// ---- Batches ----

using WriteOptionListTest = DeviceLinkTest;

TEST_F(WriteOptionListTest, SecondOptionRefusedTwiceCountsTwoOfThree) {
  DeviceHandle = kHandle;
  device.Script({ValueOf("~OS", "LINUX"),                                     // probe
                 ValueOf("A", "0"), Acknowledged(),                           // A
                 ValueOf("B", "0"), Refused(), ValueOf("B", "0"), Refused(),  // B twice
                 ValueOf("C", "0"), Acknowledged()});                         // C
  EXPECT_EQ(WriteOptionList({"A=1", "B=2", "C=3"}), 2);
  EXPECT_THAT(log, ElementsAre("cmd 11",                                     //
                               "messages", "cmd 11", "cmd 12", "pause 100",  //
                               "messages", "cmd 11", "cmd 12", "cmd 11", "cmd 12",
                               "pause 100",  //
                               "messages", "cmd 11", "cmd 12", "pause 100"));
  EXPECT_EQ(device.CallsWithCode(11).size(), 5u);
  EXPECT_EQ(device.CallsWithCode(12).size(), 4u);
  EXPECT_THAT(sleeper.pauses, ElementsAre(100, 100, 100));
  ExpectReadRequest(device.calls[0], "~OS");
  ExpectWriteRequest(device.calls[2], "A=1");
  ExpectWriteRequest(device.calls[4], "B=2");
  ExpectWriteRequest(device.calls[6], "B=2");
  ExpectWriteRequest(device.calls[8], "C=3");
  for (const DeviceCall& call : device.calls) EXPECT_EQ(call.handle, kHandle);
}

TEST_F(WriteOptionListTest, RetrySucceedingCountsAsWritten) {
  device.Script({ValueOf("~OS", "X"), ValueOf("A", "0"), NoAnswer(), ValueOf("A", "1")});
  EXPECT_EQ(WriteOptionList({"A=1"}), 1);
  EXPECT_THAT(device.Codes(), ElementsAre(11, 11, 12, 11));
}

TEST_F(WriteOptionListTest, EveryOptionFailingCountsZeroAndTheBatchGoesOn) {
  EXPECT_EQ(WriteOptionList({"A=1", "B=2"}), 0);
  EXPECT_THAT(device.Codes(), ElementsAre(11, 11, 12, 11, 12, 11, 12, 11, 12));
  EXPECT_THAT(sleeper.pauses, ElementsAre(100, 100));
}

TEST_F(WriteOptionListTest, EmptyListOnlyProbes) {
  EXPECT_EQ(WriteOptionList({}), 0);
  EXPECT_THAT(log, ElementsAre("cmd 11"));
  EXPECT_TRUE(ScrambleOptions);
}

TEST_F(WriteOptionListTest, DuplicatesAreWrittenInListOrder) {
  device.Script({ValueOf("~OS", "X"), NoAnswer(), Acknowledged(), ValueOf("A", "1"), NoAnswer(),
                 Acknowledged()});
  EXPECT_EQ(WriteOptionList({"A=1", "A=1", "B=2"}), 3);
  ASSERT_EQ(device.calls.size(), 6u);
  ExpectWriteRequest(device.calls[2], "A=1");
  ExpectWriteRequest(device.calls[5], "B=2");
}

TEST_F(WriteOptionListTest, TellsPerOptionWhatHappened) {
  LinkConnection link = LinkConnection::ForProcess();
  device.Script({ValueOf("~OS", "X"),  // probe
                 ValueOf("A", "1"),    // A equal
                 ValueOf("B", "0"),
                 Acknowledged(),  // B written
                 ValueOf("C", "0"),
                 Refused(),
                 ValueOf("C", "0"),
                 Refused(),  // C refused twice
                 ValueOf("D", "0"),
                 NoAnswer(),
                 NoAnswer(),
                 NoAnswer(),  // D unanswered
                 {CAPSTAN_REPLY_TRANSPORT_ERROR, {}},
                 {CAPSTAN_REPLY_TRANSPORT_ERROR, {}},
                 {CAPSTAN_REPLY_TRANSPORT_ERROR, {}},
                 {CAPSTAN_REPLY_TRANSPORT_ERROR, {}}});
  const BatchOutcome batch = link.WriteOptionList({"A=1", "B=2", "C=3", "D=4", "E=5"});
  EXPECT_EQ(batch.written, 2);
  EXPECT_EQ(batch.alreadyEqual, 1);
  EXPECT_EQ(batch.failed, 3);
  EXPECT_FALSE(batch.stopped);
  ASSERT_EQ(batch.options.size(), 5u);
  const std::vector<OptionResult> results = {batch.options[0].result, batch.options[1].result,
                                             batch.options[2].result, batch.options[3].result,
                                             batch.options[4].result};
  EXPECT_THAT(results,
              ElementsAre(OptionResult::kUnchanged, OptionResult::kWritten, OptionResult::kRefused,
                          OptionResult::kNoAnswer, OptionResult::kConnectionClosed));
  EXPECT_EQ(batch.options[2].name, "C");
  EXPECT_TRUE(batch.options[2].retried);
  EXPECT_FALSE(batch.options[1].retried);
  EXPECT_EQ(batch.options[2].reply, CAPSTAN_REPLY_REFUSED);
}

TEST_F(WriteOptionListTest, AStopEndsTheBatchAfterTheOptionInFlight) {
  LinkConnection link = LinkConnection::ForProcess();
  device.Script(
      {ValueOf("~OS", "X"), ValueOf("A", "0"), Acknowledged(), ValueOf("B", "0"), Acknowledged()});
  int asked = 0;
  const BatchOutcome batch =
      link.WriteOptionList({"A=1", "B=2", "C=3"}, [&] { return ++asked > 2; });
  EXPECT_TRUE(batch.stopped);
  EXPECT_EQ(batch.options.size(), 2u);
  EXPECT_EQ(batch.written, 2) << "the one never tried is not counted";
  EXPECT_THAT(device.Codes(), ElementsAre(11, 11, 12, 11, 12));
  EXPECT_THAT(sleeper.pauses, ElementsAre(100, 100));
}

TEST_F(WriteOptionListTest, AWindowClosedWhileItsMessagesRanGetsNoFurtherOption) {
  // The user closes the window while A is being written; the close arrives with the messages
  // the batch lets run before B.
  int messageRuns = 0;
  CurrentLinkServices().processPendingMessages = [&] { ++messageRuns; };
  CurrentLinkServices().windowClosing = [&] { return messageRuns >= 2; };
  LinkConnection link = LinkConnection::ForProcess();
  device.Script({ValueOf("~OS", "X"), ValueOf("A", "0"), Acknowledged()});

  const BatchOutcome batch = link.WriteOptionList({"A=1", "B=2", "C=3"});

  EXPECT_TRUE(batch.stopped);
  EXPECT_EQ(batch.written, 1);
  EXPECT_EQ(messageRuns, 2);
  EXPECT_THAT(device.Codes(), ElementsAre(11, 11, 12)) << "nothing about B once the close came";
  EXPECT_THAT(sleeper.pauses, ElementsAre(100));
}

struct ProbeCase {
  const char* name;
  DeviceReply answer;
  bool scrambles;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ProbeCase& probe, std::ostream* out) {
  *out << probe.name;
}

class ScrambleProbeTest : public DeviceLinkTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ScrambleProbeTest, DecidesHowTildeOptionsTravel) {
  keys = {0};
  ScrambleOptions = !GetParam().scrambles;
  device.Script({GetParam().answer, NoAnswer(), Acknowledged(), NoAnswer(), Acknowledged()});
  EXPECT_EQ(WriteOptionList({"~MODEM=0", "MODEM=0"}), 2);
  EXPECT_EQ(ScrambleOptions, GetParam().scrambles);
  ASSERT_EQ(device.calls.size(), 5u);
  ExpectWriteRequest(device.calls[2], GetParam().scrambles ? "~MODEM=C0F0" : "~MODEM=0");
  ExpectWriteRequest(device.calls[4], "MODEM=0");
}

INSTANTIATE_TEST_SUITE_P(
    ProbeAnswers, ScrambleProbeTest,
    ::testing::Values(ProbeCase{"None", ValueOf("~OS", "NONE"), true},
                      ProbeCase{"Empty", ValueOf("~OS", ""), true},
                      ProbeCase{"Failed", {2002, "~OS=LINUX"}, true},
                      ProbeCase{"Unanswered", NoAnswer(), true},
                      ProbeCase{"LowerCaseNone", ValueOf("~OS", "none"), false},
                      ProbeCase{"NoneWithBlank", ValueOf("~OS", "NONE "), false},
                      ProbeCase{"Other", ValueOf("~OS", "LINUX"), false}),
    [](const ::testing::TestParamInfo<ProbeCase>& probe) { return probe.param.name; });

}  // namespace
}  // namespace quillstone
