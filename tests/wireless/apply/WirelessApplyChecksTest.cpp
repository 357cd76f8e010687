// " Set" on the wireless page where it stops before writing anything: the form checks, the
// short-key scan, the key check, the confirmation, and the opening's number conversion.
#include <gmock/gmock.h>

#include <functional>

#include "WirelessApplyFixture.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct FormCheckCase {
  const char* name;
  bool serial;
  std::function<void(TFernwick&)> spoil;  // makes the otherwise valid page fail
  std::string expectedBox;
  std::function<QWidget*(TFernwick&)> focus;
};

void PrintTo(const FormCheckCase& check, std::ostream* out) {
  *out << check.name;
}

class WirelessFormCheckTest : public WirelessApplyTest,
                              public ::testing::WithParamInterface<FormCheckCase> {};

TEST_P(WirelessFormCheckTest, FirstFailingCheckStopsWithItsMessageAndFocus) {
  const FormCheckCase& check = GetParam();
  TFernwick& window = Window();
  if (check.serial) window.RS232Radio->click();
  window.WirelessNetEdt->setText(QStringLiteral("Office"));
  window.AddressIP->setText(QStringLiteral("127.0.0.1"));
  window.PortEdtWire->setText(QStringLiteral("4370"));
  window.DeviceIdEdt->setText(QStringLiteral("1"));
  window.ComIDEdit->setText(QStringLiteral("1"));
  window.BaudRateEdit->setText(QStringLiteral("57600"));
  check.spoil(window);

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(check.expectedBox));
  EXPECT_TRUE(Focused(check.focus(window)));
  ExpectNothingOpened();
  ExpectClosingWorkDone();
}

const char* const kSsidMessage = "ID(SSID) can not be null,you must input it,please!";
const char* const kAddressMessage = "AddressIP can not be null,you must input it ,pls!";
const char* const kPortMessage = "PortEdtWire can not be null,you must input it ,pls!";
const char* const kDeviceIdMessage = "DeviceId can not be null,you must input it ,pls!";
const char* const kComPortMessage = "ComPort can not be null,you must input it ,pls!";
const char* const kBaudMessage = "BaudRate can not be null,you must input it ,pls!";

QWidget* NetworkName(TFernwick& w) {
  return w.WirelessNetEdt;
}
QWidget* Address(TFernwick& w) {
  return w.AddressIP;
}
QWidget* Port(TFernwick& w) {
  return w.PortEdtWire;
}
QWidget* DeviceId(TFernwick& w) {
  return w.DeviceIdEdt;
}
QWidget* ComPort(TFernwick& w) {
  return w.ComIDEdit;
}
QWidget* BaudRate(TFernwick& w) {
  return w.BaudRateEdit;
}

INSTANTIATE_TEST_SUITE_P(
    TcpRoad, WirelessFormCheckTest,
    ::testing::Values(
        FormCheckCase{"BlankNetworkName", false,
                      [](TFernwick& w) { w.WirelessNetEdt->setText(QStringLiteral(" \t ")); },
                      InformationBox(kSsidMessage), NetworkName},
        // The address check's caption is the two-character Chinese word for "notice".
        FormCheckCase{"ClearedAddress", false, [](TFernwick& w) { w.AddressIP->clear(); },
                      WarningBox(kAddressMessage, "提示"), Address},
        FormCheckCase{"BlankPort", false,
                      [](TFernwick& w) { w.PortEdtWire->setText(QStringLiteral("  ")); },
                      WarningBox(kPortMessage, "notice"), Port},
        FormCheckCase{"EverythingEmptyReportsTheNetworkNameFirst", false,
                      [](TFernwick& w) {
                        w.WirelessNetEdt->clear();
                        w.AddressIP->clear();
                        w.PortEdtWire->clear();
                      },
                      InformationBox(kSsidMessage), NetworkName},
        FormCheckCase{"AddressBeforePort", false,
                      [](TFernwick& w) {
                        w.AddressIP->setText(QStringLiteral("0.0.0.0"));
                        w.PortEdtWire->clear();
                      },
                      WarningBox(kAddressMessage, "提示"), Address}),
    [](const auto& named) { return std::string(named.param.name); });

// The RS232 road has no network name check: every case also leaves the name empty.
INSTANTIATE_TEST_SUITE_P(
    SerialRoad, WirelessFormCheckTest,
    ::testing::Values(FormCheckCase{"BlankDeviceId", true,
                                    [](TFernwick& w) {
                                      w.WirelessNetEdt->clear();
                                      w.DeviceIdEdt->setText(QStringLiteral(" "));
                                    },
                                    WarningBox(kDeviceIdMessage, "notice"), DeviceId},
                      FormCheckCase{"EmptyComPort", true,
                                    [](TFernwick& w) {
                                      w.WirelessNetEdt->clear();
                                      w.ComIDEdit->clear();
                                    },
                                    WarningBox(kComPortMessage, "notice"), ComPort},
                      FormCheckCase{"EmptyBaudRate", true,
                                    [](TFernwick& w) {
                                      w.WirelessNetEdt->clear();
                                      w.BaudRateEdit->clear();
                                    },
                                    WarningBox(kBaudMessage, "notice"), BaudRate},
                      FormCheckCase{"EverythingEmptyReportsTheDeviceIdFirst", true,
                                    [](TFernwick& w) {
                                      w.WirelessNetEdt->clear();
                                      w.DeviceIdEdt->clear();
                                      w.ComIDEdit->clear();
                                      w.BaudRateEdit->clear();
                                    },
                                    WarningBox(kDeviceIdMessage, "notice"), DeviceId}),
    [](const auto& named) { return std::string(named.param.name); });

