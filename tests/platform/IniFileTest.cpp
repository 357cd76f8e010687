#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/AppError.h"
#include "tests/platform/TempFolder.h"

namespace quillstone::ini {
namespace {

using quillstone::testing::TempFolder;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::size_t EntryCount(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                std::filesystem::directory_iterator()));
}

// ---- Reading ----

TEST(IniLookupTest, MatchesSectionAndKeyIgnoringCaseAndTrimsBlanks) {
  const std::string content = "  [ cONFIG ]  \r\n\tPort  =  4370 \t\r\nlocatIP=192.168.1.201\r\n";
  EXPECT_EQ(Lookup(content, "Config", "port"), "4370");
  EXPECT_EQ(Lookup(content, "CONFIG", "LOCATIP"), "192.168.1.201");
  EXPECT_EQ(Lookup(content, "Config", "Baudrate"), "");
  EXPECT_EQ(Lookup(content, "Other", "Port"), "");
}

TEST(IniLookupTest, SkipsCommentLines) {
  const std::string content = "[Config]\r\n;Port=1\r\n  ; Port=2\r\nPort=3\r\n";
  EXPECT_EQ(Lookup(content, "Config", "Port"), "3");
  EXPECT_EQ(Lookup(content, "Config", ";Port"), "");
}

TEST(IniLookupTest, StripsOnePairOfMatchingQuotes) {
  const std::string content =
      "[Config]\r\nA=\"abc\"\r\nB='a b'\r\nC=\"abc'\r\nD=\"\r\nE=\"\"\r\nF=\"\"x\"\"\r\nG= \"q\" "
      "\r\n";
  EXPECT_EQ(Lookup(content, "Config", "A"), "abc");
  EXPECT_EQ(Lookup(content, "Config", "B"), "a b");
  EXPECT_EQ(Lookup(content, "Config", "C"), "\"abc'");
  EXPECT_EQ(Lookup(content, "Config", "D"), "\"");
  EXPECT_EQ(Lookup(content, "Config", "E"), "");
  EXPECT_EQ(Lookup(content, "Config", "F"), "\"x\"");
  EXPECT_EQ(Lookup(content, "Config", "G"), "q");
}

TEST(IniLookupTest, FirstMatchingSectionAndKeyWin) {
  const std::string content =
      "[Config]\r\nPort=1\r\nport=2\r\n[Other]\r\nOnly=x\r\n[CONFIG]\r\nPort=3\r\nLater=4\r\n";
  EXPECT_EQ(Lookup(content, "Config", "Port"), "1");
  // Keys of a repeated section header are not found.
  EXPECT_EQ(Lookup(content, "Config", "Later"), "");
  EXPECT_EQ(Lookup(content, "Other", "Only"), "x");
  EXPECT_EQ(Lookup(content, "Config", "Only"), "");
}

TEST(IniLookupTest, LinesBeforeTheFirstHeaderAreNeverKeys) {
  const std::string content = "WIFI=1\r\nPort=9\r\n[Config]\r\nSSID=abc\r\n";
  EXPECT_EQ(Lookup(content, "Config", "Port"), "");
  EXPECT_EQ(Lookup(content, "", "Port"), "");
  EXPECT_EQ(Lookup(content, "Config", "SSID"), "abc");
}

TEST(IniLookupTest, SplitsLinesAtCrOrLf) {
  EXPECT_EQ(Lookup("[Config]\rA=1\rB=2\r", "Config", "B"), "2");
  EXPECT_EQ(Lookup("[Config]\nA=1\nB=2\n", "Config", "A"), "1");
  EXPECT_EQ(Lookup("[Config]\n\rA=1\r\n\nB=2", "Config", "B"), "2");
  EXPECT_EQ(Lookup("[Config]\r\nB=last", "Config", "B"), "last");
  EXPECT_EQ(Lookup("[Config]", "Config", "B"), "");
}

TEST(IniLookupTest, ValueKeepsLaterEqualsSigns) {
  EXPECT_EQ(Lookup("[Config]\r\nKey = a=b= \r\n", "Config", "Key"), "a=b=");
}

