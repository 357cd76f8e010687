// What a screen reader learns from the window: each control the Tab key reaches, asked through
// its accessible interface as an assistive technology asks it, has the role, the name (the label
// the user sees beside it) and the state the user expects; the accessible tree of the main window
// (both pages) and of the device IP dialog holds no focusable control without its name; an
// address control is one edit with its whole address; the "*" marks are not read as a star; a
// message box gives its caption and its text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/FocusCueStyle.h"
#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"
#include "app/QtMessageBoxes.h"
#include "tests/support/GuiTestSupport.h"
#include "wireless/IPConfig.h"

namespace quillstone::testing {
namespace {

// What the user should hear for one control: its kind, its name, and (when not empty) words its
// description holds. Written from the labels on screen, not from the program's own list.
struct Expected {
  QAccessible::Role role;
  const char* name;
  const char* description = "";
};

using Table = std::map<std::string, Expected>;

constexpr auto Edit = QAccessible::EditableText;
constexpr auto Combo = QAccessible::ComboBox;
constexpr auto Radio = QAccessible::RadioButton;
constexpr auto Button = QAccessible::Button;

// The main window, both pages; keyed by the control's form name.
const Table kMainWindow = {
    {"PageControl1", {QAccessible::Client, "Pages"}},
    {"qt_tabwidget_tabbar", {QAccessible::PageTabList, "WirfiOptions"}},  // the page shown
    // The tab bar's own buttons, hidden while all tabs fit.
    {"ScrollLeftButton", {Button, "Scroll Left"}},
    {"ScrollRightButton", {Button, "Scroll Right"}},
    // Wireless page.
    {"ActiveRadio", {Radio, "Active", "Wireless End"}},
    {"DisableRadio", {Radio, "Disable", "Wireless End"}},
    {"WirelessNetEdt", {Edit, "Wireless Network ID(SSID)", "required"}},
    {"WirelessModelCob", {Combo, "Wireless Model"}},
    {"AuthenticationTypeCob", {Combo, "Authentication Type"}},
    {"WepEncryptCob", {Combo, "Encrypt Type"}},
    {"PasswordModeCob", {Combo, "Password Length"}},
    {"WepPasswordRadio1", {Radio, "Default key 1", "Password 1"}},
    {"WepPasswordRadio2", {Radio, "Default key 2", "password 2"}},
    {"WepPasswordRadio3", {Radio, "Default key 3", "password 3"}},
    {"WepPasswordRadio4", {Radio, "Default key 4", "password 4"}},
    {"WepPasswordEdt1", {Edit, "Password 1", "WEP key 1"}},
    {"WepPasswordEdt2", {Edit, "password 2", "WEP key 2"}},
    {"WepPasswordEdt3", {Edit, "password 3", "WEP key 3"}},
    {"WepPasswordEdt4", {Edit, "password 4", "WEP key 4"}},
    {"WAPpasswordEdit", {Edit, "Password", "8 and 64 characters"}},
    {"TC_IPRadio", {Radio, "TCP/IP"}},
    {"RS232Radio", {Radio, "RS232"}},
    {"AddressIP", {Edit, "IP", "IP address"}},
    {"PortEdtWire", {Edit, "Port", "required"}},
    {"DeviceIdEdt", {Edit, "DeviceID", "required"}},
    {"Edit5", {Edit, "COMPort"}},
    {"ComIDEdit", {Edit, "COMPort number", "required"}},
    {"BaudRateEdit", {Edit, "Baud rate", "required"}},
    {"TestConnectBtn", {Button, "Test Connect"}},
    {"IPoptionsBitB", {Button, "ConfigMachine"}},
    {"SetBitB", {Button, "Set"}},
    // Modem page (its tab is hidden, but its controls are in the tree).
    {"EDTIP", {Edit, "IP"}},
    {"EDTPort", {Edit, "port"}},
    {"EDTDeviceID", {Edit, "DeviceID"}},
    {"Edit1", {Edit, "COMPort"}},
    {"EDTCOMNum", {Edit, "COMPort number"}},
    {"EDTBaudRate", {Edit, "baud rate"}},
    {"RadioButton1", {Radio, "TCP/IP"}},
    {"RadioButton2", {Radio, "232"}},
    {"CMBModem", {Combo, "MODEMType"}},
    {"CMBConnect", {Combo, "ConnectMODEM:"}},
    {"APNEdit", {Edit, "APN"}},
    {"EDTUserName", {Edit, "UserName:"}},
    {"EDTpsw", {Edit, "Password"}},
    {"EDTNum", {Edit, "DialNumber", "can not  be null"}},
    {"CMBKeep", {Combo, "KeepLive", "keep connect"}},
    {"EDTAutoUPT", {Edit, "AutoUPLogTime", "Auto upload log"}},
    {"CMDChcekM", {Combo, "ServerCheckMode", "send UDP pack"}},
    {"Edit2", {Edit, "AuthServerREQ", "interval to Check net"}},
    {"Edit3", {Edit, "ASTimeOut", "check if time out"}},
    {"RadioButton3", {Radio, "IPType"}},
    {"RadioButton4", {Radio, "DNSType"}},
    {"URLEdit", {Edit, "URL"}},
    {"Edit4", {Edit, "AuthServerIP", "IP address"}},
    {"DNSIPEdit", {Edit, "DNSServerIP", "IP address"}},
    {"Button2", {Button, "Set"}},
};

const Table kDialog = {
    {"AutoGetIPRadio", {Radio, "DHCP"}},
    {"AssignIPRadio", {Radio, "Config IP Address"}},
    {"IPAddressEdt", {Edit, "IP Address", "IP address"}},
    {"SubnetMaskEdt", {Edit, "Subnet Mask", "IP address"}},
    {"GateWayEdt", {Edit, "Default Gateway", "IP address"}},
    {"SetIP", {Button, "OK"}},
    {"Cancel", {Button, "Cancel"}},
};

QString Name(QAccessibleInterface* iface) {
  return iface->text(QAccessible::Name);
}

// What a reader says the control is called. On Linux a combo box's name is its chosen item and
// its label comes through the "labelled by" relation, as the toolkit gives it to AT-SPI.
QString Called(QAccessibleInterface* iface) {
#ifdef Q_OS_UNIX
  if (iface->role() == QAccessible::ComboBox) {
    const auto labels = iface->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : Name(labels.first().first);
  }
#endif
  return Name(iface);
}

// Checks one control as announced through `iface`; `formName` picks its row.
void ExpectAnnounced(const Table& table, const std::string& formName, QAccessibleInterface* iface) {
  SCOPED_TRACE(formName);
  ASSERT_NE(iface, nullptr);
  const auto row = table.find(formName);
  ASSERT_NE(row, table.end()) << "a focusable control the table does not know, named '"
                              << Name(iface).toStdString() << "', a "
                              << (iface->object() ? iface->object()->metaObject()->className()
                                                  : "?");
  EXPECT_EQ(iface->role(), row->second.role);
  EXPECT_EQ(Called(iface).toStdString(), row->second.name);
  EXPECT_THAT(iface->text(QAccessible::Description).toStdString(),
              ::testing::HasSubstr(row->second.description));
}

class AccessibleWindowTest : public WindowTest {};

// ---- The Tab key's way through the main window and the dialog ----

struct WalkCase {
  const char* name;
  void (*arrange)(TFernwick&);
  std::size_t stops;  // how many controls the Tab key reaches in this layout
};
void PrintTo(const WalkCase& c, std::ostream* out) {
  *out << c.name;
}

// Between them the layouts put every control of the wireless page on the Tab key's way.
const WalkCase kWalks[] = {
    {"AtStart", [](TFernwick&) {}, 12},
    {"WepKeyThreeOverRs232",
     [](TFernwick& w) {
       Choose(w.WepEncryptCob, 1);
       Click(w.WepPasswordRadio3);
       Click(w.RS232Radio);
     },
     20},
    {"Wpa", [](TFernwick& w) { Choose(w.AuthenticationTypeCob, 3); }, 13},
    {"Off", [](TFernwick& w) { Click(w.DisableRadio); }, 8},
};

class AccessibleTabWalkTest : public WindowTest, public ::testing::WithParamInterface<WalkCase> {};

// Each press of Tab: the control now holding the focus, as a screen reader asks it.
TEST_P(AccessibleTabWalkTest, EveryControlTheTabKeyReachesIsAnnouncedByItsLabel) {
  TFernwick& w = ShowWindow();
  GetParam().arrange(w);
  QWidget* start = w.PageControl1->tabBar();
  start->setFocus(Qt::TabFocusReason);
  std::size_t stops = 0;
  do {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(focus);
    ExpectAnnounced(kMainWindow, ControlName(focus), iface);
    EXPECT_TRUE(iface->state().focused) << ControlName(focus);
    EXPECT_FALSE(iface->state().disabled) << ControlName(focus);
    QTest::keyClick(focus, Qt::Key_Tab);
    ++stops;
  } while (QApplication::focusWidget() != start && stops < 60);
  EXPECT_EQ(stops, GetParam().stops);
}

INSTANTIATE_TEST_SUITE_P(Layouts, AccessibleTabWalkTest, ::testing::ValuesIn(kWalks),
                         [](const auto& param) { return std::string(param.param.name); });

// ---- The whole accessible tree, as a screen reader's review walks it ----

struct Reached {
  std::string formName;
  QAccessibleInterface* iface;
};

void CollectFocusable(QAccessibleInterface* iface, std::vector<Reached>& found) {
  if (iface->state().focusable && iface->object() != nullptr) {
    found.push_back({iface->object()->objectName().toStdString(), iface});
  }
  for (int i = 0; i < iface->childCount(); ++i) {
    if (QAccessibleInterface* child = iface->child(i)) CollectFocusable(child, found);
  }
}

// Every focusable control in the tree once, each with its row; every row found.
void ExpectTreeNamed(QWidget* window, const Table& table) {
  std::vector<Reached> found;
  CollectFocusable(QAccessible::queryAccessibleInterface(window), found);
  std::multiset<std::string> names;
  for (const Reached& r : found) {
    // A pick list's drop-down list is read with the name of its combo box.
    auto* object = qobject_cast<QWidget*>(r.iface->object());
    if (object != nullptr && object->inherits("QComboBoxListView")) {
      const auto row = table.find(ControlName(object));
      ASSERT_NE(row, table.end()) << ControlName(object);
      EXPECT_EQ(r.iface->role(), QAccessible::List);
      EXPECT_EQ(Name(r.iface).toStdString(), row->second.name) << row->first << "'s list";
      continue;
    }
    ExpectAnnounced(table, r.formName, r.iface);
    names.insert(r.formName);
  }
  for (const auto& [formName, expected] : table) {
    EXPECT_EQ(names.count(formName), 1u) << formName << " appears in the tree as often";
  }
}

TEST_F(AccessibleWindowTest, AccessibleTreeOfBothPagesNamesEveryFocusableControl) {
  ExpectTreeNamed(&ShowWindow(), kMainWindow);
}

// A control that cannot be used says so, as the disabled groups of the page make it.
TEST_F(AccessibleWindowTest, AccessibleStateFollowsTheGroupsThatDisableTheControls) {
  TFernwick& w = ShowWindow();
  const auto disabled = [](QWidget* control) {
    return QAccessible::queryAccessibleInterface(control)->state().disabled;
  };
  EXPECT_TRUE(disabled(w.WepPasswordEdt1));
  EXPECT_TRUE(disabled(w.DeviceIdEdt));
  EXPECT_FALSE(disabled(w.AddressIP));
  Click(w.RS232Radio);
  EXPECT_TRUE(disabled(w.AddressIP));
  EXPECT_FALSE(disabled(w.DeviceIdEdt));
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(w.RS232Radio)->state().checked);
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(w.TC_IPRadio)->state().checked);
}

