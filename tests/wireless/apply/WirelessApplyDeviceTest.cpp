// " Set" on the wireless page end to end: the real library against the device simulator on
// loopback, the page driven as a user drives it.
#include <gmock/gmock.h>

#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "WirelessApplyFixture.h"
#include "devicesim/Link.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const char* const kTcpQuestion = "Are you  sure to set ？";
const char* const kTcpSuccess = "Set successfully! Device Will restart";

// The codes the device received after the last option write.
std::vector<std::uint16_t> CodesAfterLastWrite(const std::vector<std::uint16_t>& codes) {
  const auto lastWrite = std::find(codes.rbegin(), codes.rend(), kWriteCode);
  return {lastWrite.base(), codes.end()};
}

class WirelessApplyOverTcpTest : public WirelessApplyTest {
 protected:
  // The start page with a network name, the device IP by DHCP, a device whose every option
  // differs from what the apply sends.
  SimulatedDevice& ArrangeOpenNetwork(const OptionList& expected = kOpenNetworkOptions) {
    Window().WirelessNetEdt->setText(QStringLiteral("Office"));
    UseDhcpForTheDevice();
    devsim::SimulatorConfig config;
    config.defaults = StaleValuesFor(expected);
    return StartTcpDevice(config);
  }
  std::string NetworkKeys() { return "Port=" + std::to_string(Device()->Port()); }
};

TEST_F(WirelessApplyOverTcpTest, ActiveWorkedExampleLandsOnTheDeviceAndRestartsIt) {
  SimulatedDevice& device = ArrangeOpenNetwork();

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox(kTcpSuccess)));
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(kOpenNetworkOptions));
  EXPECT_THAT(device.Held(kOpenNetworkOptions), ElementsAreArray(kOpenNetworkOptions));
  EXPECT_TRUE(device->WaitForRestarts(1, std::chrono::seconds(5)));
  ExpectConnectionClosedByTool();
  ExpectClosingWorkDone();
  EXPECT_EQ(platform.arp.owners.size(), 1u);
  EXPECT_THAT(platform.processes.terminated, IsEmpty());
}

TEST_F(WirelessApplyOverTcpTest, SpaceOnTheSelectedActiveKeepsWifiOnForTheApply) {
  SimulatedDevice& device = ArrangeOpenNetwork();
  Window().ActiveRadio->setFocus();
  QTest::keyClick(Window().ActiveRadio, Qt::Key_Space);
  ASSERT_TRUE(Window().ActiveRadio->isChecked());

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox(kTcpSuccess)));
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(kOpenNetworkOptions));
}

TEST_F(WirelessApplyOverTcpTest, DisableWorkedExampleSendsWifiOffAndTheFixedAddress) {
  const OptionList expected = {"WIFI=0", "wifidhcp=0", "wifiip=192.168.5.9",
                               "wifimask=255.255.255.0", "wifigateway=192.168.5.1"};
  devsim::SimulatorConfig config;
  config.defaults = StaleValuesFor(expected);
  SimulatedDevice& device = StartTcpDevice(config);
  WriteIpConfig(
      "[Config]\r\nIPaddress=192.168.5.9\r\nsubMask=255.255.255.0\r\nGateWay=192.168.5.1\r\n"
      "IPRadio=1\r\n");
  Window().DisableRadio->click();

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox(kTcpSuccess)));
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(expected));
  EXPECT_THAT(device.Held(expected), ElementsAreArray(expected));
  ExpectClosingWorkDone();
}

TEST_F(WirelessApplyOverTcpTest, WithoutIpConfigFileNoWifidhcpEntryIsSent) {
  const OptionList expected(kOpenNetworkOptions.begin(), kOpenNetworkOptions.end() - 1);
  SimulatedDevice& device = ArrangeOpenNetwork(expected);
  std::filesystem::remove(programDir.File("IPconfig.ini"));

  ClickSet();

  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(expected));
  EXPECT_THAT(ShownBoxes(boxes).back(), InformationBox(kTcpSuccess));
}

TEST_F(WirelessApplyOverTcpTest, WepKeyOfBlanksSendsItsFlagAndAnEmptyKey) {
  ChooseWep(QStringLiteral("64-bit(40+24)-5 ASCII characters"));
  EnterKey(1, QStringLiteral("abcde"));
  EnterKey(2, QStringLiteral("     "));  // five blanks: long enough to set the ASCII flag
  // Key 3 once held an ASCII key and is empty now: its type entry says 0 all the same.
  WepKeyFlag[3] = "1";
  const OptionList expected = {
      "WIFI=1",         "SSID=Office",    "NetworkType=Infra", "AuthMode=OPEN",
      "EncrypType=WEP", "DefaultKeyID=1", "Key1Type=1",        "Key1Str=abcde",
      "Key2Type=1",     "Key2Str=",       "Key3Type=0",        "Key3Str=",
      "Key4Type=0",     "Key4Str=",       "WPAPSK=",           "wifidhcp=1"};
  SimulatedDevice& device = ArrangeOpenNetwork(expected);

  ClickSet();

  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(expected));
  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox(kTcpSuccess)));
}

