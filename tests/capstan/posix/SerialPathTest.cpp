// "COMn" and device paths as the POSIX transport opens them.
#include <gtest/gtest.h>

#include "capstan/src/Transport.h"

namespace quillstone::capstan {
namespace {

TEST(PlatformSerialPath, MapsComPortsToTheSerialDevicesCountingFromZero) {
  EXPECT_EQ(PlatformSerialPath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(PlatformSerialPath("com3"), "/dev/ttyS2");
  EXPECT_EQ(PlatformSerialPath("Com012"), "/dev/ttyS11");
}

TEST(PlatformSerialPath, TakesADevicePathAsItIs) {
  EXPECT_EQ(PlatformSerialPath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(PlatformSerialPath("/dev/pts/3"), "/dev/pts/3");
}

TEST(PlatformSerialPath, RefusesOtherNames) {
  for (const char* name : {"ttyS0", "COM0", "COM", "\\\\.\\COM1", " COM1", ""}) {
    EXPECT_FALSE(PlatformSerialPath(name).has_value()) << name;
  }
}

}  // namespace
}  // namespace quillstone::capstan