TEST(IniLookupTest, OddLinesReadAsKeysWithEmptyValues) {
  const std::string content = "[Config]\r\nBare\r\n[Broken\r\nAfter=1\r\n";
  EXPECT_EQ(Lookup(content, "Config", "Bare"), "");
  // A '[' line without ']' is no header, so the section goes on.
  EXPECT_EQ(Lookup(content, "Config", "After"), "1");
}

TEST(IniLookupTest, IgnoresAUtf8ByteOrderMark) {
  EXPECT_EQ(Lookup("\xEF\xBB\xBF[Config]\r\nA=1\r\n", "Config", "A"), "1");
}

// ---- Writing ----

TEST(IniMergeTest, AppendsANewSectionWithoutABlankLine) {
  std::string content = "WIFI=1\r\nSSID=abc\r\n";
  content = Merge(content, "Config", "locatIP", "192.168.1.201");
  content = Merge(content, "Config", "Port", "4370");
  EXPECT_EQ(content, "WIFI=1\r\nSSID=abc\r\n[Config]\r\nlocatIP=192.168.1.201\r\nPort=4370\r\n");
}

TEST(IniMergeTest, ReplacesAnExistingValueKeepingSpellings) {
  EXPECT_EQ(Merge("[config]\r\nBAUDRATE=9600\r\n", "Config", "Baudrate", "57600"),
            "[config]\r\nBAUDRATE=57600\r\n");
  EXPECT_EQ(Merge("[Config]\r\n  Port = 1 \r\nA=2\r\n", "Config", "port", "4370"),
            "[Config]\r\nPort=4370\r\nA=2\r\n");
}

TEST(IniMergeTest, LeavesEveryOtherLineByteForByte) {
  const std::string before = "head line\n; note\r  [Config] \nA = 1\n\n[Next]\r\nB=2";
  EXPECT_EQ(Merge(before, "config", "a", "x"),
            "head line\n; note\r  [Config] \nA=x\n\n[Next]\r\nB=2");
}

TEST(IniMergeTest, AddsANewKeyAfterTheLastLineOfItsSection) {
  EXPECT_EQ(Merge("[Config]\r\nA=1\r\n;c\r\n\r\n[Next]\r\nB=2\r\n", "Config", "New", "v"),
            "[Config]\r\nA=1\r\n;c\r\nNew=v\r\n\r\n[Next]\r\nB=2\r\n");
  EXPECT_EQ(Merge("[Config]\r\n[Next]\r\n", "Config", "New", "v"),
            "[Config]\r\nNew=v\r\n[Next]\r\n");
}

TEST(IniMergeTest, EndsAnUnterminatedLastLineBeforeAdding) {
  EXPECT_EQ(Merge("[Config]\r\nA=1", "Config", "B", "2"), "[Config]\r\nA=1\r\nB=2\r\n");
  EXPECT_EQ(Merge("WIFI=1", "Config", "B", "2"), "WIFI=1\r\n[Config]\r\nB=2\r\n");
  EXPECT_EQ(Merge("[Config]\rA=1\r", "Config", "B", "2"), "[Config]\rA=1\rB=2\r\n");
  EXPECT_EQ(Merge("[Config]\nA=1\n", "Config", "A", "3"), "[Config]\nA=3\n");
}

TEST(IniMergeTest, EmptyContentGetsSectionAndKey) {
  EXPECT_EQ(Merge("", "Config", "Port", "4370"), "[Config]\r\nPort=4370\r\n");
}

TEST(IniMergeTest, WritesOnlyIntoTheFirstMatchingSection) {
  EXPECT_EQ(Merge("Port=0\r\n[Config]\r\nA=1\r\n[config]\r\nPort=2\r\n", "Config", "Port", "9"),
            "Port=0\r\n[Config]\r\nA=1\r\nPort=9\r\n[config]\r\nPort=2\r\n");
  EXPECT_EQ(Merge("[Config]\r\nPort=1\r\nPort=2\r\n", "Config", "Port", "9"),
            "[Config]\r\nPort=9\r\nPort=2\r\n");
}

TEST(IniMergeTest, LineBeforeAnyHeaderIsNotReplaced) {
  EXPECT_EQ(Merge("Port=1\r\n", "Config", "Port", "2"), "Port=1\r\n[Config]\r\nPort=2\r\n");
}

