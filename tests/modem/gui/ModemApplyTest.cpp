// The modem page's Set button end to end: the real library against the device simulator.
#include <QCloseEvent>
#include <QTimer>
#include <optional>

#include "ModemPageFixture.h"
#include "devicesim/Link.h"
#include "tests/modem/ModemWorkedExample.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const OptionList& kWorkedExample = kModemWorkedExample;
const OptionList& kWorkedExampleOverSerial = kModemWorkedExampleOverSerial;

// The "~" values in the scrambled form with the fixed key C0: each digit pair is the previous
// pair exclusive-or the value byte ('2' is 32 hex, '1' is 31 hex).
const char* const kScrambledModemType = "~MODEM=C0F2";
const char* const kScrambledAuthServer = "~AuthServer=C0F1";

class ModemApplyTest : public ModemPageTest {
 protected:
  SimulatedDevice& StartTcpDevice(const std::string& osValue = "NONE",
                                  const OptionList& expected = kWorkedExample) {
    devsim::SimulatorConfig config;
    config.osValue = osValue;
    config.defaults = StaleValuesFor(expected);
    device_.emplace(config);
    Window().EDTIP->setText(QStringLiteral("127.0.0.1"));
    Window().EDTPort->setText(QString::number((*device_)->Port()));
    return *device_;
  }

  void ArrangeWorkedExample() {
    PickItem(Window().CMDChcekM, QStringLiteral("LAN"));
    Window().Edit4->setText(QStringLiteral("10.0.0.2"));
    Window().EDTNum->setText(QStringLiteral("123"));
  }

  void ClickSet() { Window().Button2->click(); }

  // The bracket was begun and ended around the unused "~OS" read, nothing written, the
  // connection closed.
  void ExpectBracketWithoutWrites(const SimulatedDevice& device) {
    EXPECT_THAT(device.Codes(),
                ElementsAre(kBeginCode, kReadCode, kEndCode, kEndCode, kEndSessionCode));
    EXPECT_TRUE(device.WaitForHangUp());
    ASSERT_NE(DeviceHandle, 0);
    EXPECT_EQ(HALYARD_CLOSE(DeviceHandle), -1);
  }

 private:
  std::optional<SimulatedDevice> device_;
};

TEST_F(ModemApplyTest, EmptyDialNumberWithGprsStopsBeforeAnyConnection) {
  SimulatedDevice& device = StartTcpDevice();
  Window().EDTNum->setText(QStringLiteral("  "));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(InformationBox("Dial number can not be null,you must input it,please!")));
  EXPECT_THAT(platform.arp.owners, IsEmpty());
  EXPECT_EQ(device->Connections(), 0u);
  EXPECT_THAT(device->Records(), IsEmpty());
}

TEST_F(ModemApplyTest, EmptyDialNumberPassesWithRs232TypeAndSendsOnlyTheModemType) {
  SimulatedDevice& device = StartTcpDevice("NONE", {"~MODEM=1"});
  PickItem(Window().CMBModem, QStringLiteral("RS232 "));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(PlainBox("Set successfully!")));
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAre("~MODEM=C0F1"));
  EXPECT_EQ(device->Option("~MODEM"), "1");
}

class ModemApplyScrambledTest : public ModemApplyTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(ModemApplyScrambledTest, WorkedExampleOverTcpScramblesTildeOptionsOnTheWire) {
  SimulatedDevice& device = StartTcpDevice(GetParam());
  ArrangeWorkedExample();

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(PlainBox("Set successfully!")));
  OptionList onTheWire = kWorkedExample;
  onTheWire.front() = kScrambledModemType;
  onTheWire.back() = kScrambledAuthServer;
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(onTheWire));
  EXPECT_THAT(device.Held(kWorkedExample), ElementsAreArray(kWorkedExample));
  const auto records = device->Records();
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[0].code, kBeginCode);
  // The handler's own "~OS" read, then the batch writer's probe.
  for (const std::size_t probe : {1u, 2u}) {
    EXPECT_EQ(records[probe].code, kReadCode);
    EXPECT_EQ(records[probe].request, "~OS");
  }
  const auto codes = device.Codes();
  EXPECT_THAT(std::vector<std::uint16_t>(codes.end() - 3, codes.end()),
              ElementsAre(kEndCode, kEndCode, kEndSessionCode));
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kRestartCode), 0);
  EXPECT_EQ(platform.arp.owners.size(), 1u);
}