// The page ready for the TCP/IP road, with the WEP keys on.
class WirelessKeyScanTest : public WirelessApplyTest {
 protected:
  WirelessKeyScanTest() {
    Window().WirelessNetEdt->setText(QStringLiteral("Office"));
    Window().AddressIP->setText(QStringLiteral("127.0.0.1"));
    PickItem(Window().WepEncryptCob, QStringLiteral("WEP"));
  }

  // A 26-digit key kept when the format changed to 10 digits, the field left again.
  void EnterOverlongKey1() {
    PickItem(Window().PasswordModeCob, kFormats[1]);
    EnterKey(1, kLongKey);
    PickItem(Window().PasswordModeCob, kFormats[0]);
    EnterKey(1, kLongKey);
  }

  static inline const QStringList kFormats = {
      "64-bit(104+24)-10 hexadecimal digits", "128-bit(104+24)-26 hexadecimal digits",
      "64-bit(40+24)-5 ASCII characters", "128-bit(104+24)-13 ASCII characters"};
  static inline const QString kLongKey = QStringLiteral("0123456789ABCDEF0123456789");
};

struct MarkerCase {
  int key;
  int format;
  const char* message;
};

void PrintTo(const MarkerCase& marker, std::ostream* out) {
  *out << "p" << marker.key << "=" << marker.format;
}

class WirelessShortKeyMarkerTest : public WirelessKeyScanTest,
                                   public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(WirelessShortKeyMarkerTest, ShortKeyIsReportedWithTheApplysOwnText) {
  const MarkerCase& marker = GetParam();
  PickItem(Window().PasswordModeCob, kFormats[marker.format]);
  EnterKey(marker.key, QStringLiteral("a"));
  // Another format is shown when Set is pressed; the scan puts the key's own one back.
  Window().PasswordModeCob->setCurrentIndex((marker.format + 1) % 4);

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(WarningBox(marker.message, "notice")));
  EXPECT_EQ(Window().PasswordModeCob->currentIndex(), marker.format);
  EXPECT_TRUE(Focused(KeyEdit(marker.key)));
  ExpectNothingOpened();
  ExpectClosingWorkDone();
}

INSTANTIATE_TEST_SUITE_P(
    AllSixteen, WirelessShortKeyMarkerTest,
    ::testing::Values(
        MarkerCase{1, 0, "Password 1, please input enter 64-bit(104+24)-10 hexadecimal digits"},
        MarkerCase{1, 1, "Password 1, please input 128-bit(104+24)-26 hexadecimal digits"},
        MarkerCase{1, 2, "Password 1,please input 64-bit(40+24)-5 ASCII characters"},
        MarkerCase{1, 3, "Password 1,please input 128-bit(104+24)-13 ASCII characters"},
        MarkerCase{2, 0, "Password 2,please input enter 64-bit(104+24)-10 hexadecimal digits"},
        MarkerCase{2, 1, "Password 2,please input 128-bit(104+24)-26 hexadecimal digits"},
        MarkerCase{2, 2, "Password 2,please input 64-bit(40+24)-5 ASCII characters"},
        MarkerCase{2, 3, "Password 2,please input 128-bit(104+24)-13 ASCII characters"},
        MarkerCase{3, 0, "Password 3,please input 64-bit(104+24)-10 hexadecimal digits"},
        MarkerCase{3, 1, "Password 3,please input 128-bit(104+24)-26 hexadecimal digits"},
        MarkerCase{3, 2, "Password 3,please input 64-bit(40+24)-5 ASCII characters"},
        MarkerCase{3, 3, "Password 3,please input 128-bit(104+24)-13 ASCII characters"},
        MarkerCase{4, 0, "Password 4,please input 64-bit(104+24)-10 hexadecimal digits"},
        MarkerCase{4, 1, "Password 4,please input 128-bit(104+24)-26 hexadecimal digits"},
        MarkerCase{4, 2, "Password 4,please input 64-bit(40+24)-5 ASCII characters"},
        MarkerCase{4, 3, "Password 4,please input 128-bit(104+24)-13 ASCII characters"}),
    [](const auto& named) {
      return "Key" + std::to_string(named.param.key) + "Format" +
             std::to_string(named.param.format);
    });