TEST(IniMergeTest, WhatIsWrittenReadsBack) {
  std::string content = "x\r\n[A]\r\nk=1\r\n";
  content = Merge(content, "B", "k", "2");
  content = Merge(content, "a", "K", "3");
  EXPECT_EQ(Lookup(content, "A", "k"), "3");
  EXPECT_EQ(Lookup(content, "b", "K"), "2");
}

// ---- Files ----

TEST(IniFileTest, MissingFileReadsEmpty) {
  TempFolder folder;
  EXPECT_EQ(ReadProfileString(folder.File("options.ini"), "Config", "Port"), "");
}

TEST(IniFileTest, WritesTheIssueExamplesByteForByte) {
  TempFolder folder;
  const std::string network = folder.File("options.ini");
  WriteBytes(network, "WIFI=1\r\nSSID=abc\r\n");
  WriteProfileString(network, "Config", "locatIP", "192.168.1.201");
  WriteProfileString(network, "Config", "Port", "4370");
  EXPECT_EQ(ReadBytes(network),
            "WIFI=1\r\nSSID=abc\r\n[Config]\r\nlocatIP=192.168.1.201\r\nPort=4370\r\n");
  EXPECT_EQ(ReadProfileString(network, "CONFIG", "port"), "4370");

  const std::string serial = folder.File("serial.ini");
  WriteBytes(serial, "[config]\r\nBAUDRATE=9600\r\n");
  WriteProfileString(serial, "Config", "Baudrate", "57600");
  EXPECT_EQ(ReadBytes(serial), "[config]\r\nBAUDRATE=57600\r\n");
  // Only the two files: no temporary left behind.
  EXPECT_EQ(EntryCount(folder.path()), 2u);
}

TEST(IniFileTest, CreatesAMissingFile) {
  TempFolder folder;
  const std::string path = folder.File("IPconfig.ini");
  WriteProfileString(path, "Config", "wifidhcp", "1");
  EXPECT_EQ(ReadBytes(path), "[Config]\r\nwifidhcp=1\r\n");
}

// Paths are UTF-8 text on every system; on Windows they must reach the file through the wide
// API, whatever the ANSI code page, and the error text must name the folder as it is.
TEST(IniFileTest, WorksInAFolderWithANonAsciiName) {
  const std::string name = "Pr\u00fcfstand";  // UTF-8
  TempFolder folder;
  const std::filesystem::path program = folder.path() / std::u8string(name.begin(), name.end());
  std::filesystem::create_directory(program);
  const std::u8string utf8Folder = program.u8string();
  const std::string programDir(utf8Folder.begin(), utf8Folder.end());
  const std::string options = programDir + "/options.ini";
  WriteProfileString(options, "Config", "Port", "4370");
  WriteWholeFile(programDir + "/IPconfig.ini", "[Config]\r\nwifidhcp=1\r\n");
  EXPECT_EQ(ReadProfileString(options, "Config", "Port"), "4370");
  EXPECT_EQ(ReadProfileString(programDir + "/IPconfig.ini", "Config", "wifidhcp"), "1");
  EXPECT_EQ(EntryCount(program), 2u) << "both files in the folder, nothing elsewhere";

  try {
    WriteProfileString(programDir + "/missing/options.ini", "Config", "Port", "1");
    FAIL() << "a file in a missing folder cannot be written";
  } catch (const AppError& error) {
    EXPECT_NE(std::string(error.what()).find(programDir), std::string::npos) << error.what();
  }
}

TEST(IniFileTest, WriteWholeFileReplacesTheContent) {
  TempFolder folder;
  const std::string path = folder.File("options.ini");
  WriteBytes(path, "old content that is longer than the new one\r\n");
  WriteWholeFile(path, "WIFI=1\r\n");
  EXPECT_EQ(ReadBytes(path), "WIFI=1\r\n");
  EXPECT_EQ(EntryCount(folder.path()), 1u);
}

TEST(IniFileTest, WriteIntoAMissingFolderFailsWithTheFullPath) {
  TempFolder folder;
  const std::string path = (folder.path() / "no-such-folder" / "options.ini").string();
  try {
    WriteProfileString(path, "Config", "Port", "4370");
    FAIL() << "no error";
  } catch (const AppError& error) {
    EXPECT_STREQ(error.what(), ("Unable to write to " + path).c_str());
  }
  EXPECT_EQ(EntryCount(folder.path()), 0u);
}

