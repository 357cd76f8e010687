// quillstone-cli started as a user starts it: the options file in a folder whose name has a
// blank and a letter outside ASCII, given on the command line; the program must open that very
// file and name it in its messages as UTF-8. On Windows this rests on the program's manifest
// (the UTF-8 code page for its command line) and its UTF-8 console output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>

#include <chrono>
#endif

#include "tests/platform/SpawnedProcess.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/LoopbackPort.h"

namespace {

namespace fs = std::filesystem;
using quillstone::testing::SpawnedProcess;
using quillstone::testing::TempFolder;
using ::testing::HasSubstr;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

struct OptionsFileCase {
  const char* name;
  std::optional<std::string> content;  // none: the file is not there
  // Where the message points in the file, after its name, and what it says.
  std::string where;
  std::string says;
};

// The case's name in test listings, not its bytes.
void PrintTo(const OptionsFileCase& test, std::ostream* out) {
  *out << test.name;
}

class CliOptionsFileNameTest : public ::testing::TestWithParam<OptionsFileCase> {};

TEST_P(CliOptionsFileNameTest, TheMessageNamesTheFileInUtf8AtTheRightLine) {
  const OptionsFileCase& test = GetParam();
  TempFolder folder;
  const fs::path stand = folder.path() / fs::path(u8"Pr\u00fcf Stand");
  fs::create_directory(stand);
  const fs::path options = stand / "options.ini";
  if (test.content) std::ofstream(options, std::ios::binary) << *test.content;
  const fs::path output = folder.path() / "output";

  // Input errors are found before any device is contacted; the port is a closed one anyway.
  SpawnedProcess cli(QUILLSTONE_CLI_PROGRAM,
                     {QUILLSTONE_CLI_PROGRAM, "apply", "--check", "--options", Utf8(options),
                      "tcp:127.0.0.1:" + std::to_string(quillstone::testing::ClosedLoopbackPort())},
                     Utf8(output));
  EXPECT_EQ(cli.ExitCode(), 2);
  const std::string said = ReadFile(output);
  EXPECT_THAT(said,
              HasSubstr("quillstone-cli: " + Utf8(options) + ":" + test.where + ": " + test.says));
  EXPECT_THAT(said, HasSubstr("Nothing was sent to any device."));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliOptionsFileNameTest,
    ::testing::Values(
        // Line 2 is only known from the file's content: the program read that file.
        OptionsFileCase{"MisspeltOptionOnLineTwo", "SSID=Lab\r\nAuthMod=WPA2PSK\r\n", "2:1",
                        "unknown option name 'AuthMod'"},
        OptionsFileCase{"NoSuchFile", std::nullopt, "1:1", "cannot read the file"}),
    [](const ::testing::TestParamInfo<OptionsFileCase>& param) { return param.param.name; });

#ifndef _WIN32

// The address space a child may take: ample for the program, far less than an endless input
// would fill. AddressSanitizer reserves terabytes of address space up front, so there the limit
// is left out and only the time and the message are checked.
#if defined(__SANITIZE_ADDRESS__)
constexpr const char* kAddressSpaceLimit = "unlimited";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr const char* kAddressSpaceLimit = "unlimited";
#else
constexpr const char* kAddressSpaceLimit = "262144";  // KiB
#endif
#else
constexpr const char* kAddressSpaceLimit = "262144";  // KiB
#endif

struct EndlessInputCase {
  const char* name;
  bool fifo;  // a FIFO nobody ever writes to; otherwise /dev/zero
  const char* says;
};

void PrintTo(const EndlessInputCase& test, std::ostream* out) {
  *out << test.name;
}

class CliEndlessInputTest : public ::testing::TestWithParam<EndlessInputCase> {};

// An input that never ends must neither fill the memory nor keep the program waiting: refused
// at once, under a memory limit that reading it would break.
TEST_P(CliEndlessInputTest, IsRefusedAtOnceUnderAMemoryLimit) {
  const EndlessInputCase& test = GetParam();
  TempFolder folder;
  std::string options = "/dev/zero";
  if (test.fifo) {
    options = (folder.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(options.c_str(), 0600), 0);
  }
  const fs::path output = folder.path() / "output";
  const auto start = std::chrono::steady_clock::now();
  SpawnedProcess cli(
      "/bin/sh",
      {"sh", "-c", std::string("ulimit -v ") + kAddressSpaceLimit + R"( && exec "$@")", "sh",
       QUILLSTONE_CLI_PROGRAM, "apply", "--options", options,
       "tcp:127.0.0.1:" + std::to_string(quillstone::testing::ClosedLoopbackPort())},
      Utf8(output));
  EXPECT_EQ(cli.ExitCode(), 2);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  const std::string said = ReadFile(output);
  EXPECT_THAT(said, HasSubstr("quillstone-cli: " + options + ":1:1: cannot read the file: it is " +
                              test.says + ", not a regular file"));
  EXPECT_THAT(said, HasSubstr("Nothing was sent to any device."));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliEndlessInputTest,
    ::testing::Values(EndlessInputCase{"DevZero", false, "a character device"},
                      EndlessInputCase{"FifoNobodyWritesTo", true, "a pipe (FIFO)"}),
    [](const ::testing::TestParamInfo<EndlessInputCase>& param) { return param.param.name; });

#endif

}  // namespace
