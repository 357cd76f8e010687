// The main window as the user meets it: the form, its pages, the wireless page's controls and
// both connection panels at start, the start-up read of options.ini, the panels' radio buttons,
// the digit filters, the default button and the tab order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <stdexcept>
#include <vector>

#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"
#include "app/WidgetState.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;

template <typename Widget>
Widget* Find(const QWidget& root, const char* name) {
  auto* found = root.findChild<Widget*>(QString::fromLatin1(name));
  if (found == nullptr) throw std::runtime_error(std::string("no control named ") + name);
  return found;
}

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

// Texts of the labels directly inside `group`, in creation order.
QStringList LabelTexts(const QWidget* group) {
  QStringList texts;
  for (const QLabel* label : group->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    texts << label->text();
  return texts;
}

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, IsTheFixedSizeFormFernwickTitledQuillstone) {
  TFernwick& w = ShowWindow();
  EXPECT_EQ(w.objectName(), "Fernwick");
  EXPECT_EQ(w.windowTitle(), "Quillstone");
  EXPECT_EQ(w.size(), QSize(520, 537));
  EXPECT_EQ(w.minimumSize(), QSize(520, 537));
  EXPECT_EQ(w.maximumSize(), QSize(520, 537));
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint))
      << "a thin border without a sizing grip on Windows";
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(w.font().family(), "MS Sans Serif");
  EXPECT_EQ(w.font().pixelSize(), 11);
  EXPECT_EQ(w.PageControl1->geometry(), w.rect()) << "the page control fills the client area";

  // Centred, give or take the window frame the platform adds.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((w.frameGeometry().center() - screen.center()).manhattanLength(), 8);
}

TEST_F(MainWindowTest, ShowsOnlyTheWirelessTabAndNoKeyBringsUpTheModemPage) {
  TFernwick& w = ShowWindow();
  QTabWidget* pages = Find<QTabWidget>(w, "PageControl1");
  EXPECT_EQ(pages, w.PageControl1);
  ASSERT_EQ(pages->count(), 2);
  EXPECT_EQ(pages->widget(0), Find<QWidget>(w, "TabSheet1"));
  EXPECT_EQ(pages->widget(1), Find<QWidget>(w, "TabSheet2"));
  EXPECT_EQ(pages->tabText(0), "ModemConfig");
  EXPECT_EQ(pages->tabText(1), "WirfiOptions");
  EXPECT_FALSE(pages->isTabVisible(0));
  EXPECT_TRUE(pages->isTabVisible(1));
  EXPECT_EQ(pages->currentWidget(), w.TabSheet2);
  EXPECT_FALSE(w.TabSheet1->isVisible());

  EXPECT_EQ(w.TabSheet2->font().family(), "宋体");
  EXPECT_EQ(w.TabSheet2->font().pixelSize(), 13);
  EXPECT_EQ(w.TabSheet1->font().family(), "MS Sans Serif");

  // The page control's own keyboard page switching, forwards and backwards.
  w.TC_IPRadio->setFocus();
  QTest::keyClick(w.TC_IPRadio, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), 1);
  QTest::keyClick(w.TC_IPRadio, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(pages->currentIndex(), 1);
  QTest::keyClick(pages->tabBar(), Qt::Key_Left);
  EXPECT_EQ(pages->currentIndex(), 1);
  EXPECT_FALSE(w.TabSheet1->isVisible());
}