TEST_F(WirelessKeyScanTest, OnlyTheFirstShortKeyIsReportedAndTheFormatHandlerDoesNotRun) {
  PickItem(Window().PasswordModeCob, kFormats[1]);
  EnterKey(2, QStringLiteral("abc"));
  PickItem(Window().PasswordModeCob, kFormats[0]);
  EnterKey(3, QStringLiteral("12"));
  PickItem(Window().PasswordModeCob, kFormats[3]);  // key fields now limited to 13

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(WarningBox(
                  "Password 2,please input 128-bit(104+24)-26 hexadecimal digits", "notice")));
  EXPECT_EQ(Window().PasswordModeCob->currentIndex(), 1);
  // Had the format's change handling run, the limits would now be 26.
  for (int key = 1; key <= 4; ++key) EXPECT_EQ(KeyEdit(key)->lengthLimit(), 13) << key;
  EXPECT_TRUE(Focused(Window().WepPasswordEdt2));
  ExpectClosingWorkDone();
}

TEST_F(WirelessKeyScanTest, KeyScanCutsARecordedKeyToItsFormatBeforeAsking) {
  EnterOverlongKey1();
  boxes.confirmAnswer = false;

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox("Are you  sure to set ？")));
  EXPECT_EQ(Window().WepPasswordEdt1->text(), QStringLiteral("0123456789"));
}

TEST_F(WirelessKeyScanTest, DisableRunsNoFormCheckAndNoKeyScan) {
  EnterOverlongKey1();
  Window().DisableRadio->click();
  Window().WirelessNetEdt->clear();
  Window().AddressIP->clear();
  Window().PortEdtWire->clear();

  ClickSet();

  // Straight to the question; the empty port then fails in the opening's conversion.
  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox("Are you  sure to set ？"),
                                             ErrorBox("'' is not a valid integer value.")));
  EXPECT_EQ(Window().WepPasswordEdt1->text(), kLongKey);
  EXPECT_EQ(platform.arp.owners.size(), 1u);
  EXPECT_EQ(DeviceHandle, 0);
  EXPECT_FALSE(programDir.Exists("options.ini"));
  ExpectClosingWorkDone();
}

TEST_F(WirelessKeyScanTest, PortOutOfRangeStopsInTheOpeningWithRangeCheckError) {
  PickItem(Window().PasswordModeCob, kFormats[0]);
  EnterKey(1, QStringLiteral("0123456789"));
  Window().PortEdtWire->setText(QStringLiteral("65536"));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox("Are you  sure to set ？"), ErrorBox("Range check error.")));
  EXPECT_EQ(DeviceHandle, 0);
  ExpectClosingWorkDone();
}

TEST_F(WirelessKeyScanTest, KeyCheckFaultStopsBeforeTheQuestion) {
  PickItem(Window().AuthenticationTypeCob, QStringLiteral("WPAPSK"));
  Window().WAPpasswordEdit->setText(QStringLiteral("short"));

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(InformationBox(PassphraseMessage)));
  ExpectNothingOpened();
  ExpectClosingWorkDone();
}

struct CancelCase {
  const char* name;
  bool serial;
  const char* question;
};

void PrintTo(const CancelCase& cancel, std::ostream* out) {
  *out << cancel.name;
}

class WirelessCancelTest : public WirelessKeyScanTest,
                           public ::testing::WithParamInterface<CancelCase> {};

TEST_P(WirelessCancelTest, CancelLeavesDeviceAndOptionsIniAloneButForgetsKeyFormats) {
  SimulatedDevice& device = StartTcpDevice();
  if (GetParam().serial) Window().RS232Radio->click();
  PickItem(Window().PasswordModeCob, kFormats[0]);
  Window().WepPasswordEdt1->setText(QStringLiteral("0123456789"));
  UseDhcpForTheDevice();
  const std::string before = "[Config]\r\nlocatIP=127.0.0.1\r\nPort=4370\r\n";
  programDir.Write("options.ini", before);
  boxes.confirmAnswer = false;
  int formatWhileAsked = NoKeyFormat;
  boxes.onShow = [&](const FakeMessageBoxes::Box&) { formatWhileAsked = WepKeyFormat[1]; };

  ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox(GetParam().question)));
  EXPECT_EQ(formatWhileAsked, 0) << "the format of a key of full length is recorded first";
  EXPECT_EQ(programDir.Read("options.ini"), before);
  EXPECT_EQ(device->Connections(), 0u);
  EXPECT_THAT(device->Records(), IsEmpty());
  EXPECT_THAT(platform.arp.owners, IsEmpty());
  EXPECT_THAT(platform.processes.terminated, IsEmpty());
  ExpectClosingWorkDone();
}

// Both questions end in the full-width question mark; the TCP/IP one has two blanks.
INSTANTIATE_TEST_SUITE_P(BothRoads, WirelessCancelTest,
                         ::testing::Values(CancelCase{"Tcp", false, "Are you  sure to set ？"},
                                           CancelCase{"Serial", true, "Are you sure to set ？"}),
                         [](const auto& named) { return std::string(named.param.name); });

}  // namespace
}  // namespace quillstone::testing
