#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace quillstone {
namespace {

using namespace std::string_literals;

TEST(TrimBlanksTest, RemovesSpacesAndControlCharactersAtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks(" \t\r\n abc def \x1F\x01"), "abc def");
  EXPECT_EQ(TrimBlanks("\0x\0"s), "x");
  EXPECT_EQ(TrimBlanks("a \t b"), "a \t b");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(""), "");
}

TEST(TrimBlanksTest, KeepsBytesAboveAscii) {
  EXPECT_EQ(TrimBlanks(" \xC3\xA9 "), "\xC3\xA9");
  EXPECT_EQ(TrimBlanks("\x7F"), "\x7F");
}

TEST(EqualsIgnoringAsciiCaseTest, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase("SERWATCH.DLL", "serwatch.dll"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("", ""));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("serwatch.dll", "serwatch.dl"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));  // differ by the case bit, yet no letters
  EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"));  // A and a with umlaut
  EXPECT_TRUE(EqualsIgnoringAsciiCase("\xC3\x84x", "\xC3\x84X"));
}

TEST(CharacterCountTest, CountsCodePointsAndStrayBytes) {
  EXPECT_EQ(CharacterCount(""), 0);
  EXPECT_EQ(CharacterCount("abc"), 3);
  EXPECT_EQ(CharacterCount("h\xC3\xA9llo"), 5);
  EXPECT_EQ(CharacterCount("\xE2\x82\xAC"), 1);      // euro sign
  EXPECT_EQ(CharacterCount("\xF0\x9F\x98\x80"), 1);  // four-byte character
  EXPECT_EQ(CharacterCount("\x80"), 1);
  EXPECT_EQ(CharacterCount("\xE2\x82"), 2);  // truncated sequence: two stray bytes
  EXPECT_EQ(CharacterCount("\xC3x"), 2);
  EXPECT_EQ(CharacterCount("\xFF\xFE"), 2);
}

TEST(LeftCharactersTest, TakesWholeCharacters) {
  EXPECT_EQ(LeftCharacters("h\xC3\xA9llo", 2), "h\xC3\xA9");
  EXPECT_EQ(LeftCharacters("\xE2\x82\xAC\xE2\x82\xAC", 1), "\xE2\x82\xAC");
  EXPECT_EQ(LeftCharacters("abc", 3), "abc");
  EXPECT_EQ(LeftCharacters("abc", 10), "abc");
  EXPECT_EQ(LeftCharacters("abc", 0), "");
  EXPECT_EQ(LeftCharacters("abc", -1), "");
  EXPECT_EQ(LeftCharacters("\x80\x80x", 2), "\x80\x80");
}

TEST(SingleQuotedTest, QuotesTheWholeTextOnly) {
  EXPECT_EQ(SingleQuoted("SSID"), "'SSID'");
  EXPECT_EQ(SingleQuoted(""), "''");
  EXPECT_EQ(SingleQuoted(std::string_view("a\0b", 3)), std::string("'a\0b'", 5));
  EXPECT_EQ(SingleQuoted(std::string_view("hostname").substr(0, 4)), "'host'");
}

}  // namespace
}  // namespace quillstone