TEST_F(WirelessApplyOverTcpTest, Wpa2PskWithAesAndEightCharacterPassphraseRestartsTheDevice) {
  PickItem(Window().AuthenticationTypeCob, QStringLiteral("WPA2PSK"));
  PickItem(Window().WepEncryptCob, QStringLiteral("AES"));
  Window().WAPpasswordEdit->setText(QStringLiteral("abcdefgh"));
  const OptionList expected = {
      "WIFI=1",          "SSID=Office", "NetworkType=Infra", "AuthMode=WPA2PSK", "EncrypType=AES",
      "WPAPSK=abcdefgh", "Key1Type=0",  "Key1Str=",          "Key2Type=0",       "Key2Str=",
      "Key3Type=0",      "Key3Str=",    "Key4Type=0",        "Key4Str=",         "wifidhcp=1"};
  SimulatedDevice& device = ArrangeOpenNetwork(expected);

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox(kTcpSuccess)));
  EXPECT_THAT(device.Held(expected), ElementsAreArray(expected));
  EXPECT_THAT(CodesAfterLastWrite(device.Codes()),
              ElementsAre(kRestartCode, kEndCode, kEndCode, kEndSessionCode));
  EXPECT_TRUE(device->WaitForRestarts(1, std::chrono::seconds(5)));
}

TEST_F(WirelessApplyOverTcpTest, SuccessBoxComesBeforeTheRestartAndTheEndCommandsFollowIt) {
  SimulatedDevice& device = ArrangeOpenNetwork();
  std::optional<std::vector<std::uint16_t>> codesWhileSuccessShown;
  boxes.onShow = [&](const FakeMessageBoxes::Box& box) {
    if (box.text == kTcpSuccess) codesWhileSuccessShown = device.Codes();
  };

  ClickSet();

  ASSERT_TRUE(codesWhileSuccessShown.has_value());
  EXPECT_THAT(*codesWhileSuccessShown,
              ::testing::Each(::testing::AnyOf(kBeginCode, kReadCode, kWriteCode)));
  EXPECT_THAT(CodesAfterLastWrite(device.Codes()),
              ElementsAre(kRestartCode, kEndCode, kEndCode, kEndSessionCode));
  EXPECT_TRUE(device.WaitForHangUp());
  EXPECT_EQ(device->Restarts(), 1u);
}

TEST_F(WirelessApplyOverTcpTest, DeviceSeesTheApplysOwnProbeThenTheBatchProbeBeforeTheFirstWrite) {
  SimulatedDevice& device = ArrangeOpenNetwork();

  ClickSet();

  const auto records = device->Records();
  ASSERT_GE(records.size(), 5u);
  EXPECT_EQ(records[0].code, kBeginCode);
  EXPECT_EQ(records[1].code, kReadCode);
  EXPECT_EQ(records[1].request, "~OS");
  EXPECT_EQ(records[2].code, kReadCode);
  EXPECT_EQ(records[2].request, "~OS");
  EXPECT_EQ(records[3].code, kReadCode);
  EXPECT_EQ(records[3].request, "WIFI");
  EXPECT_EQ(records[4].code, kWriteCode);
  EXPECT_EQ(records[4].request, "WIFI=1");
}

TEST_F(WirelessApplyOverTcpTest, OptionsIniHoldsTheOptionLinesThenOnlyTheNetworkKeys) {
  SimulatedDevice& device = ArrangeOpenNetwork();
  programDir.Write("options.ini",
                   "WIFI=0\r\n[Config]\r\nDeviceID=3\r\nCOMPort=2\r\nBaudrate=9600\r\n");
  // The batch lets the window process its messages before the first option, once its own
  // "~OS" probe (the second) has been read: a timer started while the question is open sees
  // then what was stored before any write.
  std::optional<std::string> storedBeforeFirstWrite;
  std::size_t writesBeforeFirstWrite = 0;
  QTimer batchStart;
  QObject::connect(&batchStart, &QTimer::timeout, [&] {
    const std::vector<std::string> reads = device.Requests(kReadCode);
    if (std::count(reads.begin(), reads.end(), "~OS") < 2) return;
    batchStart.stop();
    storedBeforeFirstWrite = programDir.Read("options.ini");
    writesBeforeFirstWrite = device.Requests(kWriteCode).size();
  });
  boxes.onShow = [&](const FakeMessageBoxes::Box& box) {
    if (box.kind == FakeMessageBoxes::Kind::Confirm) batchStart.start(0);
  };

  ClickSet();

  const std::string expected =
      OptionsIniBytes(kOpenNetworkOptions, {"locatIP=127.0.0.1", NetworkKeys()});
  EXPECT_EQ(programDir.Read("options.ini"), expected);
  EXPECT_EQ(storedBeforeFirstWrite, expected);
  EXPECT_EQ(writesBeforeFirstWrite, 0u);
}

