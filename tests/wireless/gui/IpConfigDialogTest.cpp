// The device IP dialog: its form, the DHCP and fixed-address states, the subnet mask filled on
// leaving the address, the first-octet guard, what OK and the close button leave in
// IPconfig.ini (compared byte for byte), and its modal life from the main window's button.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/IpAddressEdit.h"
#include "app/WidgetState.h"
#include "tests/support/GuiTestSupport.h"
#include "wireless/IPConfig.h"

namespace quillstone::testing {
namespace {

constexpr const char* kFixedFile =
    "[Config]\r\nIPaddress=10.1.2.3\r\nsubMask=255.0.0.0\r\nGateWay=10.1.2.254\r\nIPRadio=1\r\n";

std::string FixedFile(const std::string& address, const std::string& mask,
                      const std::string& gateway) {
  return "[Config]\r\nIPaddress=" + address + "\r\nsubMask=" + mask + "\r\nGateWay=" + gateway +
         "\r\nIPRadio=1\r\n";
}

struct AddressTexts {
  QString address, mask, gateway;
  bool operator==(const AddressTexts&) const = default;
};
void PrintTo(const AddressTexts& t, std::ostream* out) {
  *out << t.address.toStdString() << " / " << t.mask.toStdString() << " / "
       << t.gateway.toStdString();
}

AddressTexts Texts(const TIPconfigFrm& d) {
  return {d.IPAddressEdt->text(), d.SubnetMaskEdt->text(), d.GateWayEdt->text()};
}
const AddressTexts kAllZero = {"0.0.0.0", "0.0.0.0", "0.0.0.0"};

// The address group and its three controls, by their own flags: all on, all off, or mixed.
std::string AddressControls(const TIPconfigFrm& d) {
  const int on = OwnEnabled(d.AssignIPGroup) + OwnEnabled(d.IPAddressEdt) +
                 OwnEnabled(d.SubnetMaskEdt) + OwnEnabled(d.GateWayEdt);
  return on == 4 ? "enabled" : on == 0 ? "disabled" : "mixed";
}

// Enters a field of an address control as the Tab key does: focused, its text selected for
// overtyping.
void EnterField(IpAddressEdit* control, int field) {
  control->field(field)->setFocus(Qt::TabFocusReason);
  ASSERT_EQ(QApplication::focusWidget(), control->field(field));
  control->field(field)->selectAll();
}

// Types a whole address into the control, field after field.
void TypeAddress(IpAddressEdit* control, const std::string& address) {
  EnterField(control, 0);
  TypeKeys(address);
}

// One dialog, opened as the main window's button does but without blocking: shown and active,
// so that the test can type and move the focus; it frees itself when it closes.
class IpConfigDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessWideState(); }
  void TearDown() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete dialog.data();  // only when a test left it open
  }

  TIPconfigFrm& Open() {
    dialog = new TIPconfigFrm(dir.Path(), boxes);
    ShowActive(*dialog);
    return *dialog;
  }
  // True once the dialog has closed and freed itself.
  bool Freed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return dialog.isNull();
  }
  TempDirectory dir;
  FakeMessageBoxes boxes;
  QPointer<TIPconfigFrm> dialog;
};

