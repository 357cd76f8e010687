#include "wireless/WirelessKeys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "WirelessTestSupport.h"

namespace quillstone {
namespace {

class KeyRules : public ::testing::Test {
 protected:
  void SetUp() override { test_support::ResetWirelessState(); }
  void TearDown() override { test_support::ResetWirelessState(); }
};

// ---- Leaving a key field ----

TEST_F(KeyRules, ShortHexKeyRecordsFormatButNotFlag) {
  WepKeyFlag[1] = "1";
  RecordKeyExit(1, 0, "abcde");
  EXPECT_EQ(WepKeyFormat[1], 0);
  EXPECT_EQ(WepKeyFlag[1], "1");
  EXPECT_EQ(WepKeyText[1], "abcde");
  EXPECT_EQ(ListShortKeys(true), std::vector<std::string>{"p1=0"});
}

TEST_F(KeyRules, LongAsciiKeyRecordsFormatAndAsciiFlag) {
  RecordKeyExit(3, 2, "abcdefg");
  EXPECT_EQ(WepKeyFlag[3], "1");
  EXPECT_EQ(WepKeyFormat[3], 2);
  EXPECT_EQ(WepKeyText[3], "abcdefg");
  EXPECT_TRUE(ListShortKeys(true).empty());
}

TEST_F(KeyRules, FullHexKeyTurnsAsciiFlagBackToHex) {
  WepKeyFlag[2] = std::string("1");
  RecordKeyExit(2, 1, std::string(26, 'a'));
  EXPECT_EQ(WepKeyFlag[2], "0");
  EXPECT_EQ(WepKeyFormat[2], 1);
}

TEST_F(KeyRules, EmptyOrBlankFieldRecordsNoFormat) {
  RecordKeyExit(1, 0, "");
  RecordKeyExit(2, 3, "   ");
  RecordKeyExit(3, 1, " \t\r\n ");
  EXPECT_EQ(WepKeyFormat[1], NoKeyFormat);
  EXPECT_EQ(WepKeyFormat[2], NoKeyFormat);
  EXPECT_EQ(WepKeyFormat[3], NoKeyFormat);
  EXPECT_EQ(WepKeyText[1], "");
  EXPECT_EQ(WepKeyText[2], "   ");
  EXPECT_EQ(WepKeyText[3], " \t\r\n ");
}

TEST_F(KeyRules, BlankFieldOfFullLengthStillSetsFlag) {
  RecordKeyExit(4, 2, "     ");
  EXPECT_EQ(WepKeyFlag[4], "1");
  EXPECT_EQ(WepKeyFormat[4], NoKeyFormat);
}

TEST_F(KeyRules, BlankFieldKeepsAnEarlierFormat) {
  RecordKeyExit(2, 1, "abc");
  RecordKeyExit(2, 0, "  ");
  EXPECT_EQ(WepKeyFormat[2], 1);
  EXPECT_EQ(WepKeyText[2], "  ");
}

TEST_F(KeyRules, NoFormatChosenRecordsOnlyTheText) {
  RecordKeyExit(1, -1, std::string(13, 'x'));
  RecordKeyExit(2, NoKeyFormat, std::string(13, 'x'));
  EXPECT_EQ(WepKeyFormat[1], NoKeyFormat);
  EXPECT_EQ(WepKeyFormat[2], NoKeyFormat);
  EXPECT_EQ(WepKeyFlag[1], "0");
  EXPECT_EQ(WepKeyFlag[2], "0");
  EXPECT_EQ(WepKeyText[1], std::string(13, 'x'));
}

TEST_F(KeyRules, KeyLengthsCountCharactersNotBytes) {
  const std::string fiveCharacters = "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC";  // äöüß€
  RecordKeyExit(1, 2, fiveCharacters);
  EXPECT_EQ(WepKeyFlag[1], "1");
  EXPECT_TRUE(ListShortKeys(true).empty());

  // 11 bytes but fewer than 10 characters: short in format 0.
  RecordKeyExit(2, 0, fiveCharacters);
  EXPECT_EQ(WepKeyFlag[2], "0");
  EXPECT_EQ(ListShortKeys(true), std::vector<std::string>{"p2=0"});
}

TEST_F(KeyRules, KeyNumberOutsideOneToFourChangesNothing) {
  RecordKeyExit(0, 0, std::string(10, 'a'));
  RecordKeyExit(5, 0, std::string(10, 'a'));
  for (int key = 0; key <= KeyCount; ++key) {
    EXPECT_EQ(WepKeyText[static_cast<std::size_t>(key)], "");
    EXPECT_EQ(WepKeyFormat[static_cast<std::size_t>(key)], NoKeyFormat);
  }
}

TEST_F(KeyRules, FormatLengths) {
  EXPECT_EQ(KeyFormatLength(0), 10);
  EXPECT_EQ(KeyFormatLength(1), 26);
  EXPECT_EQ(KeyFormatLength(2), 5);
  EXPECT_EQ(KeyFormatLength(3), 13);
  EXPECT_EQ(KeyFormatLength(-1), 0);
  EXPECT_EQ(KeyFormatLength(NoKeyFormat), 0);
}

TEST_F(KeyRules, ResetKeyFormatsForgetsEveryFormatButKeepsTextsAndFlags) {
  RecordKeyExit(1, 0, std::string(10, 'a'));
  RecordKeyExit(4, 3, std::string(13, 'b'));
  ResetKeyFormats();
  for (int key = 1; key <= KeyCount; ++key) {
    EXPECT_EQ(WepKeyFormat[static_cast<std::size_t>(key)], NoKeyFormat);
  }
  EXPECT_EQ(WepKeyText[4], std::string(13, 'b'));
  EXPECT_EQ(WepKeyFlag[4], "1");
}

// ---- Passphrase ----

TEST_F(KeyRules, PassphraseNeedsEightCharacters) {
  EXPECT_TRUE(PassphraseTooShort(""));
  EXPECT_TRUE(PassphraseTooShort("1234567"));
  EXPECT_FALSE(PassphraseTooShort("12345678"));
  EXPECT_FALSE(PassphraseTooShort(std::string(64, 'p')));
  // Seven two-byte characters are still seven.
  EXPECT_TRUE(PassphraseTooShort("\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"));
}

TEST_F(KeyRules, PassphraseMessageIsVerbatim) {
  EXPECT_STREQ(PassphraseMessage,
               "please input 8 and 64 characters long for ASCII or 8 and 64 "
               "characters(0-9,a-f,A-F) for hex ");
}

// ---- ApplyKeyFormat ----

TEST_F(KeyRules, ApplyKeyFormatRecordsExactLengthsAndLimitsTheOthers) {
  WepKeyFormat[2] = 0;
  KeyFields fields{
      {{std::string(26, 'a'), 64}, {std::string(10, 'b'), 0}, {"", 0}, {std::string(30, 'd'), 0}}};
  ApplyKeyFormat(1, fields);

  EXPECT_EQ(WepKeyFormat[1], 1);
  EXPECT_EQ(fields[0].maxLength, 64);  // limit left as it was
  for (std::size_t index : {1u, 2u, 3u}) EXPECT_EQ(fields[index].maxLength, 26);
  EXPECT_EQ(WepKeyFormat[2], 0);  // kept its earlier format
  EXPECT_EQ(WepKeyFormat[3], NoKeyFormat);
  EXPECT_EQ(WepKeyFormat[4], NoKeyFormat);
  EXPECT_EQ(fields[3].text, std::string(30, 'd'));  // not cut
}

TEST_F(KeyRules, ApplyKeyFormatCountsCharacters) {
  const std::string fiveCharacters = "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC";
  KeyFields fields{{{fiveCharacters, 0}, {"abcdefghij", 0}, {"", 0}, {"", 0}}};
  ApplyKeyFormat(2, fields);
  EXPECT_EQ(WepKeyFormat[1], 2);
  EXPECT_EQ(fields[0].maxLength, 0);
  EXPECT_EQ(WepKeyFormat[2], NoKeyFormat);
  EXPECT_EQ(fields[1].maxLength, 5);
}

TEST_F(KeyRules, ApplyKeyFormatWithoutFormatDoesNothing) {
  for (int format : {-1, NoKeyFormat}) {
    KeyFields fields{{{std::string(10, 'a'), 0}, {"", 7}, {"", 0}, {"", 0}}};
    ApplyKeyFormat(format, fields);
    EXPECT_EQ(WepKeyFormat[1], NoKeyFormat);
    EXPECT_EQ(fields[0].maxLength, 0);
    EXPECT_EQ(fields[1].maxLength, 7);
  }
}

// ---- ApplyKeyLengths ----

TEST_F(KeyRules, ApplyKeyLengthsCutsToTheRecordedFormat) {
  WepKeyFormat[1] = 0;
  WepKeyFormat[2] = 3;
  WepKeyFormat[4] = 2;
  KeyFields fields{{{"0123456789abcdefghijklmnop", 0},
                    {"short", 0},
                    {std::string(30, 'c'), 0},
                    {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC"
                     "xyz",
                     0}}};
  ApplyKeyLengths(fields);
  EXPECT_EQ(fields[0].text, "0123456789");
  EXPECT_EQ(fields[1].text, "short");               // not longer: written back as it was
  EXPECT_EQ(fields[2].text, std::string(30, 'c'));  // no format recorded: left alone
  EXPECT_EQ(fields[3].text, "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC");
  EXPECT_EQ(WepKeyFormat[1], 0);
  EXPECT_EQ(WepKeyText[1], "");  // remembered values untouched
}

// ---- ListShortKeys ----

TEST_F(KeyRules, ListShortKeysIsEmptyWhileWepGroupIsDisabled) {
  RecordKeyExit(1, 0, "abc");
  RecordKeyExit(2, 1, "abc");
  EXPECT_TRUE(ListShortKeys(false).empty());
  EXPECT_EQ(ListShortKeys(true).size(), 2u);
}

TEST_F(KeyRules, ListShortKeysFollowsKeyOrderAndSkipsFullOrUnrecordedKeys) {
  RecordKeyExit(4, 3, "twelve chars");  // 12 of 13
  RecordKeyExit(3, 2, "12345");         // exactly 5
  RecordKeyExit(2, 1, "abc");
  WepKeyText[1] = std::string("x");  // short, but no format recorded
  EXPECT_EQ(ListShortKeys(true), (std::vector<std::string>{"p2=1", "p4=3"}));
}

TEST_F(KeyRules, ListShortKeysUsesRememberedTextsOnly) {
  WepKeyFormat[1] = 0;
  WepKeyText[1] = std::string(10, 'a');
  EXPECT_TRUE(ListShortKeys(true).empty());
  WepKeyText[1] = std::string(9, 'a');
  EXPECT_EQ(ListShortKeys(true), std::vector<std::string>{"p1=0"});
}

// ---- CheckKeys ----

KeyCheckInput WepInput(int format, int defaultKey, const std::string& keyText) {
  KeyCheckInput input;
  input.wepGroupEnabled = true;
  input.format = format;
  input.markers[static_cast<std::size_t>(defaultKey - 1)] = true;
  input.keyTexts[static_cast<std::size_t>(defaultKey - 1)] = keyText;
  return input;
}

TEST_F(KeyRules, UnrecordedHexDefaultKeyFails) {
  const auto failure = CheckKeys(WepInput(0, 2, std::string(11, 'a')));
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->message, "Password 2,please input 64-bit(104+24)-10 hexadecimal digits ");
  EXPECT_EQ(failure->focusKey, 2);
}

TEST_F(KeyRules, UnrecordedAsciiDefaultKeyOfEnoughLengthPasses) {
  EXPECT_FALSE(CheckKeys(WepInput(2, 2, "abcdef")).has_value());
}

TEST_F(KeyRules, RecordedHexDefaultKeyPassesAtFullLength) {
  WepKeyFormat[3] = 1;
  EXPECT_FALSE(CheckKeys(WepInput(1, 3, std::string(26, 'f'))).has_value());
}

TEST_F(KeyRules, ShortDefaultKeyFailsEvenWhenRecorded) {
  WepKeyFormat[1] = 0;
  const auto failure = CheckKeys(WepInput(0, 1, std::string(9, 'a')));
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->focusKey, 1);
  const auto asciiFailure = CheckKeys(WepInput(3, 4, std::string(12, 'a')));
  ASSERT_TRUE(asciiFailure.has_value());
  EXPECT_EQ(asciiFailure->focusKey, 4);
}