TEST_F(MainWindowTest, WirelessControlsCarryTheirNamesCaptionsAndStartStates) {
  TFernwick& w = CreateWindow();

  const std::vector<std::pair<const char*, const char*>> labels = {
      {"Label8", "Wireless End"},
      {"Labnet", "Wireless Network ID(SSID)"},
      {"Label10", "*"},
      {"WirelessModelLab", "Wireless Model"},
      {"Label3", "Authentication Type"},
      {"LabWEP", "Encrypt Type"},
      {"LabpasswordType", "Password Length"},
      {"Labpassword1", "Password 1"},
      {"labpassword2", "password 2"},
      {"Labpassword3", "password 3"},
      {"Labpassword4", "password 4"},
      {"Label7", "Password "},
      {"Label9",
       "Iuput  8 and 64 characters long for ASCII\nor 8 and 64 characters(0-9,a-f,A-F) for hex"},
  };
  for (const auto& [name, caption] : labels) {
    EXPECT_EQ(Find<QLabel>(w, name)->text(), QString::fromUtf8(caption)) << name;
  }

  struct Radio {
    const char* name;
    QRadioButton* member;
    const char* caption;
    bool checked;
  };
  for (const Radio& radio : {Radio{"ActiveRadio", w.ActiveRadio, "Active", true},
                             Radio{"DisableRadio", w.DisableRadio, "Disable", false},
                             Radio{"WepPasswordRadio1", w.WepPasswordRadio1, "", false},
                             Radio{"WepPasswordRadio2", w.WepPasswordRadio2, "", false},
                             Radio{"WepPasswordRadio3", w.WepPasswordRadio3, "", false},
                             Radio{"WepPasswordRadio4", w.WepPasswordRadio4, "", false}}) {
    EXPECT_EQ(Find<QRadioButton>(w, radio.name), radio.member) << radio.name;
    EXPECT_EQ(radio.member->text(), radio.caption) << radio.name;
    EXPECT_EQ(radio.member->isChecked(), radio.checked) << radio.name;
    EXPECT_TRUE(OwnEnabled(radio.member)) << radio.name;
  }
  for (QRadioButton* marker :
       {w.WepPasswordRadio1, w.WepPasswordRadio2, w.WepPasswordRadio3, w.WepPasswordRadio4}) {
    EXPECT_EQ(marker->parentWidget(), w.WEPGroup) << "the key markers exclude one another";
  }

  EXPECT_EQ(Find<QGroupBox>(w, "GroupBox7"), w.GroupBox7);
  EXPECT_TRUE(OwnEnabled(w.GroupBox7));
  EXPECT_EQ(Find<QGroupBox>(w, "WEPGroup")->title(), "WEP");
  EXPECT_FALSE(OwnEnabled(w.WEPGroup));
  EXPECT_EQ(Find<QGroupBox>(w, "WPAGroup")->title(), "WPA");
  EXPECT_FALSE(OwnEnabled(w.WPAGroup));

  EXPECT_EQ(Find<QLineEdit>(w, "WirelessNetEdt")->text(), "");
  EXPECT_EQ(w.WirelessNetEdt->maxLength(), 31);
  EXPECT_TRUE(OwnEnabled(w.WirelessNetEdt));
  EXPECT_EQ(w.WirelessNetEdt->parentWidget(), w.GroupBox7);
  EXPECT_EQ(Find<QLineEdit>(w, "WAPpasswordEdit")->text(), "");
  EXPECT_EQ(w.WAPpasswordEdit->maxLength(), 64);
  EXPECT_FALSE(OwnEnabled(w.WAPpasswordEdit));

  struct Combo {
    const char* name;
    QStringList items;
    bool enabled;
  };
  for (const Combo& combo :
       {Combo{"WirelessModelCob", {"Infrastructrue Model", "Ad-hoc Model"}, true},
        Combo{"AuthenticationTypeCob", {"OPEN", "SHARED", "WEPAUTO", "WPAPSK", "WPA2PSK"}, true},
        Combo{"WepEncryptCob", {"NONE", "WEP"}, true},
        Combo{"PasswordModeCob",
              {"64-bit(104+24)-10 hexadecimal digits", "128-bit(104+24)-26 hexadecimal digits",
               "64-bit(40+24)-5 ASCII characters", "128-bit(104+24)-13 ASCII characters"},
              false}}) {
    const QComboBox* found = Find<QComboBox>(w, combo.name);
    EXPECT_EQ(Items(found), combo.items) << combo.name;
    EXPECT_EQ(found->currentIndex(), 0) << combo.name;
    EXPECT_FALSE(found->isEditable()) << combo.name << " is pick-only";
    EXPECT_EQ(OwnEnabled(found), combo.enabled) << combo.name;
  }

  for (const char* name :
       {"WepPasswordEdt1", "WepPasswordEdt2", "WepPasswordEdt3", "WepPasswordEdt4"}) {
    const LimitedLineEdit* key = Find<LimitedLineEdit>(w, name);
    EXPECT_EQ(key->text(), "") << name;
    EXPECT_EQ(key->lengthLimit(), 0) << name << " has no limit until a rule sets one";
    EXPECT_FALSE(OwnEnabled(key)) << name;
  }

  struct Button {
    const char* name;
    QPushButton* member;
    const char* caption;
  };
  for (const Button& button : {Button{"TestConnectBtn", w.TestConnectBtn, "Test Connect"},
                               Button{"IPoptionsBitB", w.IPoptionsBitB, "ConfigMachine"},
                               Button{"SetBitB", w.SetBitB, " Set"}}) {
    EXPECT_EQ(Find<QPushButton>(w, button.name), button.member);
    EXPECT_EQ(button.member->text(), button.caption);
    EXPECT_TRUE(button.member->isEnabled());
  }
  EXPECT_TRUE(w.SetBitB->isDefault());
  EXPECT_FALSE(w.TestConnectBtn->isDefault());
  EXPECT_FALSE(w.IPoptionsBitB->isDefault());
  EXPECT_FALSE(w.TestConnectBtn->property("pictureFile").isValid())
      << "the form's own picture until the first test";
}

