// "COMn" and device paths as the Windows transport opens them.
#include <gtest/gtest.h>

#include "capstan/src/Transport.h"

namespace quillstone::capstan {
namespace {

TEST(PlatformSerialPath, OpensComPortsByTheirDevicePath) {
  // From COM10 on, only the device path opens a port.
  EXPECT_EQ(PlatformSerialPath("COM1"), "\\\\.\\COM1");
  EXPECT_EQ(PlatformSerialPath("com12"), "\\\\.\\COM12");
  EXPECT_EQ(PlatformSerialPath("Com007"), "\\\\.\\COM7");
}

TEST(PlatformSerialPath, TakesADevicePathAsItIs) {
  EXPECT_EQ(PlatformSerialPath("\\\\.\\COM3"), "\\\\.\\COM3");
  EXPECT_EQ(PlatformSerialPath("\\\\.\\CNCA0"), "\\\\.\\CNCA0");
}

TEST(PlatformSerialPath, RefusesOtherNames) {
  for (const char* name : {"/dev/ttyS0", "COM0", "COM", "LPT1", " COM1", ""}) {
    EXPECT_FALSE(PlatformSerialPath(name).has_value()) << name;
  }
}

}  // namespace
}  // namespace quillstone::capstan