TEST_F(KeyRules, OnlyTheDefaultKeyIsChecked) {
  WepKeyFormat[1] = 0;
  KeyCheckInput input = WepInput(0, 1, std::string(10, 'a'));
  input.keyTexts[2] = std::string("x");  // key 3 short and unrecorded, but not the default key
  EXPECT_FALSE(CheckKeys(input).has_value());
}

TEST_F(KeyRules, NoDefaultKeyPassesTheWepStep) {
  KeyCheckInput input;
  input.wepGroupEnabled = true;
  input.format = 0;
  EXPECT_FALSE(CheckKeys(input).has_value());

  input.wpaGroupEnabled = true;
  input.passphrase = "short";
  const auto failure = CheckKeys(input);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->message, PassphraseMessage);
}

TEST_F(KeyRules, WepStepIsSkippedWhenDisabledOrWithoutFormat) {
  KeyCheckInput disabled = WepInput(0, 1, "");
  disabled.wepGroupEnabled = false;
  EXPECT_FALSE(CheckKeys(disabled).has_value());
  EXPECT_FALSE(CheckKeys(WepInput(-1, 1, "")).has_value());
}

TEST_F(KeyRules, PassphraseOfSevenFailsAndEightPasses) {
  KeyCheckInput input;
  input.wpaGroupEnabled = true;
  input.passphrase = "1234567";
  const auto failure = CheckKeys(input);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->message, PassphraseMessage);
  EXPECT_EQ(failure->focusKey, 0);

  input.passphrase = "12345678";
  EXPECT_FALSE(CheckKeys(input).has_value());
  input.passphrase = std::string(64, 'z');
  EXPECT_FALSE(CheckKeys(input).has_value());
}