TEST_F(IpConfigDialogTest, IsTheConfigMachineFormWithItsControlsInTabOrder) {
  TIPconfigFrm& d = Open();
  EXPECT_EQ(d.windowTitle(), "ConfigMachine");
  // The dialog asks for its outer size. Where the fonts found are wider than the design's
  // (Wine's, for one) and its content needs more room, the layout's minimum wins: that is the
  // toolkit's, not the dialog's, to decide.
  const QSize frame = d.frameGeometry().size() - d.size();
  EXPECT_EQ(d.frameGeometry().size(), QSize(358, 253).expandedTo(d.minimumSizeHint() + frame))
      << "outer size";
  EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_NE(d.minimumSize(), d.maximumSize()) << "resizable";
  EXPECT_EQ(d.font().family(), "宋体");
  EXPECT_EQ(d.font().pixelSize(), 13);

  EXPECT_EQ(d.findChild<QRadioButton*>("AutoGetIPRadio"), d.AutoGetIPRadio);
  EXPECT_EQ(d.AutoGetIPRadio->text(), "DHCP");
  EXPECT_EQ(d.findChild<QRadioButton*>("AssignIPRadio"), d.AssignIPRadio);
  EXPECT_EQ(d.AssignIPRadio->text(), "Config IP Address");
  EXPECT_EQ(d.AutoGetIPRadio->parentWidget(), d.AssignIPRadio->parentWidget());
  EXPECT_EQ(d.findChild<QGroupBox*>("AssignIPGroup"), d.AssignIPGroup);
  EXPECT_EQ(d.findChild<IpAddressEdit*>("IPAddressEdt"), d.IPAddressEdt);
  EXPECT_EQ(d.findChild<IpAddressEdit*>("SubnetMaskEdt"), d.SubnetMaskEdt);
  EXPECT_EQ(d.findChild<IpAddressEdit*>("GateWayEdt"), d.GateWayEdt);
  QStringList labels;
  for (const QLabel* label : d.AssignIPGroup->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    labels << label->text();
  EXPECT_EQ(labels, QStringList({"IP Address", "Subnet Mask", "Default Gateway"}));
  EXPECT_EQ(d.findChild<QPushButton*>("SetIP"), d.SetIP);
  EXPECT_EQ(d.SetIP->text(), "OK");
  EXPECT_TRUE(d.SetIP->isDefault());
  EXPECT_EQ(d.findChild<QPushButton*>("Cancel"), d.Cancel);
  EXPECT_EQ(d.Cancel->text(), "Cancel");
  EXPECT_FALSE(d.Cancel->isVisible());

  const std::vector<QWidget*> order = {d.AutoGetIPRadio, d.IPAddressEdt, d.SubnetMaskEdt,
                                       d.GateWayEdt,     d.SetIP,        d.AssignIPRadio};
  EXPECT_EQ(TabChain(d.AutoGetIPRadio, order), order);
}

TEST_F(IpConfigDialogTest, RadiosKeepTheirSelectionAgainstSpaceAndClicksAndArrowsStayInside) {
  TIPconfigFrm& d = Open();
  Click(d.AutoGetIPRadio);
  QTest::keyClick(d.AutoGetIPRadio, Qt::Key_Space);
  Click(d.AutoGetIPRadio);
  EXPECT_TRUE(d.AutoGetIPRadio->isChecked());
  EXPECT_EQ(TabWalk(d.AutoGetIPRadio), std::vector<std::string>{"SetIP"});

  QTest::keyClick(d.AutoGetIPRadio, Qt::Key_Down);
  EXPECT_TRUE(d.AssignIPRadio->isChecked());
  EXPECT_EQ(AddressControls(d), "enabled") << "AssignIPRadioClick ran";
  QTest::keyClick(d.AssignIPRadio, Qt::Key_Space);
  EXPECT_TRUE(d.AssignIPRadio->isChecked());
  EXPECT_EQ(TabWalk(d.SetIP), (std::vector<std::string>{"AssignIPRadio", "IPAddressEdt",
                                                        "SubnetMaskEdt", "GateWayEdt"}));
  EXPECT_EQ(
      TabWalk(d.SetIP, 60, true),
      (std::vector<std::string>{"GateWayEdt", "SubnetMaskEdt", "IPAddressEdt", "AssignIPRadio"}));

  d.AssignIPRadio->setFocus();
  QTest::keyClick(d.AssignIPRadio, Qt::Key_Down);
  EXPECT_TRUE(d.AutoGetIPRadio->isChecked()) << "wraps round the two";
  EXPECT_EQ(QApplication::focusWidget(), d.AutoGetIPRadio);
  EXPECT_EQ(AddressControls(d), "disabled") << "AutoGetIPRadioClick ran";
}

TEST_F(IpConfigDialogTest, WithoutFileOpensInDhcpAndOkStoresOnlyTheDhcpChoice) {
  TIPconfigFrm& d = Open();
  EXPECT_TRUE(d.AutoGetIPRadio->isChecked());
  EXPECT_FALSE(d.AssignIPRadio->isChecked());
  EXPECT_EQ(AddressControls(d), "disabled");
  EXPECT_EQ(Texts(d), kAllZero);

  Click(d.SetIP);
  EXPECT_EQ(dir.Read("IPconfig.ini"), "[Config]\r\nIPRadio=0\r\n");
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(Freed());
}

TEST_F(IpConfigDialogTest, EnterPressesOk) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  TypeAddress(d.IPAddressEdt, "192.168.1.9\t");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(dir.Read("IPconfig.ini"), FixedFile("192.168.1.9", "255.255.255.0", "0.0.0.0"));
  EXPECT_TRUE(Freed());
}