// Start-up state of the wireless connection panel, compared as a whole.
struct PanelState {
  bool tcpChecked, serialChecked;
  bool tcpGroup, address, port;
  bool serialGroup, deviceId, comPrefix, comPort, baudRate;
  QString addressText, portText, deviceIdText, comPrefixText, comPortText, baudRateText;
  bool operator==(const PanelState&) const = default;
};

PanelState ReadPanel(const TFernwick& w) {
  return {w.TC_IPRadio->isChecked(),  w.RS232Radio->isChecked(), OwnEnabled(w.GroupBox4),
          OwnEnabled(w.AddressIP),    OwnEnabled(w.PortEdtWire), OwnEnabled(w.GroupBox5),
          OwnEnabled(w.DeviceIdEdt),  OwnEnabled(w.Edit5),       OwnEnabled(w.ComIDEdit),
          OwnEnabled(w.BaudRateEdit), w.AddressIP->text(),       w.PortEdtWire->text(),
          w.DeviceIdEdt->text(),      w.Edit5->text(),           w.ComIDEdit->text(),
          w.BaudRateEdit->text()};
}

void PrintTo(const PanelState& s, std::ostream* out) {
  *out << "{tcp " << s.tcpChecked << " serial " << s.serialChecked << " groups " << s.tcpGroup
       << s.serialGroup << " fields " << s.address << s.port << s.deviceId << s.comPrefix
       << s.comPort << s.baudRate << " texts " << s.addressText.toStdString() << " "
       << s.portText.toStdString() << " " << s.deviceIdText.toStdString() << " "
       << s.comPrefixText.toStdString() << s.comPortText.toStdString() << " "
       << s.baudRateText.toStdString() << "}";
}

PanelState TcpPanel(const char* address, const char* port, const char* deviceId,
                    const char* comPort, const char* baudRate) {
  return {true,  false, true,    true, true,     false, false,   false,
          false, false, address, port, deviceId, "COM", comPort, baudRate};
}

using ConnectionPanelTest = WindowTest;

