// The device link through the real communication library against the in-process simulator,
// on loopback and on a pseudo-terminal. The ARP flush and the process table stay fakes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "devicelink/DeviceApi.h"
#include "devicelink/DeviceConnection.h"
#include "devicelink/OptionExchange.h"
#include "devicelink/PunParam.h"
#include "devicesim/Link.h"
#include "devicesim/Simulator.h"
#include "tests/devicelink/FakeLink.h"
#include "tests/support/LoopbackPort.h"

namespace quillstone {
namespace {

using quillstone::testing::ClosedLoopbackPort;
using quillstone::testing::EventLog;
using quillstone::testing::FakeArpCacheFlusher;
using quillstone::testing::FakeProcessTable;
using quillstone::testing::RecordingSleeper;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class EndToEndTest : public ::testing::Test {
 protected:
  EndToEndTest() : scope_(Services()) { DeviceHandle = 0; }
  ~EndToEndTest() override {
    DeviceHandle = 0;
    ScrambleOptions = false;
  }

  devsim::Simulator& StartSimulator(devsim::SimulatorConfig config) {
    simulator_.emplace(std::move(config));
    simulator_->Start();
    return *simulator_;
  }

  std::vector<std::uint16_t> SimulatorCodes() const {
    std::vector<std::uint16_t> codes;
    for (const devsim::CommandRecord& record : simulator_->Records()) codes.push_back(record.code);
    return codes;
  }

  std::string SimulatorPort() const { return std::to_string(simulator_->Port()); }

  EventLog log;
  FakeArpCacheFlusher arp{log};
  FakeProcessTable processes{log};
  RecordingSleeper sleeper{log};

 private:
  LinkServices Services() {
    LinkServices services = CurrentLinkServices();  // the real library and key generator
    services.arp = &arp;
    services.processes = &processes;
    services.sleeper = &sleeper;
    return services;
  }

  ScopedLinkServices scope_;
  std::optional<devsim::Simulator> simulator_;
};

TEST_F(EndToEndTest, ScrambledOptionLandsPlainInTheDevice) {
  devsim::SimulatorConfig config;
  config.osValue = "NONE";
  config.defaults = {{"~MODEM", "0"}, {"SSID", "old"}};
  devsim::Simulator& simulator = StartSimulator(config);

  ASSERT_TRUE(OpenNetworkConnection(0, "127.0.0.1", SimulatorPort()));
  EXPECT_NE(DeviceHandle, 0);
  BeginDeviceConfig();
  EXPECT_EQ(WriteOptionList({"~MODEM=1", "SSID=lab net", "~AuthServer=a=b"}), 3);
  EXPECT_TRUE(ScrambleOptions);
  EndDeviceConfig();
  CloseConnection();

  EXPECT_EQ(simulator.Option("~MODEM"), "1");
  EXPECT_EQ(simulator.Option("SSID"), "lab net");
  EXPECT_EQ(simulator.Option("~AuthServer"), "a=b");
  EXPECT_THAT(SimulatorCodes(), ElementsAre(1003, 11, 11, 12, 11, 12, 11, 12, 1002, 1002, 1014));
  // The "~" value travelled scrambled, the other plain.
  const std::vector<devsim::CommandRecord> records = simulator.Records();
  EXPECT_NE(records[3].request, "~MODEM=1");
  EXPECT_EQ(records[3].request.rfind("~MODEM=", 0), 0u);
  EXPECT_EQ(records[5].request, "SSID=lab net");
  EXPECT_THAT(arp.owners, ElementsAre(WindowId{0}));
}

TEST_F(EndToEndTest, ScrambledValuesSurviveManyKeys) {
  devsim::Simulator& simulator = StartSimulator({});  // "~OS" empty: scrambling on
  ASSERT_TRUE(OpenNetworkConnection(0, "127.0.0.1", SimulatorPort()));
  std::vector<std::string> options;
  for (int i = 0; i < 40; ++i)
    options.push_back("~Key" + std::to_string(i) + "=v" + std::to_string(i * 7));
  EXPECT_EQ(WriteOptionList(options), 40);
  CloseConnection();
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(simulator.Option("~Key" + std::to_string(i)),
              std::string("v").append(std::to_string(i * 7)));
  }
}

TEST_F(EndToEndTest, DeviceThatDoesNotScrambleGetsPlainValues) {
  devsim::SimulatorConfig config;
  config.osValue = "LINUX";
  devsim::Simulator& simulator = StartSimulator(config);
  ASSERT_TRUE(OpenNetworkConnection(0, "127.0.0.1", SimulatorPort()));
  EXPECT_EQ(WriteOptionList({"~MODEM=1"}), 1);
  CloseConnection();
  EXPECT_FALSE(ScrambleOptions);
  EXPECT_EQ(simulator.Option("~MODEM"), "1");
  EXPECT_EQ(simulator.Records().back().request, "~MODEM=1");
}

TEST_F(EndToEndTest, ReadsAndSkipsValuesTheDeviceHolds) {
  devsim::SimulatorConfig config;
  config.defaults = {{"AuthMode", "OPEN"}};
  StartSimulator(config);
  ASSERT_TRUE(OpenNetworkConnection(0, "127.0.0.1", SimulatorPort()));
  EXPECT_EQ(ReadOption(DeviceHandle, "AuthMode"), "OPEN");
  EXPECT_TRUE(WriteOption(DeviceHandle, "AuthMode=OPEN", true));
  CloseConnection();
  EXPECT_THAT(SimulatorCodes(), ElementsAre(11, 11));
}

TEST_F(EndToEndTest, RefusedOptionIsRetriedOnceAndCounted) {
  devsim::SimulatorConfig config;
  config.osValue = "LINUX";
  config.faults.refusals = {{"B", 2}};
  devsim::Simulator& simulator = StartSimulator(config);
  ASSERT_TRUE(OpenNetworkConnection(0, "127.0.0.1", SimulatorPort()));
  EXPECT_EQ(WriteOptionList({"A=1", "B=2", "C=3"}), 2);
  CloseConnection();
  EXPECT_THAT(SimulatorCodes(),
              ElementsAreArray<std::uint16_t>({11, 11, 12, 11, 12, 11, 12, 11, 12}));
  EXPECT_THAT(sleeper.pauses, ElementsAre(100, 100, 100));
  EXPECT_EQ(simulator.Option("C"), "3");
}

TEST_F(EndToEndTest, ClosedPortFailsTheOpening) {
  DeviceHandle = 7;
  EXPECT_FALSE(OpenNetworkConnection(0, "127.0.0.1", std::to_string(ClosedLoopbackPort())));
  EXPECT_EQ(DeviceHandle, 0);
}

TEST_F(EndToEndTest, SerialConnectionOverAPseudoTerminal) {
  if (!devsim::PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
  devsim::SimulatorConfig config;
  config.link = devsim::LinkKind::kPty;
  config.baud = 57600;
  config.deviceNumber = 3;
  devsim::Simulator& simulator = StartSimulator(config);

  ASSERT_TRUE(OpenSerialConnection(simulator.PtyPath(), "3", "57600"));
  BeginDeviceConfig();
  EXPECT_EQ(WriteOptionList({"~MODEM=1"}), 1);
  EndDeviceConfig();
  CloseConnection();

  EXPECT_EQ(log.front(), "snapshot");  // the serial watcher was looked for first
  EXPECT_EQ(simulator.Option("~MODEM"), "1");
  EXPECT_THAT(SimulatorCodes(), ElementsAre(1003, 11, 11, 12, 1002, 1002, 1014));
}

}  // namespace
}  // namespace quillstone