TEST_F(KeyRules, ShortPassphraseIsIgnoredWhileWpaGroupIsDisabled) {
  KeyCheckInput input;
  input.passphrase = "1";
  EXPECT_FALSE(CheckKeys(input).has_value());
}

TEST_F(KeyRules, WepIsCheckedBeforeWpa) {
  KeyCheckInput input = WepInput(1, 3, "short");
  input.wpaGroupEnabled = true;
  input.passphrase = "short";
  const auto failure = CheckKeys(input);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->message, "Password 3, please input 128-bit(104+24)-26 hexadecimal digits ");
  EXPECT_EQ(failure->focusKey, 3);
}

// ---- Message tables ----

struct CheckMessageRow {
  int format;
  int key;
  const char* message;
};

const CheckMessageRow CheckMessageTable[] = {
    {0, 1, "Password 1,please input 64-bit(104+24)-10 hexadecimal digits "},
    {0, 2, "Password 2,please input 64-bit(104+24)-10 hexadecimal digits "},
    {0, 3, "Password 3,please input 64-bit(104+24)-10 hexadecimal digits "},
    {0, 4, "Password 4,please input 64-bit(104+24)-10 hexadecimal digits "},
    {1, 1, "Password 1, please input 128-bit(104+24)-26 hexadecimal digits "},
    {1, 2, "Password 2, please input 128-bit(104+24)-26 hexadecimal digits "},
    {1, 3, "Password 3, please input 128-bit(104+24)-26 hexadecimal digits "},
    {1, 4, "Password 4, please input 128-bit(104+24)-26 hexadecimal digits "},
    {2, 1, "Password 1, please input 64-bit(40+24)-5 ASCII characters "},
    {2, 2, "Password 2, please input 64-bit(40+24)-5 ASCII characters "},
    {2, 3, "Password 3, please input 64-bit(40+24)-5 ASCII characters "},
    {2, 4, "Password 4, please input 64-bit(40+24)-5 ASCII characters "},
    {3, 1, "Password 1, please input 128-bit(104+24)-13 ASCII characters "},
    {3, 2, "Password 2, please input 128-bit(104+24)-13 ASCII characters "},
    {3, 3, "Password 3, please input 128-bit(104+24)-13 ASCII characters "},
    {3, 4, "Password 4, please input 128-bit(104+24)-13 ASCII characters "},
};