TEST_F(ConnectionPanelTest, WithoutOptionsFileStartsInTcpIpWithTheDefaults) {
  TFernwick& w = CreateWindow();
  EXPECT_EQ(ReadPanel(w), TcpPanel("192.168.1.201", "4370", "1", "1", "57600"));
  EXPECT_EQ(Find<QGroupBox>(w, "GroupBox2")->title(), "Connection parameter");
  EXPECT_TRUE(OwnEnabled(w.GroupBox2));
  EXPECT_EQ(Find<QRadioButton>(w, "TC_IPRadio")->text(), "TCP/IP");
  EXPECT_EQ(Find<QRadioButton>(w, "RS232Radio")->text(), "RS232");
  EXPECT_EQ(w.TC_IPRadio->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(w.RS232Radio->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(Find<IpAddressEdit>(w, "AddressIP"), w.AddressIP);
  for (const char* name : {"PortEdtWire", "DeviceIdEdt", "Edit5", "ComIDEdit", "BaudRateEdit"})
    EXPECT_NE(w.findChild<QLineEdit*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_TRUE(w.Edit5->isReadOnly());
  EXPECT_EQ(LabelTexts(Find<QGroupBox>(w, "GroupBox4")), QStringList({"IP", "*", "Port", "*"}));
  EXPECT_EQ(LabelTexts(Find<QGroupBox>(w, "GroupBox5")),
            QStringList({"DeviceID", "*", "COMPort", "*", "Baud rate", "*"}));
  EXPECT_FALSE(dir.Exists("options.ini")) << "reading never creates the file";
}

TEST_F(ConnectionPanelTest, FileLeftBySerialApplyFillsSerialFieldsAndStillSelectsTcpIp) {
  // The apply's option lines come first, without a header; lines that look like panel keys
  // there belong to no section and must not be read.
  dir.Write("options.ini",
            "WIFI=1\r\nSSID=Port\r\nNetworkType=Infra\r\nAuthMode=OPEN\r\nEncrypType=NONE\r\n"
            "locatIP=10.9.9.9\r\nPort=1111\r\nwifidhcp=1\r\n"
            "[Config]\r\nDeviceID=7\r\nCOMPort=3\r\nBaudrate=9600\r\n");
  TFernwick& w = CreateWindow();
  EXPECT_EQ(ReadPanel(w), TcpPanel("192.168.1.201", "4370", "7", "3", "9600"));
}

TEST_F(ConnectionPanelTest, FileLeftByTcpApplyFillsTcpFieldsAndDefaultsTheSerialOnes) {
  dir.Write("options.ini", "WIFI=0\r\n[Config]\r\nlocatIP=127.0.0.1\r\nPort=5005\r\n");
  TFernwick& w = CreateWindow();
  EXPECT_EQ(ReadPanel(w), TcpPanel("127.0.0.1", "5005", "1", "1", "57600"));
}

TEST_F(ConnectionPanelTest, EmptyValuesGiveTheDefaultsAndOddValuesStayAsText) {
  dir.Write("options.ini", "[Config]\r\nlocatIP=\r\nPort=\r\nDeviceID=x1\r\nCOMPort= \r\n");
  TFernwick& w = CreateWindow();
  EXPECT_EQ(ReadPanel(w), TcpPanel("192.168.1.201", "4370", "x1", "1", "57600"));
}

TEST_F(ConnectionPanelTest, MalformedStoredAddressIsNormalisedByTheAddressControl) {
  dir.Write("options.ini", "[Config]\r\nlocatIP=10.x.7\r\n");
  TFernwick& w = CreateWindow();
  EXPECT_EQ(w.AddressIP->text(), "10.0.7.0");
}

class BaudRateKeySpellingTest : public WindowTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(BaudRateKeySpellingTest, KeyIsFoundWhateverItsLetterCase) {
  dir.Write("options.ini", GetParam());
  TFernwick& w = CreateWindow();
  EXPECT_EQ(w.BaudRateEdit->text(), "19200");
  EXPECT_EQ(w.DeviceIdEdt->text(), "1");
}

INSTANTIATE_TEST_SUITE_P(Spellings, BaudRateKeySpellingTest,
                         ::testing::Values("[Config]\r\nBaudrate=19200\r\n",
                                           "[Config]\r\nBAUDRATE=19200\r\n",
                                           "[config]\r\nbaudrate=19200\r\n",
                                           "[CONFIG]\r\nBaudRate=19200\r\n"));

TEST_F(ConnectionPanelTest, SerialThenTcpIpRadioReturnsToTheStartStateLeavingTexts) {
  TFernwick& w = ShowWindow();
  const PanelState start = ReadPanel(w);

  Click(w.RS232Radio);
  PanelState serial = start;
  serial.tcpChecked = false;
  serial.serialChecked = true;
  serial.tcpGroup = serial.address = serial.port = false;
  serial.serialGroup = serial.deviceId = serial.comPrefix = serial.comPort = serial.baudRate = true;
  EXPECT_EQ(ReadPanel(w), serial);
  EXPECT_TRUE(w.Edit5->isReadOnly());
  EXPECT_FALSE(w.PortEdtWire->isEnabled());
  EXPECT_TRUE(w.BaudRateEdit->isEnabled());

  Click(w.TC_IPRadio);
  EXPECT_EQ(ReadPanel(w), start);
}

TEST_F(ConnectionPanelTest, ModemPanelHasItsFixedTextsAndItsRadiosSwitchTheFields) {
  TFernwick& w = CreateWindow();
  EXPECT_EQ(Find<QGroupBox>(w, "GroupBox3")->title(), "connect config");
  EXPECT_EQ(w.GroupBox3->toolTip(), "Set COMM options");
  EXPECT_EQ(Find<QLineEdit>(w, "EDTIP")->text(), "192.168.1.201");
  EXPECT_EQ(Find<QLineEdit>(w, "EDTPort")->text(), "4370");
  EXPECT_EQ(Find<QLineEdit>(w, "EDTDeviceID")->text(), "1");
  EXPECT_EQ(Find<QLineEdit>(w, "Edit1")->text(), "COM");
  EXPECT_FALSE(w.Edit1->isReadOnly());
  EXPECT_EQ(Find<QLineEdit>(w, "EDTCOMNum")->text(), "1");
  EXPECT_EQ(Find<QLineEdit>(w, "EDTBaudRate")->text(), "115200");
  EXPECT_EQ(Find<QRadioButton>(w, "RadioButton1")->text(), "TCP/IP");
  EXPECT_EQ(Find<QRadioButton>(w, "RadioButton2")->text(), "232");
  EXPECT_TRUE(w.RadioButton1->isChecked());
  EXPECT_FALSE(w.RadioButton2->isChecked());
  // The modem page's start-up work: the IP type shows its address field only.
  EXPECT_TRUE(OwnEnabled(w.Edit4));
  EXPECT_TRUE(w.Edit4->isVisibleTo(w.TabSheet1));
  for (QWidget* hidden :
       std::initializer_list<QWidget*>{w.DNSIPEdit, w.Label23, w.URLEdit, w.Label22})
    EXPECT_FALSE(hidden->isVisibleTo(w.TabSheet1)) << hidden->objectName().toStdString();

  // The modem page is never on screen, so its buttons are clicked by their own click().
  const auto modemFields = [&w] {
    return std::vector<bool>{OwnEnabled(w.EDTIP),       OwnEnabled(w.EDTPort),
                             OwnEnabled(w.EDTDeviceID), OwnEnabled(w.Edit1),
                             OwnEnabled(w.EDTCOMNum),   OwnEnabled(w.EDTBaudRate)};
  };
  EXPECT_THAT(modemFields(), ElementsAre(true, true, true, false, false, false));
  w.RadioButton2->click();
  EXPECT_THAT(modemFields(), ElementsAre(false, false, true, true, true, true));
  w.RadioButton1->click();
  EXPECT_THAT(modemFields(), ElementsAre(true, true, true, false, false, false));
  EXPECT_EQ(w.EDTBaudRate->text(), "115200");
}

// ---- Digit filters of the four number fields ----

class DigitFilterTest : public WindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  QLineEdit* FocusField() {
    TFernwick& w = ShowWindow();
    auto* field = Find<QLineEdit>(w, GetParam());
    if (!field->isEnabled()) Click(w.RS232Radio);
    QTest::mouseClick(field, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), field);
    QTest::keyClick(field, Qt::Key_End);
    return field;
  }
};

TEST_P(DigitFilterTest, TypedNonDigitsChangeNothingWhileDigitsAndBackspaceWork) {
  QLineEdit* field = FocusField();
  const QString start = field->text();

  QTest::keyClicks(field, "aZ- .+x");
  // A character above code 127, as a keyboard delivers it.
  QKeyEvent accented(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("é"));
  QApplication::sendEvent(field, &accented);
  EXPECT_EQ(field->text(), start);

  QTest::keyClicks(field, "42");
  EXPECT_EQ(field->text(), start + "42");
  QTest::keyClick(field, Qt::Key_Backspace);
  EXPECT_EQ(field->text(), start + "4");
  QTest::keyClick(field, Qt::Key_Home);
  QTest::keyClicks(field, "9");
  EXPECT_EQ(field->text(), "9" + start + "4");
}

TEST_P(DigitFilterTest, EditingKeysStillWork) {
  QLineEdit* field = FocusField();
  field->setText(QStringLiteral("12345"));
  QTest::keyClick(field, Qt::Key_Home);
  // The Delete key arrives with the DEL character (code 127) as its text on X11.
  QKeyEvent deleteKey(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
  QApplication::sendEvent(field, &deleteKey);
  EXPECT_EQ(field->text(), "2345");
  QTest::keyClick(field, Qt::Key_End);
  QTest::keyClick(field, Qt::Key_Left);
  QTest::keyClick(field, Qt::Key_Backspace);
  EXPECT_EQ(field->text(), "235");
  // Select all with the control character the keyboard produces for Ctrl+A (code 1).
  QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QString(QChar(0x01)));
  QApplication::sendEvent(field, &selectAll);
  QTest::keyClicks(field, "8");
  EXPECT_EQ(field->text(), "8");
}

TEST_P(DigitFilterTest, PastedTextIsNotFiltered) {
  QLineEdit* field = FocusField();
  const QString start = field->text();
  QApplication::clipboard()->setText(QStringLiteral("ab -1"));
  ASSERT_EQ(QApplication::clipboard()->text(), "ab -1");
  // Ctrl+V arrives with the control character the keyboard produces for it (code 22).
  QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QString(QChar(0x16)));
  QApplication::sendEvent(field, &paste);
  EXPECT_EQ(field->text(), start + "ab -1");
}