TEST(IniFileTest, RelativePathIsReportedInFull) {
  const std::filesystem::path relative =
      std::filesystem::path("quillstone-no-such-folder-for-test") / "options.ini";
  ASSERT_FALSE(std::filesystem::exists(relative.parent_path()));
  try {
    WriteWholeFile(relative.string(), "x");
    FAIL() << "no error";
  } catch (const AppError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Unable to write to " + (std::filesystem::current_path() / relative).string());
  }
}

TEST(IniFileTest, TargetThatIsAFolderIsLeftAsItWas) {
  TempFolder folder;
  const std::string path = folder.File("options.ini");
  std::filesystem::create_directory(path);
  WriteBytes(folder.File("options.ini/inside"), "kept");
  EXPECT_THROW(WriteProfileString(path, "Config", "Port", "1"), AppError);
  EXPECT_THROW(WriteWholeFile(path, "x"), AppError);
  EXPECT_EQ(ReadProfileString(path, "Config", "Port"), "");
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(ReadBytes(folder.File("options.ini/inside")), "kept");
  EXPECT_EQ(EntryCount(folder.path()), 1u);
}

struct LineBreakCase {
  const char* name;
  const char* section;
  const char* key;
  const char* value;
};

class IniLineBreakTest : public ::testing::TestWithParam<LineBreakCase> {};

TEST_P(IniLineBreakTest, WriteIsRefusedAndTheFileStaysAsItWas) {
  const LineBreakCase& c = GetParam();
  TempFolder folder;
  const std::string path = folder.File("options.ini");
  const std::string before = "WIFI=1\r\n[Config]\r\nDeviceID=1\r\n";
  WriteBytes(path, before);
  try {
    WriteProfileString(path, c.section, c.key, c.value);
    FAIL() << "no error";
  } catch (const AppError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Unable to write to " + path + ": a section, key or value holds a line break");
  }
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(EntryCount(folder.path()), 1u);
}

TEST(IniFileTest, WriteLinesEndsEachLineAndRefusesOneHoldingABreak) {
  TempFolder folder;
  const std::string path = folder.File("options.ini");
  WriteLines(path, {"WIFI=1", "SSID=Lab"});
  EXPECT_EQ(ReadBytes(path), "WIFI=1\r\nSSID=Lab\r\n");
  for (const char* broken : {"SSID=Lab\r\n[Config]", "SSID=Lab\n", "SSID=\rLab"}) {
    try {
      WriteLines(path, {"WIFI=1", broken});
      ADD_FAILURE() << "no error for " << broken;
    } catch (const AppError& error) {
      EXPECT_EQ(std::string(error.what()),
                "Unable to write to " + path + ": a line holds a line break");
    }
    EXPECT_EQ(ReadBytes(path), "WIFI=1\r\nSSID=Lab\r\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    CrOrLf, IniLineBreakTest,
    ::testing::Values(LineBreakCase{"CrLfInValue", "Config", "SSID",
                                    "Lab\r\n[Config]\r\nDeviceID=9"},
                      LineBreakCase{"LfInValue", "Config", "Port", "1\n2"},
                      LineBreakCase{"CrInValue", "Config", "Port", "1\r"},
                      LineBreakCase{"LfInKey", "Config", "Port\nDeviceID", "9"},
                      LineBreakCase{"CrInSection", "Config]\r[Other", "Port", "9"}),
    [](const auto& named) { return std::string(named.param.name); });

}  // namespace
}  // namespace quillstone::ini

namespace quillstone::ini {
namespace {

TEST(IniLeadingLinesTest, TheOptionLinesAboveTheFirstHeaderWithTheirNumbers) {
  const std::vector<LeadingLine> lines = LinesBeforeFirstSection(
      "\xEF\xBB\xBFSSID=Office \r\n\r\n; note\r\n  wifidhcp=1\r\n[Config]\r\nPort=1\r\n");
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0].number, 1);
  EXPECT_EQ(lines[0].text, "SSID=Office ");  // as written: the value's blanks are the device's
  EXPECT_EQ(lines[1].number, 4);
  EXPECT_EQ(lines[1].text, "  wifidhcp=1");
  EXPECT_TRUE(LinesBeforeFirstSection("[Config]\nSSID=x\n").empty());
}

}  // namespace
}  // namespace quillstone::ini