struct MarkerRow {
  const char* entry;
  const char* message;
  int format;
  int key;
};

const MarkerRow MarkerTable[] = {
    {"p1=0", "Password 1, please input enter 64-bit(104+24)-10 hexadecimal digits", 0, 1},
    {"p1=1", "Password 1, please input 128-bit(104+24)-26 hexadecimal digits", 1, 1},
    {"p1=2", "Password 1,please input 64-bit(40+24)-5 ASCII characters", 2, 1},
    {"p1=3", "Password 1,please input 128-bit(104+24)-13 ASCII characters", 3, 1},
    {"p2=0", "Password 2,please input enter 64-bit(104+24)-10 hexadecimal digits", 0, 2},
    {"p2=1", "Password 2,please input 128-bit(104+24)-26 hexadecimal digits", 1, 2},
    {"p2=2", "Password 2,please input 64-bit(40+24)-5 ASCII characters", 2, 2},
    {"p2=3", "Password 2,please input 128-bit(104+24)-13 ASCII characters", 3, 2},
    {"p3=0", "Password 3,please input 64-bit(104+24)-10 hexadecimal digits", 0, 3},
    {"p3=1", "Password 3,please input 128-bit(104+24)-26 hexadecimal digits", 1, 3},
    {"p3=2", "Password 3,please input 64-bit(40+24)-5 ASCII characters", 2, 3},
    {"p3=3", "Password 3,please input 128-bit(104+24)-13 ASCII characters", 3, 3},
    {"p4=0", "Password 4,please input 64-bit(104+24)-10 hexadecimal digits", 0, 4},
    {"p4=1", "Password 4,please input 128-bit(104+24)-26 hexadecimal digits", 1, 4},
    {"p4=2", "Password 4,please input 64-bit(40+24)-5 ASCII characters", 2, 4},
    {"p4=3", "Password 4,please input 128-bit(104+24)-13 ASCII characters", 3, 4},
};