INSTANTIATE_TEST_SUITE_P(NumberFields, DigitFilterTest,
                         ::testing::Values("PortEdtWire", "DeviceIdEdt", "ComIDEdit",
                                           "BaudRateEdit"));

// ---- The default button ----

class DefaultButtonTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
    // Should a wrong button run, it must not reach any device: the port does not convert.
    window().PortEdtWire->setText(QStringLiteral("70000"));
    boxes.onShow = [this](const FakeMessageBoxes::Box&) {
      focusWhileBoxShown.push_back(QApplication::focusWidget());
    };
  }
  void PressEnterOn(QWidget* focus) {
    focus->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focus);
    QTest::keyClick(focus, Qt::Key_Return);
  }
  std::vector<QWidget*> focusWhileBoxShown;
};

TEST_F(DefaultButtonTest, EnterInAFieldPressesSetWithoutMovingTheFocus) {
  TFernwick& w = window();
  QSignalSpy setClicks(w.SetBitB, &QPushButton::clicked);
  PressEnterOn(w.WepEncryptCob);
  EXPECT_EQ(setClicks.count(), 1);
  // The apply ran: with no network name it stops at its first check.
  ASSERT_EQ(boxes.Texts(),
            std::vector<std::string>{"ID(SSID) can not be null,you must input it,please!"});
  EXPECT_EQ(focusWhileBoxShown, std::vector<QWidget*>{w.WepEncryptCob});
}