// How the fixed address came to hold 0.0.0.0 in the address or the mask, and the key or click
// that then presses OK.
struct ZeroCase {
  const char* name;
  void (*arrange)(TIPconfigFrm&);
  void (*pressOk)(TIPconfigFrm&);
  const char* notice;
  const char* focus;  // the control left with the focus
};
void PrintTo(const ZeroCase& c, std::ostream* out) {
  *out << c.name;
}

constexpr const char* kAddressNotice = "Enter the device's IP address: 0.0.0.0 is no address.";
constexpr const char* kMaskNotice = "Enter the subnet mask: 0.0.0.0 is no mask.";

// A stray Up on the selected "Config IP Address" selects DHCP, which clears the three; Down
// selects the fixed address again.
void UpThenDown(TIPconfigFrm& d) {
  Click(d.AssignIPRadio);
  QTest::keyClick(d.AssignIPRadio, Qt::Key_Up);
  ASSERT_TRUE(d.AutoGetIPRadio->isChecked());
  QTest::keyClick(d.AutoGetIPRadio, Qt::Key_Down);
  ASSERT_TRUE(d.AssignIPRadio->isChecked());
  ASSERT_EQ(Texts(d), kAllZero);
}
void PressEnter(TIPconfigFrm&) {
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}
void ClickOk(TIPconfigFrm& d) {
  Click(d.SetIP);
}

const ZeroCase kZeroCases[] = {
    {"UpDownThenEnter", UpThenDown, PressEnter, kAddressNotice, "IPAddressEdt"},
    {"UpDownThenClick", UpThenDown, ClickOk, kAddressNotice, "IPAddressEdt"},
    {"UpDownGatewayOnly",
     [](TIPconfigFrm& d) {
       UpThenDown(d);
       EnterField(d.GateWayEdt, 0);
       TypeKeys("10.1.2.254");
     },
     ClickOk, kAddressNotice, "IPAddressEdt"},
    {"MaskCleared",
     [](TIPconfigFrm& d) {
       EnterField(d.SubnetMaskEdt, 0);
       PasteKeys(QStringLiteral("0.0.0.0"));
     },
     PressEnter, kMaskNotice, "SubnetMaskEdt"},
    {"ClassDAddressLeftWithoutMask",
     [](TIPconfigFrm& d) {
       UpThenDown(d);
       TypeAddress(d.IPAddressEdt, "224.1.1.1\t");
     },
     PressEnter, kMaskNotice, "SubnetMaskEdt"},
    {"EnterWhileStillInTheAddress",
     [](TIPconfigFrm& d) {
       UpThenDown(d);
       TypeAddress(d.IPAddressEdt, "192.168.1.9");
     },
     PressEnter, kMaskNotice, "SubnetMaskEdt"},
};

class ZeroAddressTest : public IpConfigDialogTest,
                        public ::testing::WithParamInterface<ZeroCase> {};

TEST_P(ZeroAddressTest, OkRefusesAFixedAddressOrMaskOfZerosAndKeepsTheDialogOpen) {
  dir.Write("IPconfig.ini", kFixedFile);
  TIPconfigFrm& d = Open();
  ASSERT_TRUE(d.AssignIPRadio->isChecked());
  GetParam().arrange(d);
  GetParam().pressOk(d);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, FakeMessageBoxes::Kind::Warning);
  EXPECT_EQ(boxes.shown[0].caption, "notice");
  EXPECT_EQ(boxes.shown[0].text, GetParam().notice);
  EXPECT_EQ(ControlName(QApplication::focusWidget()), GetParam().focus);
  EXPECT_EQ(dir.Read("IPconfig.ini"), kFixedFile) << "nothing saved";
  EXPECT_FALSE(Freed());
  EXPECT_TRUE(d.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Cases, ZeroAddressTest, ::testing::ValuesIn(kZeroCases));

TEST_F(IpConfigDialogTest, AfterTheNoticeTheAddressIsTypedWhereTheFocusWasLeftAndSaved) {
  TIPconfigFrm& d = Open();
  UpThenDown(d);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{kAddressNotice});
  TypeKeys("010001002003\t");  // the mask is filled on leaving the address
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(dir.Read("IPconfig.ini"), FixedFile("10.1.2.3", "255.0.0.0", "0.0.0.0"))
      << "a gateway of 0.0.0.0 means none";
  EXPECT_TRUE(Freed());
}

