#include "capstan/src/PortMap.h"
#include "capstan/src/Transport.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/capstan/TestSupport.h"

namespace quillstone::capstan {
namespace {

TEST(ParsePortMap, ReadsNamePathLinesAndSkipsTheRest) {
  const PortMap map = ParsePortMap(
      "# serial ports of this bench\n"
      "[Ports]\n"
      "; a comment\n"
      "\n"
      "  com7 = /dev/pts/3  \r\n"
      "COM8=/dev/ttyUSB0\n"
      "no separator here\n"
      "=/dev/nameless\n"
      "COM9=\n"
      "COM8=/dev/ttyUSB1");
  EXPECT_EQ(map, (PortMap{{"COM7", "/dev/pts/3"}, {"COM8", "/dev/ttyUSB1"}}));
}

TEST(ComPortNumber, AcceptsComFollowedByAPositiveNumber) {
  EXPECT_EQ(ComPortNumber("COM1"), 1);
  EXPECT_EQ(ComPortNumber("com12"), 12);
  EXPECT_EQ(ComPortNumber("Com007"), 7);
  for (const char* name : {"COM", "COM0", "COMx", "COM1a", "LPT1", "COM99999", " COM1", ""}) {
    EXPECT_FALSE(ComPortNumber(name).has_value()) << name;
  }
}

TEST(ResolveSerialPort, PrefersTheMappingThenFollowsThePlatformConvention) {
  const PortMap map{{"COM7", "/dev/pts/3"}};
  EXPECT_EQ(ResolveSerialPort("COM7", map), "/dev/pts/3");
  EXPECT_EQ(ResolveSerialPort("com7", map), "/dev/pts/3");
  // The conventions themselves are tested per platform (SerialPathTest).
  EXPECT_EQ(ResolveSerialPort("COM1", map), PlatformSerialPath("COM1"));
  EXPECT_EQ(ResolveSerialPort("COM3", {}), PlatformSerialPath("COM3"));
  EXPECT_TRUE(ResolveSerialPort("COM3", {}).has_value());
  EXPECT_FALSE(ResolveSerialPort("ttyS0", map).has_value());
  EXPECT_FALSE(ResolveSerialPort("", map).has_value());
}

TEST(LoadPortMap, ReadsTheFileTheEnvironmentNames) {
  testing::TempDir dir;
  const auto file = dir.Path() / "ports.ini";
  std::ofstream(file) << "COM4=/dev/pts/9\n";
  testing::ScopedEnv named(kPortMapVariable, file.string());
  EXPECT_EQ(LoadPortMap(), (PortMap{{"COM4", "/dev/pts/9"}}));
}

TEST(LoadPortMap, TreatsAMissingNamedFileAsEmpty) {
  testing::TempDir dir;
  testing::ScopedEnv named(kPortMapVariable, (dir.Path() / "absent.ini").string());
  EXPECT_TRUE(LoadPortMap().empty());
}

TEST(LibraryDirectory, NamesAnExistingFolder) {
  const auto folder = LibraryDirectory();
  ASSERT_TRUE(folder.has_value());
  EXPECT_TRUE(folder->is_absolute());
  EXPECT_TRUE(std::filesystem::is_directory(*folder));
}

}  // namespace
}  // namespace quillstone::capstan