TEST_F(DefaultButtonTest, EnterOnARadioButtonPressesSet) {
  QSignalSpy setClicks(window().SetBitB, &QPushButton::clicked);
  PressEnterOn(window().ActiveRadio);
  EXPECT_EQ(setClicks.count(), 1);
}

TEST_F(DefaultButtonTest, EnterOnSetItselfPressesItOnce) {
  QSignalSpy setClicks(window().SetBitB, &QPushButton::clicked);
  PressEnterOn(window().SetBitB);
  EXPECT_EQ(setClicks.count(), 1);
}

TEST_F(DefaultButtonTest, EnterOnAnotherButtonPressesThatButtonAndNotSet) {
  TFernwick& w = window();
  QSignalSpy setClicks(w.SetBitB, &QPushButton::clicked);
  for (QPushButton* button : {w.TestConnectBtn, w.IPoptionsBitB}) {
    QSignalSpy clicks(button, &QPushButton::clicked);
    // The device IP dialog is modal: close it as soon as it shows.
    QTimer::singleShot(0, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    PressEnterOn(button);
    EXPECT_EQ(clicks.count(), 1) << button->objectName().toStdString();
  }
  EXPECT_EQ(setClicks.count(), 0);
  // The connection test ran: the port does not convert.
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Range check error."});
}

// ---- Tab order and radio groups, driven by keys ----

using Names = std::vector<std::string>;

struct TabWalkCase {
  const char* name;
  void (*arrange)(TFernwick&);
  Names reached;
};
void PrintTo(const TabWalkCase& c, std::ostream* out) {
  *out << c.name;
}

// Tab enters each radio group at its selected button only and leaves it for the next control.
const TabWalkCase kTabWalks[] = {
    {"AtStart",
     [](TFernwick&) {},
     {"ActiveRadio", "WirelessNetEdt", "WirelessModelCob", "AuthenticationTypeCob", "WepEncryptCob",
      "TC_IPRadio", "AddressIP", "PortEdtWire", "SetBitB", "IPoptionsBitB", "TestConnectBtn"}},
    {"WepKeyThreeOverRs232",
     [](TFernwick& w) {
       Choose(w.WepEncryptCob, 1);
       Click(w.WepPasswordRadio3);
       Click(w.RS232Radio);
     },
     {"ActiveRadio", "WirelessNetEdt", "WirelessModelCob", "AuthenticationTypeCob", "WepEncryptCob",
      "PasswordModeCob", "WepPasswordEdt1", "WepPasswordEdt2", "WepPasswordRadio3",
      "WepPasswordEdt3", "WepPasswordEdt4", "RS232Radio", "DeviceIdEdt", "Edit5", "ComIDEdit",
      "BaudRateEdit", "SetBitB", "IPoptionsBitB", "TestConnectBtn"}},
    {"Wpa",
     [](TFernwick& w) { Choose(w.AuthenticationTypeCob, 3); },
     {"ActiveRadio", "WirelessNetEdt", "WirelessModelCob", "AuthenticationTypeCob", "WepEncryptCob",
      "WAPpasswordEdit", "TC_IPRadio", "AddressIP", "PortEdtWire", "SetBitB", "IPoptionsBitB",
      "TestConnectBtn"}},
    {"Off",
     [](TFernwick& w) { Click(w.DisableRadio); },
     {"TC_IPRadio", "AddressIP", "PortEdtWire", "SetBitB", "DisableRadio", "IPoptionsBitB",
      "TestConnectBtn"}},
};

class TabWalkTest : public WindowTest, public ::testing::WithParamInterface<TabWalkCase> {};

TEST_P(TabWalkTest, TabFromTheTabBarReachesThePageControlsInOrder) {
  TFernwick& w = ShowWindow();
  GetParam().arrange(w);
  EXPECT_EQ(TabWalk(w.PageControl1->tabBar()), GetParam().reached);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TabWalkTest, ::testing::ValuesIn(kTabWalks),
                         [](const auto& param) { return std::string(param.param.name); });

// Every radio button of the page with its state, and the enabled flags the radios' handlers
// set: what a key on one radio group may change.
std::string RadioState(const TFernwick& w) {
  std::string state;
  for (const QRadioButton* radio : w.TabSheet2->findChildren<QRadioButton*>())
    state += radio->objectName().toStdString() + (radio->isChecked() ? "+ " : "- ");
  for (const QWidget* group : {w.GroupBox7, w.WEPGroup, w.WPAGroup, w.GroupBox4, w.GroupBox5})
    state += group->objectName().toStdString() + (OwnEnabled(group) ? "+ " : "- ");
  return state;
}

struct RadioGroupCase {
  const char* name;
  void (*arrange)(TFernwick&);
  std::vector<QRadioButton*> (*buttons)(const TFernwick&);
};
void PrintTo(const RadioGroupCase& c, std::ostream* out) {
  *out << c.name;
}

const RadioGroupCase kRadioGroups[] = {
    {"OnOff", [](TFernwick&) {},
     [](const TFernwick& w) {
       return std::vector{w.ActiveRadio, w.DisableRadio};
     }},
    {"Transport", [](TFernwick&) {},
     [](const TFernwick& w) {
       return std::vector{w.TC_IPRadio, w.RS232Radio};
     }},
    {"KeyMarkers", [](TFernwick& w) { Choose(w.WepEncryptCob, 1); },
     [](const TFernwick& w) {
       return std::vector{w.WepPasswordRadio1, w.WepPasswordRadio2, w.WepPasswordRadio3,
                          w.WepPasswordRadio4};
     }},
};

class RadioGroupTest : public WindowTest, public ::testing::WithParamInterface<RadioGroupCase> {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    GetParam().arrange(ShowWindow());
    buttons = GetParam().buttons(window());
  }
  std::vector<QRadioButton*> buttons;
};

