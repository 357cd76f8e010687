// The library against the in-process simulator over a pseudo-terminal.
#include <gtest/gtest.h>

#include <fstream>

#include "capstan/capstan.h"
#include "capstan/src/PortMap.h"
#include "devicesim/Simulator.h"
#include "tests/capstan/TestSupport.h"

namespace quillstone {
namespace {

using devsim::LinkKind;
using devsim::Simulator;
using devsim::SimulatorConfig;
using namespace quillstone::testing;

constexpr std::uint16_t kDeviceNumber = 7;
constexpr std::int32_t kBaud = 115200;

SimulatorConfig DeviceOnPty() {
  SimulatorConfig config;
  config.link = LinkKind::kPty;
  config.deviceNumber = kDeviceNumber;
  config.defaults = {{"SSID", "office"}};
  return config;
}

class LibraryOverSerial : public ::testing::Test {
 protected:
  void SetUp() override {
    // A mapping file beside the library must not redirect these tests.
    portMap_ = std::make_unique<ScopedEnv>(capstan::kPortMapVariable,
                                           (dir_.Path() / "no-such-file.ini").string());
    simulator_.Start();
    ASSERT_FALSE(simulator_.PtyPath().empty());
  }

  std::int32_t Open(std::int32_t deviceNumber = kDeviceNumber, std::int32_t baud = kBaud) {
    return HALYARD_INIT(CAPSTAN_TRANSPORT_SERIAL, simulator_.PtyPath().c_str(), deviceNumber, baud,
                        0, 0);
  }

  TempDir dir_;
  std::unique_ptr<ScopedEnv> portMap_;
  Simulator simulator_{DeviceOnPty()};
};

TEST_F(LibraryOverSerial, ReadsAndWritesOptions) {
  HandleGuard handle(Open());
  ASSERT_NE(handle.Get(), 0);
  EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "office");
  EXPECT_EQ(WriteOption(handle.Get(), "SSID=lab"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(simulator_.Option("SSID"), "lab");
  EXPECT_EQ(WriteOption(handle.Get(), ScrambleOption("~MODEM=1", 0x33)), CAPSTAN_REPLY_OK);
  EXPECT_EQ(simulator_.Option("~MODEM"), "1");
}

TEST_F(LibraryOverSerial, ReopensTheLineAfterClosing) {
  for (int round = 0; round < 3; ++round) {
    HandleGuard handle(Open());
    ASSERT_NE(handle.Get(), 0) << "round " << round;
    EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "office");
  }
}

TEST_F(LibraryOverSerial, OnlyTheAddressedDeviceNumberAnswers) {
  const auto start = Clock::now();
  EXPECT_EQ(Open(kDeviceNumber + 1), 0);
  EXPECT_LE(ElapsedSince(start), milliseconds(3000));
  HandleGuard handle(Open(kDeviceNumber));
  EXPECT_NE(handle.Get(), 0);
}

TEST_F(LibraryOverSerial, RefusesImpossibleBaudRatesAtOnce) {
  const auto start = Clock::now();
  EXPECT_EQ(Open(kDeviceNumber, 0), 0);
  EXPECT_EQ(Open(kDeviceNumber, -9600), 0);
  EXPECT_LT(ElapsedSince(start), milliseconds(1000));
}

TEST_F(LibraryOverSerial, SetsARateOutsideTheStandardTable) {
  HandleGuard handle(Open(kDeviceNumber, 250000));
  EXPECT_NE(handle.Get(), 0);
}

TEST_F(LibraryOverSerial, RefusesPathsThatAreNotSerialLines) {
  for (const std::string& path :
       std::vector<std::string>{"/dev/null", (dir_.Path() / "missing").string(), "ttyS0"}) {
    EXPECT_EQ(HALYARD_INIT(CAPSTAN_TRANSPORT_SERIAL, path.c_str(), kDeviceNumber, kBaud, 0, 0), 0)
        << path;
  }
}

TEST_F(LibraryOverSerial, FindsTheLineThroughTheMappingFile) {
  const auto mapFile = dir_.Path() / "ports.ini";
  std::ofstream(mapFile) << "# test bench\nCOM7=" << simulator_.PtyPath() << "\n";
  ScopedEnv named(capstan::kPortMapVariable, mapFile.string());
  for (const char* name : {"COM7", "com7"}) {
    HandleGuard handle(HALYARD_INIT(CAPSTAN_TRANSPORT_SERIAL, name, kDeviceNumber, kBaud, 0, 0));
    ASSERT_NE(handle.Get(), 0) << name;
    EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "office");
  }
}

TEST_F(LibraryOverSerial, TimesOutOnASilentDeviceWithinTheTimeout) {
  HandleGuard handle(Open());
  simulator_.SetSilent(true);
  const auto start = Clock::now();
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 250).reply, CAPSTAN_REPLY_TIMEOUT);
  const milliseconds elapsed = ElapsedSince(start);
  EXPECT_GE(elapsed, milliseconds(250));
  EXPECT_LT(elapsed, milliseconds(750));
}

TEST_F(LibraryOverSerial, ReportsACorruptReplyByTheTimeout) {
  HandleGuard handle(Open());
  simulator_.CorruptReplies(1);
  const auto start = Clock::now();
  EXPECT_EQ(ReadOption(handle.Get(), "SSID", 250).reply, CAPSTAN_REPLY_BAD_FRAME);
  EXPECT_LT(ElapsedSince(start), milliseconds(750));
  EXPECT_EQ(ReadOption(handle.Get(), "SSID").value, "office");
}

TEST_F(LibraryOverSerial, DeviceRestartsRightAfterAnswering) {
  HandleGuard handle(Open());
  EXPECT_EQ(SendBare(handle.Get(), CAPSTAN_CMD_RESTART), CAPSTAN_REPLY_OK);
  EXPECT_TRUE(simulator_.WaitForRestarts(1, milliseconds(2000)));
}

}  // namespace
}  // namespace quillstone