TEST_F(WirelessApplyOverTcpTest, OptionRefusedTwiceGivesSetFaliAndNoRestart) {
  SimulatedDevice& device = ArrangeOpenNetwork();
  device->RefuseOption("SSID", 2);

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox("Set fali!")));
  const auto writes = device.Requests(kWriteCode);
  EXPECT_EQ(std::count(writes.begin(), writes.end(), "SSID=Office"), 2);
  EXPECT_THAT(CodesAfterLastWrite(device.Codes()),
              ElementsAre(kEndCode, kEndCode, kEndSessionCode));
  EXPECT_TRUE(device.WaitForHangUp());
  EXPECT_EQ(device->Restarts(), 0u);
  // The options after the refused one were still written; options.ini was recorded anyway.
  EXPECT_THAT(device.Held({"WIFI", "wifidhcp"}), ElementsAre("WIFI=1", "wifidhcp=1"));
  EXPECT_EQ(device->Option("SSID"), "stale");
  EXPECT_EQ(programDir.Read("options.ini"),
            OptionsIniBytes(kOpenNetworkOptions, {"locatIP=127.0.0.1", NetworkKeys()}));
  ExpectClosingWorkDone();
}

TEST_F(WirelessApplyOverTcpTest, FailedConnectionLeavesOptionsIniUnchanged) {
  ChooseWep(QStringLiteral("64-bit(104+24)-10 hexadecimal digits"));
  EnterKey(1, QStringLiteral("0123456789"));
  Window().WirelessNetEdt->setText(QStringLiteral("Office"));
  Window().AddressIP->setText(QStringLiteral("127.0.0.1"));
  Window().PortEdtWire->setText(QString::number(ClosedLoopbackPort()));
  const std::string before = "[Config]\r\nlocatIP=10.1.1.1\r\nPort=4370\r\n";
  programDir.Write("options.ini", before);

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox("can not connect with device")));
  EXPECT_EQ(programDir.Read("options.ini"), before);
  EXPECT_EQ(DeviceHandle, 0);
  ExpectClosingWorkDone();
}

TEST_F(WirelessApplyOverTcpTest, UnwritableOptionsIniShowsTheErrorAndStillEndsTheBracket) {
  ChooseWep(QStringLiteral("64-bit(104+24)-10 hexadecimal digits"));
  EnterKey(1, QStringLiteral("0123456789"));
  SimulatedDevice& device = ArrangeOpenNetwork();
  std::filesystem::create_directory(programDir.File("options.ini"));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion),
                          ErrorBox("Unable to write to " + programDir.File("options.ini") + ".")));
  EXPECT_THAT(device.Codes(),
              ElementsAre(kBeginCode, kReadCode, kEndCode, kEndCode, kEndSessionCode));
  EXPECT_THAT(device.Requests(kWriteCode), IsEmpty());
  EXPECT_TRUE(device.WaitForHangUp());
  ExpectConnectionClosedByTool();
  ExpectClosingWorkDone();
}

TEST_F(WirelessApplyOverTcpTest, TwoAppliesInARowTheSecondStoppedByAFormCheckBothEndCleanly) {
  SimulatedDevice& device = ArrangeOpenNetwork();
  ClickSet();
  ASSERT_THAT(ShownBoxes(boxes).back(), InformationBox(kTcpSuccess));
  ExpectClosingWorkDone();
  const std::size_t commandsAfterFirst = device->Records().size();
  const std::string optionsIniAfterFirst = programDir.Read("options.ini");
  boxes.shown.clear();

  Window().WirelessNetEdt->setText(QStringLiteral(" "));
  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(InformationBox("ID(SSID) can not be null,you must input it,please!")));
  EXPECT_TRUE(Focused(Window().WirelessNetEdt));
  EXPECT_EQ(device->Records().size(), commandsAfterFirst);
  EXPECT_EQ(device->Connections(), 1u);
  EXPECT_EQ(programDir.Read("options.ini"), optionsIniAfterFirst);
  ExpectClosingWorkDone();
}