TEST_P(RadioGroupTest, SpaceOrAClickOnTheSelectedButtonChangesNothing) {
  TFernwick& w = window();
  for (QRadioButton* radio : buttons) {
    Click(radio);
    const std::string before = RadioState(w);
    ASSERT_TRUE(radio->isChecked());
    QTest::keyClick(radio, Qt::Key_Space);
    EXPECT_EQ(RadioState(w), before) << "Space on " << radio->objectName().toStdString();
    Click(radio);
    EXPECT_EQ(RadioState(w), before) << "click on " << radio->objectName().toStdString();
  }
}

TEST_P(RadioGroupTest, ArrowKeysSelectTheNextOrPreviousButtonOfTheGroupOnly) {
  const auto outside = [this] {
    std::string selected;
    for (const QRadioButton* radio : window().TabSheet2->findChildren<QRadioButton*>()) {
      if (std::find(buttons.begin(), buttons.end(), radio) == buttons.end())
        selected += radio->isChecked() ? '1' : '0';
    }
    return selected;
  };
  Click(buttons.front());
  const std::string outsideBefore = outside();
  // Down and Right step forward, Up and Left back, wrapping round the group; the arrows of the
  // numeric keypad (with Num Lock off) do the same.
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int direction;
  };
  const Step steps[] = {
      {Qt::Key_Down, Qt::NoModifier, 1},      {Qt::Key_Right, Qt::NoModifier, 1},
      {Qt::Key_Left, Qt::NoModifier, -1},     {Qt::Key_Up, Qt::NoModifier, -1},
      {Qt::Key_Up, Qt::NoModifier, -1},       {Qt::Key_Up, Qt::KeypadModifier, -1},
      {Qt::Key_Left, Qt::KeypadModifier, -1}, {Qt::Key_Down, Qt::KeypadModifier, 1},
      {Qt::Key_Right, Qt::KeypadModifier, 1}, {Qt::Key_Right, Qt::KeypadModifier, 1}};
  const int count = static_cast<int>(buttons.size());
  int at = 0;
  for (const auto& [key, modifiers, direction] : steps) {
    at = (at + direction + count) % count;
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QRadioButton* expected = buttons[static_cast<std::size_t>(at)];
    EXPECT_EQ(QApplication::focusWidget(), expected)
        << QTest::toString(key) << (modifiers == Qt::KeypadModifier ? " on the keypad" : "");
    for (QRadioButton* radio : buttons) EXPECT_EQ(radio->isChecked(), radio == expected);
  }
  EXPECT_EQ(outside(), outsideBefore);
}