// ---- The address control: one edit with its address ----

TEST_F(AccessibleWindowTest, AddressControlIsOneEditWithTheWholeAddressWhicheverPartHasTheCursor) {
  TFernwick& w = ShowWindow();
  QAccessibleInterface* control = QAccessible::queryAccessibleInterface(w.AddressIP);
  EXPECT_FALSE(control->state().focused) << "the focus starts elsewhere";
  w.AddressIP->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(control->state().focused) << "entered at its first part";
  w.AddressIP->field(0)->selectAll();
  TypeKeys("10.0.0.7");
  QWidget* focus = QApplication::focusWidget();
  ASSERT_EQ(focus, w.AddressIP->field(3));
  QAccessibleInterface* announced = QAccessible::queryAccessibleInterface(focus);
  EXPECT_EQ(announced->role(), QAccessible::EditableText);
  EXPECT_EQ(Name(announced), "IP");
  EXPECT_EQ(announced->text(QAccessible::Value), "10.0.0.7");
  EXPECT_THAT(announced->text(QAccessible::Description).toStdString(),
              ::testing::HasSubstr("4 of 4"));

  EXPECT_EQ(control->role(), QAccessible::EditableText);
  EXPECT_EQ(control->text(QAccessible::Value), "10.0.0.7");
  EXPECT_TRUE(control->state().focused);
  EXPECT_EQ(control->childCount(), 0) << "no part is an edit of its own";
  EXPECT_EQ(announced->parent(), control->parent()) << "the part stands for the control";
  ASSERT_NE(control->textInterface(), nullptr);
  EXPECT_EQ(control->textInterface()->text(0, control->textInterface()->characterCount()),
            "10.0.0.7");
}