// The device asks for scrambled values when its "~OS" is "NONE" or empty.
INSTANTIATE_TEST_SUITE_P(OsNoneOrEmpty, ModemApplyScrambledTest, ::testing::Values("NONE", ""),
                         [](const auto& named) {
                           return std::string(*named.param ? "None" : "Empty");
                         });

TEST_F(ModemApplyTest, WorkedExampleOverTcpSendsPlainValuesToAnyOtherOs) {
  SimulatedDevice& device = StartTcpDevice("none");
  ArrangeWorkedExample();

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(PlainBox("Set successfully!")));
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(kWorkedExample));
  EXPECT_THAT(device.Held(kWorkedExample), ElementsAreArray(kWorkedExample));
}

TEST_F(ModemApplyTest, WorkedExampleOverPseudoTerminalSendsFourteenOptions) {
  if (!devsim::PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
  devsim::SimulatorConfig config;
  config.link = devsim::LinkKind::kPty;
  config.deviceNumber = 1;
  config.osValue = "NONE";
  config.defaults = StaleValuesFor(kWorkedExampleOverSerial);
  SimulatedDevice device(config);
  ScopedSerialPortMap portMap("COM3", device->PtyPath());
  platform.processes.processes = {{77, "serwatch.dll"}};
  ArrangeWorkedExample();
  Window().RadioButton2->click();
  Window().EDTCOMNum->setText(QStringLiteral("3"));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(PlainBox("Set successfully!")));
  OptionList onTheWire = kWorkedExampleOverSerial;
  onTheWire.front() = kScrambledModemType;
  EXPECT_THAT(device.Requests(kWriteCode), ElementsAreArray(onTheWire));
  EXPECT_THAT(device.Held(kWorkedExampleOverSerial), ElementsAreArray(kWorkedExampleOverSerial));
  EXPECT_EQ(device->Option("~AuthServer"), std::nullopt);
  EXPECT_THAT(platform.processes.terminated, ElementsAre(77));
  EXPECT_THAT(platform.arp.owners, IsEmpty());
  ASSERT_NE(DeviceHandle, 0);
  EXPECT_EQ(HALYARD_CLOSE(DeviceHandle), -1);
}

TEST_F(ModemApplyTest, OptionRefusedTwiceGivesSetFali) {
  SimulatedDevice& device = StartTcpDevice();
  device->RefuseOption("ModemDialNumber", 2);
  ArrangeWorkedExample();

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(PlainBox("Set fali!")));
  EXPECT_EQ(device->Option("ModemDialNumber"), "stale");
  EXPECT_EQ(device->Option("ASTimeOut"), "10");
  EXPECT_TRUE(device.WaitForHangUp());
}

TEST_F(ModemApplyTest, WindowClosedMidBatchEndsTheConfigurationWithoutABox) {
  SimulatedDevice& device = StartTcpDevice();
  ArrangeWorkedExample();
  // The window manager's close arrives while the second option is being written.
  struct CloseWatch : QObject {
    const SimulatedDevice* device = nullptr;
    std::optional<std::size_t> commandsAtClose;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Close && !commandsAtClose) {
        commandsAtClose = device->Codes().size();
      }
      return false;
    }
  } watch;
  watch.device = &device;
  Window().installEventFilter(&watch);
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (device.Requests(kWriteCode).size() < 2) return;
    user.stop();
    QCoreApplication::postEvent(Window().windowHandle(), new QCloseEvent);
  });
  user.start(0);

  ClickSet();

  EXPECT_THAT(boxes.shown, IsEmpty());
  ASSERT_TRUE(watch.commandsAtClose.has_value());
  const std::vector<std::uint16_t> codes = device.Codes();
  EXPECT_THAT(std::vector<std::uint16_t>(
                  codes.begin() + static_cast<std::ptrdiff_t>(*watch.commandsAtClose), codes.end()),
              ElementsAre(kEndCode, kEndCode, kEndSessionCode));
  EXPECT_LT(device.Requests(kWriteCode).size(), kWorkedExample.size());
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(Window().isVisible()) << "closed once the apply has ended";
}

TEST_F(ModemApplyTest, ClosedPortGivesCanNotConnect) {
  ArrangeWorkedExample();
  Window().EDTIP->setText(QStringLiteral("127.0.0.1"));
  Window().EDTPort->setText(QString::number(ClosedLoopbackPort()));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(InformationBox("can not connect with device")));
  EXPECT_EQ(DeviceHandle, 0);
}