INSTANTIATE_TEST_SUITE_P(PageGroups, RadioGroupTest, ::testing::ValuesIn(kRadioGroups),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(MainWindowTest, ArrowKeysRunTheHandlerOfTheButtonTheySelect) {
  TFernwick& w = ShowWindow();
  Click(w.ActiveRadio);
  QTest::keyClick(w.ActiveRadio, Qt::Key_Down);
  EXPECT_FALSE(OwnEnabled(w.GroupBox7)) << "DisableRadioClick ran";
  QTest::keyClick(w.DisableRadio, Qt::Key_Up);
  EXPECT_TRUE(OwnEnabled(w.GroupBox7)) << "ActiveRadioClick ran";
  Click(w.TC_IPRadio);
  QTest::keyClick(w.TC_IPRadio, Qt::Key_Down);
  EXPECT_TRUE(OwnEnabled(w.GroupBox5) && !OwnEnabled(w.GroupBox4)) << "RS232RadioClick ran";
  QTest::keyClick(w.RS232Radio, Qt::Key_Down);
  EXPECT_TRUE(OwnEnabled(w.GroupBox4) && !OwnEnabled(w.GroupBox5)) << "TC_IPRadioClick ran";
}

TEST_F(MainWindowTest, TabKeyMovesThroughTheNetworkGroup) {
  TFernwick& w = ShowWindow();
  w.WirelessNetEdt->setFocus();
  QTest::keyClick(w.WirelessNetEdt, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), w.WirelessModelCob);
  QTest::keyClick(w.WirelessModelCob, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), w.AuthenticationTypeCob);
}

}  // namespace
}  // namespace quillstone::testing