TEST_F(IpConfigDialogTest, DhcpIsSavedThoughTheControlsReadZeros) {
  dir.Write("IPconfig.ini", kFixedFile);
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  QTest::keyClick(d.AssignIPRadio, Qt::Key_Up);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(dir.Read("IPconfig.ini"),
            "[Config]\r\nIPaddress=10.1.2.3\r\nsubMask=255.0.0.0\r\nGateWay=10.1.2.254\r\n"
            "IPRadio=0\r\n");
  EXPECT_TRUE(Freed());
}

TEST_F(IpConfigDialogTest, UnexpectedStoredChoiceOpensInDhcp) {
  dir.Write("IPconfig.ini", "[Config]\r\nIPaddress=10.1.2.3\r\nIPRadio=2\r\n");
  TIPconfigFrm& d = Open();
  EXPECT_TRUE(d.AutoGetIPRadio->isChecked());
  EXPECT_EQ(AddressControls(d), "disabled");
  EXPECT_EQ(Texts(d), kAllZero);
}

TEST_F(IpConfigDialogTest, StoredFixedAddressOpensEnabledAndNormalised) {
  dir.Write("IPconfig.ini",
            "[config]\r\nipradio=1\r\nIPaddress=10.1.2.3\r\nSUBMASK=255.0.0.0\r\nGateWay=x.1\r\n");
  TIPconfigFrm& d = Open();
  EXPECT_TRUE(d.AssignIPRadio->isChecked());
  EXPECT_FALSE(d.AutoGetIPRadio->isChecked());
  EXPECT_EQ(AddressControls(d), "enabled");
  EXPECT_EQ(Texts(d), (AddressTexts{"10.1.2.3", "255.0.0.0", "0.1.0.0"}));
}

struct MaskCase {
  const char* address;
  const char* mask;
};

// Readable case names in the test listing instead of the object's bytes.
void PrintTo(const MaskCase& c, std::ostream* out) {
  *out << c.address << " -> " << c.mask;
}

class SubnetMaskFillTest : public IpConfigDialogTest,
                           public ::testing::WithParamInterface<MaskCase> {};

TEST_P(SubnetMaskFillTest, LeavingTheAddressForOkFillsAnUnsetMaskByAddressClass) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  ASSERT_EQ(AddressControls(d), "enabled");
  TypeAddress(d.IPAddressEdt, GetParam().address);
  Click(d.SetIP);  // pressing OK takes the focus from the address first
  EXPECT_EQ(d.SubnetMaskEdt->text(), GetParam().mask);
  if (std::string(GetParam().mask) == "0.0.0.0") {
    // Left unset, the mask is refused (see ZeroAddressTest).
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kMaskNotice});
    EXPECT_FALSE(dir.Exists("IPconfig.ini"));
    return;
  }
  EXPECT_EQ(dir.Read("IPconfig.ini"), FixedFile(GetParam().address, GetParam().mask, "0.0.0.0"));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(Freed());
}

INSTANTIATE_TEST_SUITE_P(
    AddressClasses, SubnetMaskFillTest,
    ::testing::Values(MaskCase{"10.1.2.3", "255.0.0.0"}, MaskCase{"1.0.0.1", "255.0.0.0"},
                      MaskCase{"126.9.9.9", "255.0.0.0"}, MaskCase{"128.0.0.1", "255.255.0.0"},
                      MaskCase{"172.16.0.5", "255.255.0.0"}, MaskCase{"191.1.1.1", "255.255.0.0"},
                      MaskCase{"192.168.1.9", "255.255.255.0"},
                      MaskCase{"223.1.1.1", "255.255.255.0"}, MaskCase{"224.1.1.1", "0.0.0.0"},
                      MaskCase{"240.1.1.1", "0.0.0.0"}, MaskCase{"0.1.1.1", "0.0.0.0"}));

TEST_F(IpConfigDialogTest, MaskAlreadySetIsNeverOverwrittenAndTheGatewayNeverFilled) {
  dir.Write("IPconfig.ini", FixedFile("192.168.1.9", "255.255.255.0", "0.0.0.0"));
  TIPconfigFrm& d = Open();
  TypeAddress(d.IPAddressEdt, "10.0.0.1");
  EnterField(d.GateWayEdt, 0);
  EXPECT_EQ(Texts(d), (AddressTexts{"10.0.0.1", "255.255.255.0", "0.0.0.0"}));
  TypeKeys("10.0.0.254");
  Click(d.SetIP);
  EXPECT_EQ(dir.Read("IPconfig.ini"), FixedFile("10.0.0.1", "255.255.255.0", "10.0.0.254"));
}