TEST_F(WirelessApplyOverTcpTest, NoSecondDeviceActionStartsWhileTheApplyRuns) {
  ArrangeOpenNetwork();
  // The modem page would complain about its empty dial number, the connection test would
  // report its result: neither may start while the apply holds the connection.
  boxes.onShow = [&](const FakeMessageBoxes::Box& box) {
    if (box.kind != FakeMessageBoxes::Kind::Confirm) return;
    QTest::mouseClick(Window().SetBitB, Qt::LeftButton);
    Window().Button2->click();
    Window().TestConnectBtn->click();
  };

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kTcpQuestion), InformationBox(kTcpSuccess)));
  EXPECT_FALSE(Window().DeviceActionRunning());
}

// The RS232 road over a pseudo-terminal that the library reaches as COM7.
class WirelessApplyOverSerialTest : public WirelessApplyTest {
 protected:
  void SetUp() override {
    if (!devsim::PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
    WirelessApplyTest::SetUp();
  }
  // The serial fields filled in; the RS232 transport chosen too unless `chooseRs232` is false.
  SimulatedDevice& StartSerialDevice(const OptionList& expected, bool chooseRs232 = true) {
    devsim::SimulatorConfig config;
    config.link = devsim::LinkKind::kPty;
    config.deviceNumber = 1;
    config.defaults = StaleValuesFor(expected);
    device_.emplace(config);
    portMap_.emplace("COM7", (*device_)->PtyPath());
    if (chooseRs232) Window().RS232Radio->click();
    Window().DeviceIdEdt->setText(QStringLiteral("1"));
    Window().ComIDEdit->setText(QStringLiteral("7"));
    Window().BaudRateEdit->setText(QStringLiteral("115200"));
    UseDhcpForTheDevice();
    return *device_;
  }

 private:
  std::optional<SimulatedDevice> device_;
  std::optional<ScopedSerialPortMap> portMap_;
};

TEST_F(WirelessApplyOverSerialTest, WholeApplyOverPseudoTerminalWithEmptyNetworkName) {
  OptionList expected = kOpenNetworkOptions;
  expected[1] = "SSID=";
  SimulatedDevice& device = StartSerialDevice(expected);
  platform.processes.processes = {{4242, "/usr/lib/serial/SERWATCH.DLL"}, {4243, "editor"}};
  programDir.Write("options.ini", "[Config]\r\nlocatIP=10.1.1.1\r\nPort=4370\r\n");
  Window().WirelessNetEdt->clear();

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox("Are you sure to set ？"),
                          WarningBox("Set successfully! Device will restart", "notice")));
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(expected));
  EXPECT_THAT(device.Held(expected), ElementsAreArray(expected));
  EXPECT_THAT(CodesAfterLastWrite(device.Codes()),
              ElementsAre(kRestartCode, kEndCode, kEndCode, kEndSessionCode));
  EXPECT_EQ(programDir.Read("options.ini"),
            OptionsIniBytes(expected, {"DeviceID=1", "COMPort=7", "Baudrate=115200"}));
  EXPECT_THAT(platform.processes.terminated, ElementsAre(4242));
  EXPECT_THAT(platform.arp.owners, IsEmpty());
  ExpectConnectionClosedByTool();
  ExpectClosingWorkDone();
}

TEST_F(WirelessApplyOverSerialTest, DownOnTcpIpSelectsRs232AndEnterAppliesOverIt) {
  SimulatedDevice& device = StartSerialDevice(kOpenNetworkOptions, false);
  Window().WirelessNetEdt->setText(QStringLiteral("Office"));
  Window().TC_IPRadio->setFocus();
  QTest::keyClick(Window().TC_IPRadio, Qt::Key_Down);
  ASSERT_TRUE(Window().RS232Radio->isChecked());

  QTest::keyClick(Window().RS232Radio, Qt::Key_Return);

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox("Are you sure to set ？"),
                          WarningBox("Set successfully! Device will restart", "notice")));
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(kOpenNetworkOptions));
  EXPECT_THAT(platform.arp.owners, IsEmpty()) << "no TCP/IP housekeeping";
}

TEST_F(WirelessApplyOverSerialTest, OptionRefusedTwiceGivesSetFaliInANoticeBox) {
  SimulatedDevice& device = StartSerialDevice(kOpenNetworkOptions);
  device->RefuseOption("AuthMode", 2);
  Window().WirelessNetEdt->setText(QStringLiteral("Office"));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox("Are you sure to set ？"), WarningBox("Set fali!", "notice")));
  EXPECT_THAT(CodesAfterLastWrite(device.Codes()),
              ElementsAre(kEndCode, kEndCode, kEndSessionCode));
  EXPECT_EQ(device->Restarts(), 0u);
  ExpectConnectionClosedByTool();
  ExpectClosingWorkDone();
}

}  // namespace
}  // namespace quillstone::testing
