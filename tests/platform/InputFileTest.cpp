// The bounded, stoppable reading of the files a user hands the program: what it takes, what it
// refuses and why, and that it never waits for a file that does not end.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/InputFile.h"
#include "tests/platform/TempFolder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quillstone {
namespace {

using testing::TempFolder;

constexpr std::size_t kLimit = 100;
const char* const kHundredAs =
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
    "aa"
    "aaaa";

struct ReadCase {
  const char* name;
  // Makes the file in the folder and returns its path.
  std::function<std::string(const TempFolder&)> make;
  InputFileFault fault;
  const char* detail;  // the expected detail, or the expected content when there is no fault
};

std::string Write(const TempFolder& folder, const std::string& content) {
  const std::string path = folder.File("input");
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

class InputFileTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(InputFileTest, ReadsOrSaysWhyNot) {
  const ReadCase& c = GetParam();
  TempFolder folder;
  const InputFileRead read = ReadInputFile(c.make(folder), kLimit);
  EXPECT_EQ(read.fault, c.fault);
  if (c.fault == InputFileFault::kNone) {
    EXPECT_EQ(read.content, c.detail);
  } else {
    EXPECT_EQ(read.content, "");
    EXPECT_EQ(read.detail, c.detail);
  }
}

std::vector<ReadCase> ReadCases() {
  std::vector<ReadCase> cases = {

      ReadCase{"Regular", [](const TempFolder& f) { return Write(f, "SSID=x\r\n"); },
               InputFileFault::kNone, "SSID=x\r\n"},
      ReadCase{"Empty", [](const TempFolder& f) { return Write(f, ""); }, InputFileFault::kNone,
               ""},
      ReadCase{"ExactlyTheLimit",
               [](const TempFolder& f) { return Write(f, std::string(kLimit, 'a')); },
               InputFileFault::kNone, kHundredAs},
      ReadCase{"OneByteBeyondTheLimit",
               [](const TempFolder& f) { return Write(f, std::string(kLimit + 1, 'a')); },
               InputFileFault::kTooLarge, ""},
      ReadCase{"Missing", [](const TempFolder& f) { return f.File("nothing"); },
               InputFileFault::kMissing, ""},
      ReadCase{"MissingFolderOnTheWay",
               [](const TempFolder& f) { return f.File("nothing") + "/input"; },
               InputFileFault::kMissing, ""},
      ReadCase{"Folder", [](const TempFolder& f) { return f.path().string(); },
               InputFileFault::kNotRegular, "a folder"}};
#ifndef _WIN32
  cases.insert(
      cases.end(),
      {// Its size says 0, its content is longer: the limit holds while reading, too.
       ReadCase{"GrowsBeyondTheLimitWhileRead",
                [](const TempFolder&) { return std::string("/proc/self/status"); },
                InputFileFault::kTooLarge, ""},
       ReadCase{"CharacterDevice", [](const TempFolder&) { return std::string("/dev/zero"); },
                InputFileFault::kNotRegular, "a character device"},
       // Nobody ever writes to it: it must be refused at once, not waited for.
       ReadCase{"FifoWithoutWriter",
                [](const TempFolder& f) {
                  const std::string path = f.File("fifo");
                  ::mkfifo(path.c_str(), 0600);
                  return path;
                },
                InputFileFault::kNotRegular, "a pipe (FIFO)"},
       ReadCase{"FileBeyondASymbolicLinkIsRead",
                [](const TempFolder& f) {
                  const std::string target = Write(f, "WIFI=1\n");
                  std::filesystem::create_symlink(target, f.File("link"));
                  return f.File("link");
                },
                InputFileFault::kNone, "WIFI=1\n"}});
#endif
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, InputFileTest, ::testing::ValuesIn(ReadCases()),
                         [](const ::testing::TestParamInfo<ReadCase>& param) {
                           return param.param.name;
                         });

TEST(InputFileStopTest, AStopRequestBeforeTheReadingReadsNothing) {
  TempFolder folder;
  const InputFileRead read = ReadInputFile(Write(folder, "SSID=x\n"), kLimit, [] { return true; });
  EXPECT_EQ(read.fault, InputFileFault::kStopped);
  EXPECT_EQ(read.content, "");
}

TEST(InputFileStopTest, AStopRequestDuringTheReadingEndsItAtTheNextChunk) {
  TempFolder folder;
  // Several chunks' worth, so that the request comes in the middle.
  const std::string path = Write(folder, std::string(1024 * 1024, 'x'));
  int asked = 0;
  const InputFileRead read = ReadInputFile(path, 2 * 1024 * 1024, [&] { return ++asked == 3; });
  EXPECT_EQ(read.fault, InputFileFault::kStopped);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(read.content, "");
}

TEST(InputFileStopTest, WithoutAStopRequestALargeFileIsReadWhole) {
  TempFolder folder;
  const std::string content(1024 * 1024 + 17, 'y');
  int asked = 0;
  const InputFileRead read =
      ReadInputFile(Write(folder, content), content.size(), [&] { return ++asked < 0; });
  EXPECT_EQ(read.fault, InputFileFault::kNone);
  EXPECT_EQ(read.content, content);
  EXPECT_GT(asked, 2);  // asked between the chunks, not only once
}

}  // namespace
}  // namespace quillstone