TEST_F(IpConfigDialogTest, TabAfterEachAddressMovesToTheNextControlNotIntoTheNextOctet) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  TypeAddress(d.IPAddressEdt, "10.1.1.5\t\t10.1.1.254\t");
  EXPECT_EQ(QApplication::focusWidget(), d.SetIP);
  EXPECT_EQ(Texts(d), (AddressTexts{"10.1.1.5", "255.0.0.0", "10.1.1.254"}));
  QTest::keyClick(d.SetIP, Qt::Key_Space);
  EXPECT_EQ(dir.Read("IPconfig.ini"), FixedFile("10.1.1.5", "255.0.0.0", "10.1.1.254"));
}

// Each of the dialog's three address controls, entered the usual ways.
struct ControlCase {
  const char* name;
  IpAddressEdit* TIPconfigFrm::*control;
  const char* next;  // the control one Tab press after it
};
void PrintTo(const ControlCase& c, std::ostream* out) {
  *out << c.name;
}

class DialogAddressControlTest : public IpConfigDialogTest,
                                 public ::testing::WithParamInterface<ControlCase> {
 protected:
  IpAddressEdit* Control() { return dialog->*GetParam().control; }
  // Clicks into field `index` of the control.
  void ClickField(int index) {
    QTest::mouseClick(Control()->field(index), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), Control()->field(index));
  }
};

TEST_P(DialogAddressControlTest, TypedDigitsMoveOnAndOneTabLeaves) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  ClickField(0);
  Control()->field(0)->selectAll();
  TypeKeys("192168001001");
  EXPECT_EQ(Control()->text(), "192.168.1.1");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(ControlName(QApplication::focusWidget()), GetParam().next);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), Control()->field(0));
}

TEST_P(DialogAddressControlTest, ShiftTabFromALaterFieldLeavesBackwards) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  ClickField(2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_NE(ControlName(QApplication::focusWidget()), GetParam().name);
  ClickField(1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(ControlName(QApplication::focusWidget()), GetParam().next);
}

TEST_P(DialogAddressControlTest, PastedOrComposedAddressFillsAllFour) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  ClickField(2);
  PasteKeys(QStringLiteral(" 172.16.0.5\r\n"));
  EXPECT_EQ(Control()->text(), "172.16.0.5");
  ClickField(1);
  ComposeText(QStringLiteral("10.0.0.1"));
  EXPECT_EQ(Control()->text(), "10.0.0.1");
  EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Controls, DialogAddressControlTest,
    ::testing::Values(ControlCase{"IPAddressEdt", &TIPconfigFrm::IPAddressEdt, "SubnetMaskEdt"},
                      ControlCase{"SubnetMaskEdt", &TIPconfigFrm::SubnetMaskEdt, "GateWayEdt"},
                      ControlCase{"GateWayEdt", &TIPconfigFrm::GateWayEdt, "SetIP"}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(IpConfigDialogTest, PastedAddressMeetsTheFirstOctetGuardAndFillsTheMaskOnLeaving) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  EnterField(d.IPAddressEdt, 2);
  PasteKeys(QStringLiteral("127.0.0.9"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Do not set first octet of address to 127!"});
  EXPECT_EQ(d.IPAddressEdt->text(), "1.0.0.9");
  EXPECT_EQ(QApplication::focusWidget(), d.IPAddressEdt->field(0)) << "back on the address";
  EXPECT_EQ(d.SubnetMaskEdt->text(), "0.0.0.0") << "the address was not left";
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(d.SubnetMaskEdt->text(), "255.0.0.0") << "filled by the replaced first octet";
}

TEST_F(IpConfigDialogTest, DestroyedWhileAPastedFirstOctetIsUnreportedItShowsNoBox) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  EnterField(d.IPAddressEdt, 2);
  PasteKeys(QStringLiteral("127.0.0.9"));
  delete &d;  // hiding it on the way takes the focus from the address
  EXPECT_TRUE(dialog.isNull());
  EXPECT_TRUE(boxes.shown.empty());
}

class OctetGuardTest : public IpConfigDialogTest, public ::testing::WithParamInterface<int> {
 protected:
  // Types `octet` into the address's first field; its third digit moves on to the second.
  void TypeFirstOctet(int octet) {
    EnterField(dialog->IPAddressEdt, 0);
    TypeKeys(std::to_string(octet));
  }
};

TEST_P(OctetGuardTest, FirstOctetIsRefusedWithAWarningAndTheSecondReportPassesSilently) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  const int octet = GetParam();
  const std::string warning = "Do not set first octet of address to " + std::to_string(octet) + "!";

  TypeFirstOctet(octet);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, FakeMessageBoxes::Kind::Warning);
  EXPECT_EQ(boxes.shown[0].text, warning);
  EXPECT_EQ(boxes.shown[0].caption, "notice");
  EXPECT_EQ(d.IPAddressEdt->field(0)->text(), "1");
  EXPECT_EQ(QApplication::focusWidget(), d.IPAddressEdt->field(0)) << "back on the address";
  EXPECT_TRUE(OctetWarningActive);

  // The next refused report finds the flag set: it clears it and lets the value through.
  TypeFirstOctet(octet);
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(d.IPAddressEdt->field(0)->text(), QString::number(octet));
  EXPECT_FALSE(OctetWarningActive);

  // With the flag clear again, the other refused value warns again (retyping the same value
  // would be no change, and the control reports changes only).
  const int other = octet == 127 ? 255 : 127;
  TypeFirstOctet(other);
  EXPECT_EQ(boxes.Texts(),
            (std::vector<std::string>{
                warning, "Do not set first octet of address to " + std::to_string(other) + "!"}));
  EXPECT_EQ(d.IPAddressEdt->field(0)->text(), "1");
  EXPECT_TRUE(OctetWarningActive);
}