struct FieldFaultCase {
  const char* name;
  std::function<void(TFernwick&)> arrange;
  std::string expectedBox;
  std::function<QWidget*(TFernwick&)> focus;
};

void PrintTo(const FieldFaultCase& fault, std::ostream* out) {
  *out << fault.name;
}

class ModemFieldFaultTest : public ModemApplyTest,
                            public ::testing::WithParamInterface<FieldFaultCase> {};

TEST_P(ModemFieldFaultTest, FaultEndsTheBracketWithNothingWritten) {
  SimulatedDevice& device = StartTcpDevice();
  Window().EDTNum->setText(QStringLiteral("123"));
  GetParam().arrange(Window());

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(GetParam().expectedBox));
  EXPECT_TRUE(Focused(GetParam().focus(Window())));
  ExpectBracketWithoutWrites(device);
}

INSTANTIATE_TEST_SUITE_P(
    AddressAndUrlChecks, ModemFieldFaultTest,
    ::testing::Values(FieldFaultCase{"IpTypeWithoutServerAddress", [](TFernwick&) {},
                                     WarningBox("not Set IPaddress!", "Notice"),
                                     [](TFernwick& w) -> QWidget* { return w.Edit4; }},
                      FieldFaultCase{"DnsTypeWithoutDnsAddress",
                                     [](TFernwick& w) {
                                       w.RadioButton4->click();
                                       w.URLEdit->setText(QStringLiteral("auth.example"));
                                     },
                                     PlainBox("DNSIPEdit not null"),
                                     [](TFernwick& w) -> QWidget* { return w.DNSIPEdit; }},
                      FieldFaultCase{"DnsTypeWithoutUrl",
                                     [](TFernwick& w) {
                                       w.RadioButton4->click();
                                       w.DNSIPEdit->setText(QStringLiteral("10.0.0.3"));
                                     },
                                     PlainBox("URLEdit not null"),
                                     [](TFernwick& w) -> QWidget* { return w.URLEdit; }}),
    [](const auto& named) { return std::string(named.param.name); });

struct ConversionCase {
  const char* name;
  bool serial;
  std::function<void(TFernwick&)> spoil;
  const char* expectedError;
};

void PrintTo(const ConversionCase& conversion, std::ostream* out) {
  *out << conversion.name;
}

class ModemConversionTest : public ModemApplyTest,
                            public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(ModemConversionTest, BadNumberStopsInTheOpeningWithTheErrorBox) {
  SimulatedDevice& device = StartTcpDevice();
  ArrangeWorkedExample();
  platform.processes.processes = {{91, "serwatch.dll"}};
  // Should the conversion ever let the opening through, it finds no real serial line.
  ScopedSerialPortMap portMap("COM1", programDir.File("no-such-line"));
  if (GetParam().serial) Window().RadioButton2->click();
  GetParam().spoil(Window());

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ErrorBox(GetParam().expectedError)));
  // The housekeeping of the chosen transport has run; no connection was attempted.
  if (GetParam().serial) {
    EXPECT_THAT(platform.processes.terminated, ElementsAre(91));
    EXPECT_THAT(platform.arp.owners, IsEmpty());
  } else {
    EXPECT_EQ(platform.arp.owners.size(), 1u);
    EXPECT_THAT(platform.processes.terminated, IsEmpty());
  }
  EXPECT_EQ(device->Connections(), 0u);
  EXPECT_EQ(DeviceHandle, 0);
  EXPECT_FALSE(Window().DeviceActionRunning());
}

INSTANTIATE_TEST_SUITE_P(
    TcpAndSerial, ModemConversionTest,
    ::testing::Values(
        ConversionCase{"PortNotANumber", false,
                       [](TFernwick& w) { w.EDTPort->setText(QStringLiteral("43x")); },
                       "'43x' is not a valid integer value."},
        ConversionCase{"PortOutOfRange", false,
                       [](TFernwick& w) { w.EDTPort->setText(QStringLiteral("65536")); },
                       "Range check error."},
        ConversionCase{"BaudNotANumber", true,
                       [](TFernwick& w) { w.EDTBaudRate->setText(QStringLiteral("fast")); },
                       "'fast' is not a valid integer value."},
        ConversionCase{"DeviceNumberOutOfRange", true,
                       [](TFernwick& w) { w.EDTDeviceID->setText(QStringLiteral("70000")); },
                       "Range check error."}),
    [](const auto& named) { return std::string(named.param.name); });

}  // namespace
}  // namespace quillstone::testing