// ---- The "*" marks ----

TEST_F(AccessibleWindowTest, RequiredMarksAreNotReadAsAStar) {
  TFernwick& w = ShowWindow();
  int marks = 0;
  for (QLabel* label : w.findChildren<QLabel*>()) {
    if (label->text() != QStringLiteral("*")) continue;
    ++marks;
    EXPECT_NE(Name(QAccessible::queryAccessibleInterface(label)), QStringLiteral("*"));
  }
  EXPECT_EQ(marks, 6) << "the network name and the five connection fields";
}

// ---- The device IP dialog ----

class AccessibleDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessWideState(); }
  TempDirectory dir;
  FakeMessageBoxes boxes;
};

TEST_F(AccessibleDialogTest, TabWalkAndTreeNameEveryControl) {
  auto* dialog = new TIPconfigFrm(dir.Path(), boxes);
  ShowActive(*dialog);
  EXPECT_EQ(Name(QAccessible::queryAccessibleInterface(dialog)), "ConfigMachine");
  QTest::keyClick(dialog->AutoGetIPRadio, Qt::Key_Down);  // a fixed address: all reachable
  ASSERT_TRUE(dialog->AssignIPRadio->isChecked());
  QWidget* start = QApplication::focusWidget();
  std::vector<std::string> reached;
  do {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    reached.push_back(ControlName(focus));
    ExpectAnnounced(kDialog, reached.back(), QAccessible::queryAccessibleInterface(focus));
    QTest::keyClick(focus, Qt::Key_Tab);
  } while (QApplication::focusWidget() != start && reached.size() < 20);
  EXPECT_EQ(reached, (std::vector<std::string>{"AssignIPRadio", "IPAddressEdt", "SubnetMaskEdt",
                                               "GateWayEdt", "SetIP"}));
  ExpectTreeNamed(dialog, kDialog);
  dialog->close();
}