INSTANTIATE_TEST_SUITE_P(RefusedOctets, OctetGuardTest, ::testing::Values(127, 255));

TEST_F(IpConfigDialogTest, OctetGuardLeavesOtherFieldsAndValuesAndTheFlagAlone) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  TypeAddress(d.IPAddressEdt, "126.127.255.");
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(d.IPAddressEdt->text(), "126.127.255.0");

  OctetWarningActive = true;
  EnterField(d.IPAddressEdt, 1);
  TypeKeys("255.");
  EXPECT_TRUE(OctetWarningActive) << "a report of another field does not touch the flag";
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(IpConfigDialogTest, ReportWhileTheWarningIsOpenClearsTheFlagWithoutASecondBox) {
  TIPconfigFrm& d = Open();
  Click(d.AssignIPRadio);
  // The warning box takes the focus, as a real box does, while the field still shows 127.
  QMessageBox realBox(QMessageBox::Warning, QStringLiteral("notice"), QStringLiteral("x"));
  boxes.onShow = [&realBox](const FakeMessageBoxes::Box&) { ShowActive(realBox); };
  EnterField(d.IPAddressEdt, 0);
  TypeKeys("127.");
  realBox.hide();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Do not set first octet of address to 127!"});
  EXPECT_FALSE(OctetWarningActive);
  EXPECT_EQ(d.IPAddressEdt->field(0)->text(), "1");
}

TEST_F(IpConfigDialogTest, AfterADhcpSaveReopeningShowsZerosThoughOldAddressKeysRemain) {
  dir.Write("IPconfig.ini", kFixedFile);
  TIPconfigFrm& fixed = Open();
  EXPECT_TRUE(fixed.AssignIPRadio->isChecked());
  EXPECT_EQ(Texts(fixed), (AddressTexts{"10.1.2.3", "255.0.0.0", "10.1.2.254"}));
  Click(fixed.AutoGetIPRadio);
  EXPECT_EQ(AddressControls(fixed), "disabled");
  EXPECT_EQ(Texts(fixed), kAllZero);
  Click(fixed.SetIP);
  EXPECT_EQ(dir.Read("IPconfig.ini"),
            "[Config]\r\nIPaddress=10.1.2.3\r\nsubMask=255.0.0.0\r\nGateWay=10.1.2.254\r\n"
            "IPRadio=0\r\n");
  ASSERT_TRUE(Freed());

  TIPconfigFrm& reopened = Open();
  EXPECT_TRUE(reopened.AutoGetIPRadio->isChecked());
  EXPECT_EQ(AddressControls(reopened), "disabled");
  EXPECT_EQ(Texts(reopened), kAllZero);
  Click(reopened.AssignIPRadio);
  EXPECT_EQ(AddressControls(reopened), "enabled");
  EXPECT_EQ(Texts(reopened), kAllZero) << "the stored address is not brought back";
}