TEST_F(KeyRules, EveryCheckMessageIsVerbatim) {
  for (const CheckMessageRow& row : CheckMessageTable) {
    SCOPED_TRACE(::testing::Message() << "format " << row.format << " key " << row.key);
    const auto failure = CheckKeys(WepInput(row.format, row.key, ""));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, row.message);
    EXPECT_EQ(failure->focusKey, row.key);
  }
}

TEST_F(KeyRules, EveryMarkerMessageIsVerbatim) {
  for (const MarkerRow& row : MarkerTable) {
    SCOPED_TRACE(row.entry);
    const auto marker = FindShortKeyMarker({row.entry});
    ASSERT_TRUE(marker.has_value());
    EXPECT_EQ(marker->message, row.message);
    EXPECT_EQ(marker->format, row.format);
    EXPECT_EQ(marker->key, row.key);
  }
}

TEST_F(KeyRules, MarkerAndCheckMessagesNeverCoincide) {
  std::set<std::string> checkMessages;
  for (const CheckMessageRow& row : CheckMessageTable) checkMessages.insert(row.message);
  for (const MarkerRow& row : MarkerTable) {
    const auto marker = FindShortKeyMarker({row.entry});
    ASSERT_TRUE(marker.has_value());
    EXPECT_EQ(checkMessages.count(marker->message), 0u) << marker->message;
  }
}

TEST_F(KeyRules, FirstMarkerInTheListWins) {
  const auto marker = FindShortKeyMarker({"p5=0", "p1=4", "P2=1", "p3=2", "p1=0"});
  ASSERT_TRUE(marker.has_value());
  EXPECT_EQ(marker->key, 3);
  EXPECT_EQ(marker->format, 2);
}

TEST_F(KeyRules, NoMarkerInTheList) {
  EXPECT_FALSE(FindShortKeyMarker({}).has_value());
  EXPECT_FALSE(FindShortKeyMarker({"p0=0", "p1=0 ", "p1="}).has_value());
}

TEST_F(KeyRules, ShortKeysReportTheirOwnMarker) {
  RecordKeyExit(2, 1, "abc");
  RecordKeyExit(4, 2, "ab");
  const auto marker = FindShortKeyMarker(ListShortKeys(true));
  ASSERT_TRUE(marker.has_value());
  EXPECT_EQ(marker->key, 2);
  EXPECT_EQ(marker->format, 1);
  EXPECT_EQ(marker->message, "Password 2,please input 128-bit(104+24)-26 hexadecimal digits");
}

}  // namespace
}  // namespace quillstone