// The focus is seen wherever the Tab key puts it in the dialog, as on the main window's page.
TEST_F(AccessibleDialogTest, EveryControlTheTabKeyReachesLooksDifferentWithTheFocus) {
  ShowFocusOnEveryButton();  // the main window's style, which the dialog opened from it has
  auto* dialog = new TIPconfigFrm(dir.Path(), boxes);
  ShowActive(*dialog);
  QTest::keyClick(dialog->AutoGetIPRadio, Qt::Key_Down);  // a fixed address: all reachable
  QWidget* start = QApplication::focusWidget();
  ASSERT_EQ(start, dialog->AssignIPRadio);
  // Each control drawn without the focus: the dialog itself holds it meanwhile.
  std::map<QWidget*, QImage> unfocused;
  const std::vector<QWidget*> controls = {dialog->AssignIPRadio, dialog->IPAddressEdt,
                                          dialog->SubnetMaskEdt, dialog->GateWayEdt, dialog->SetIP};
  dialog->setFocus();
  for (QWidget* control : controls) unfocused[control] = control->grab().toImage();
  start->setFocus(Qt::TabFocusReason);
  for (QWidget* control : controls) {
    ASSERT_TRUE(control->hasFocus() || control->isAncestorOf(QApplication::focusWidget()))
        << control->objectName().toStdString();
    EXPECT_GE(DifferingPixels(control->grab().toImage(), unfocused[control]), 20)
        << control->objectName().toStdString() << " shows no focus";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  dialog->close();
}

// ---- Message boxes ----

struct BoxReading {
  const char* name;
  void (*show)(MessageBoxes&);
  const char* caption;
  const char* text;
};
void PrintTo(const BoxReading& c, std::ostream* out) {
  *out << c.name;
}

class AccessibleBoxTest : public ::testing::TestWithParam<BoxReading> {};

// The box as a screen reader meets it when it opens: an alert named by its caption whose text
// is its description and its value, with the text as a label inside and a named button.
TEST_P(AccessibleBoxTest, BoxGivesItsCaptionAndItsText) {
  QWidget mainWindow;
  QtMessageBoxes boxes;
  boxes.SetMainWindow(&mainWindow);
  ShowActive(mainWindow);
  struct Heard {
    QAccessible::Role role{};
    QString name, description, value;
    std::vector<QString> labels, buttons;
  } heard;
  QTimer poll;
  poll.setInterval(0);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll.stop();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
    heard.role = iface->role();
    heard.name = iface->text(QAccessible::Name);
    heard.description = iface->text(QAccessible::Description);
    heard.value = iface->text(QAccessible::Value);
    std::vector<QAccessibleInterface*> pending = {iface};
    while (!pending.empty()) {
      QAccessibleInterface* node = pending.back();
      pending.pop_back();
      for (int i = 0; i < node->childCount(); ++i) pending.push_back(node->child(i));
      if (node->role() == QAccessible::StaticText) heard.labels.push_back(Name(node));
      if (node->role() == QAccessible::Button) heard.buttons.push_back(Name(node));
    }
    QTest::keyClick(box, Qt::Key_Escape);
  });
  poll.start();
  GetParam().show(boxes);
  EXPECT_EQ(heard.role, QAccessible::AlertMessage);
  EXPECT_EQ(heard.name, GetParam().caption);
  EXPECT_EQ(heard.description, GetParam().text);
  EXPECT_EQ(heard.value, GetParam().text);
  EXPECT_THAT(heard.labels, ::testing::Contains(QString::fromLatin1(GetParam().text)));
  EXPECT_THAT(heard.buttons, ::testing::Contains(QStringLiteral("OK")));
  EXPECT_THAT(heard.buttons, ::testing::Not(::testing::Contains(QString())));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, AccessibleBoxTest,
    ::testing::Values(
        BoxReading{"Information", [](MessageBoxes& b) { b.Information("connect succeed"); },
                   "Information", "connect succeed"},
        BoxReading{"Warning", [](MessageBoxes& b) { b.Warning("not Set IPaddress!", "Notice"); },
                   "Notice", "not Set IPaddress!"},
        BoxReading{"Confirmation", [](MessageBoxes& b) { b.Confirm("Are you sure?"); }, "Confirm",
                   "Are you sure?"},
        BoxReading{"Plain", [](MessageBoxes& b) { b.Plain("Set fali!"); }, "Quillstone",
                   "Set fali!"},
        BoxReading{"Error", [](MessageBoxes& b) { b.Error("Range check error"); }, "Quillstone",
                   "Range check error."}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillstone::testing