TEST_F(IpConfigDialogTest, ClosingWithTheWindowButtonStoresNothing) {
  dir.Write("IPconfig.ini", kFixedFile);
  TIPconfigFrm& d = Open();
  TypeAddress(d.IPAddressEdt, "172.16.0.5");
  Click(d.AutoGetIPRadio);
  d.close();
  EXPECT_TRUE(Freed());
  EXPECT_EQ(dir.Read("IPconfig.ini"), kFixedFile);

  std::filesystem::remove(dir.File("IPconfig.ini"));
  Open().close();
  EXPECT_TRUE(Freed());
  EXPECT_FALSE(dir.Exists("IPconfig.ini"));
}

TEST_F(IpConfigDialogTest, HiddenCancelButtonDoesNothing) {
  dir.Write("IPconfig.ini", kFixedFile);
  TIPconfigFrm& d = Open();
  d.Cancel->click();
  EXPECT_FALSE(Freed());
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(dir.Read("IPconfig.ini"), kFixedFile);
}

TEST_F(IpConfigDialogTest, FailedWriteShowsTheErrorAndTheDialogStillCloses) {
  std::filesystem::create_directory(dir.File("IPconfig.ini"));
  TIPconfigFrm& d = Open();
  Click(d.SetIP);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, FakeMessageBoxes::Kind::Error);
  EXPECT_EQ(boxes.shown[0].text, "Unable to write to " + dir.File("IPconfig.ini") + ".");
  EXPECT_TRUE(Freed());
}

// ---- Opened from the main window: modal, and freed when it closes ----

class IpOptionsButtonTest : public WindowTest {
 protected:
  // Clicks the wireless page's "ConfigMachine" button; `whileOpen` runs inside the modal
  // dialog's event loop and must close it.
  void OpenFromWindow(const std::function<void(TIPconfigFrm&)>& whileOpen) {
    QTimer::singleShot(0, &window(), [this, whileOpen] {
      auto* modal = qobject_cast<TIPconfigFrm*>(QApplication::activeModalWidget());
      if (modal == nullptr) {
        ADD_FAILURE() << "no modal device IP dialog";
        if (QWidget* other = QApplication::activeModalWidget()) other->close();
        return;
      }
      opened = modal;
      ran = true;
      EXPECT_TRUE(modal->isModal());
      EXPECT_EQ(modal->windowTitle(), "ConfigMachine");
      ShowActive(*modal);
      whileOpen(*modal);
    });
    Click(window().IPoptionsBitB);
  }
  QPointer<TIPconfigFrm> opened;
  bool ran = false;
};

TEST_F(IpOptionsButtonTest, OpensAModalDialogThatSavesAndFreesItself) {
  ShowWindow();
  OpenFromWindow([this](TIPconfigFrm& d) {
    Click(d.AssignIPRadio);
    TypeAddress(d.IPAddressEdt, "10.1.2.3");
    Click(d.SetIP);
  });
  ASSERT_TRUE(ran);
  EXPECT_TRUE(opened.isNull()) << "freed when it closed";
  EXPECT_EQ(dir.Read("IPconfig.ini"), FixedFile("10.1.2.3", "255.0.0.0", "0.0.0.0"));

  // Every opening starts again from the file.
  AddressTexts seen;
  OpenFromWindow([&seen](TIPconfigFrm& d) {
    seen = Texts(d);
    d.close();
  });
  EXPECT_EQ(seen, (AddressTexts{"10.1.2.3", "255.0.0.0", "0.0.0.0"}));
  EXPECT_TRUE(opened.isNull());
  EXPECT_EQ(dir.Read("IPconfig.ini"), FixedFile("10.1.2.3", "255.0.0.0", "0.0.0.0"));
}

TEST_F(IpOptionsButtonTest, ClosedByTheWindowButtonItFreesItselfAndStoresNothing) {
  ShowWindow();
  OpenFromWindow([](TIPconfigFrm& d) {
    Click(d.AssignIPRadio);
    d.close();
  });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(opened.isNull());
  EXPECT_FALSE(dir.Exists("IPconfig.ini"));
  EXPECT_TRUE(window().isVisible());
}

}  // namespace
}  // namespace quillstone::testing
