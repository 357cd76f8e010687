// The hidden modem page's controls: their start state and the rules of the modem type and
// the server address type.
#include "ModemPageFixture.h"

namespace quillstone::testing {
namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

// The controls that "RS232 " disables and every other type enables.
std::vector<QWidget*> DialControls(TFernwick& w) {
  return {w.CMBConnect, w.GroupBox1, w.CMBKeep, w.EDTAutoUPT,
          w.CMDChcekM,  w.Edit2,     w.Edit3,   w.Edit4};
}

TEST_F(ModemPageTest, PageExistsBehindAHiddenTab) {
  EXPECT_FALSE(Window().PageControl1->isTabVisible(0));
  EXPECT_EQ(Window().PageControl1->currentWidget(), Window().TabSheet2);
  EXPECT_FALSE(Window().Button2->isVisible());
}

TEST_F(ModemPageTest, ListsStartWithTheirItemsAndSelections) {
  TFernwick& w = Window();
  EXPECT_EQ(Items(w.CMBModem), QStringList({"NONE", "RS232 ", "GPRS", "CDMA"}));
  EXPECT_EQ(w.CMBModem->currentText(), QStringLiteral("GPRS"));
  EXPECT_EQ(Items(w.CMBConnect), QStringList({"NULL", "N", "Y"}));
  EXPECT_EQ(w.CMBConnect->currentText(), QStringLiteral("Y"));
  EXPECT_EQ(Items(w.CMBKeep), QStringList({"NULL", "N", "Y"}));
  EXPECT_EQ(w.CMBKeep->currentText(), QStringLiteral("Y"));
  EXPECT_EQ(Items(w.CMDChcekM), QStringList({"NONE", "LAN", "GPRS/CDMA"}));
  EXPECT_EQ(w.CMDChcekM->currentIndex(), -1);
  EXPECT_TRUE(w.CMDChcekM->currentText().isEmpty());
}

TEST_F(ModemPageTest, FieldsStartWithTheirTextsAndToolTips) {
  TFernwick& w = Window();
  for (const QLineEdit* empty : {w.APNEdit, w.EDTUserName, w.EDTpsw, w.EDTNum, w.URLEdit}) {
    EXPECT_TRUE(empty->text().isEmpty()) << empty->objectName().toStdString();
  }
  EXPECT_EQ(w.EDTpsw->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(w.EDTAutoUPT->text(), QStringLiteral("60"));
  EXPECT_EQ(w.Edit2->text(), QStringLiteral("3"));
  EXPECT_EQ(w.Edit3->text(), QStringLiteral("10"));
  EXPECT_EQ(w.Edit4->text(), QStringLiteral("0.0.0.0"));
  EXPECT_EQ(w.DNSIPEdit->text(), QStringLiteral("0.0.0.0"));
  EXPECT_TRUE(w.RadioButton3->isChecked());
  EXPECT_FALSE(w.RadioButton4->isChecked());
  EXPECT_EQ(w.Button2->text(), QStringLiteral("Set"));

  EXPECT_EQ(w.EDTNum->toolTip(), QStringLiteral("It can not  be null,you must input the num"));
  EXPECT_EQ(w.CMBKeep->toolTip(), QStringLiteral("If you select yes,The MODEM will keep connect"));
  EXPECT_EQ(w.EDTAutoUPT->toolTip(), QStringLiteral("Auto upload log period/time"));
  EXPECT_EQ(w.CMDChcekM->toolTip(),
            QStringLiteral("If select LAN,it will send UDP pack to server and check server,"
                           "else,it only check local network card"));
  EXPECT_EQ(w.Edit2->toolTip(), QStringLiteral("the interval to Check net"));
  EXPECT_EQ(w.Edit3->toolTip(), QStringLiteral("The interval to check if time out"));
  EXPECT_EQ(w.GroupBox3->toolTip(), QStringLiteral("Set COMM options"));
}

TEST_F(ModemPageTest, StartShowsTheServerAddressOnlyAndEverythingEnabled) {
  TFernwick& w = Window();
  for (const QWidget* hidden :
       std::initializer_list<const QWidget*>{w.URLEdit, w.Label22, w.DNSIPEdit, w.Label23}) {
    EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
  }
  for (const QWidget* shown :
       std::initializer_list<const QWidget*>{w.Edit4, w.Label19, w.APNEdit, w.Label21}) {
    EXPECT_TRUE(OnPage(shown)) << shown->objectName().toStdString();
  }
  for (QWidget* control : DialControls(w)) {
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  }
  EXPECT_TRUE(w.APNEdit->isEnabled());
}

TEST_F(ModemPageTest, PickingRs232DisablesTheDialControls) {
  PickItem(Window().CMBModem, QStringLiteral("RS232 "));

  for (QWidget* control : DialControls(Window())) {
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  }
  EXPECT_TRUE(OnPage(Window().APNEdit));
  EXPECT_TRUE(Window().CMBModem->isEnabled());
}

TEST_F(ModemPageTest, SelectingTheTypeByCodeRunsNoHandler) {
  Window().CMBModem->setCurrentIndex(1);

  for (QWidget* control : DialControls(Window())) {
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  }
}

TEST_F(ModemPageTest, CdmaHidesTheApnAndRs232ShowsItAgainDisabledWithItsGroup) {
  TFernwick& w = Window();
  PickItem(w.CMBModem, QStringLiteral("CDMA"));
  EXPECT_TRUE(w.APNEdit->isHidden());
  EXPECT_TRUE(w.Label21->isHidden());
  for (QWidget* control : DialControls(w)) EXPECT_TRUE(control->isEnabled());

  PickItem(w.CMBModem, QStringLiteral("RS232 "));
  EXPECT_TRUE(OnPage(w.APNEdit));
  EXPECT_TRUE(OnPage(w.Label21));
  EXPECT_FALSE(w.APNEdit->isEnabled());

  PickItem(w.CMBModem, QStringLiteral("GPRS"));
  for (QWidget* control : DialControls(w)) EXPECT_TRUE(control->isEnabled());
  EXPECT_TRUE(w.APNEdit->isEnabled());
}

TEST_F(ModemPageTest, DnsTypeShowsUrlAndDnsAndClearsTheServerAddress) {
  TFernwick& w = Window();
  w.Edit4->setText(QStringLiteral("10.0.0.2"));

  w.RadioButton4->click();

  EXPECT_EQ(w.Edit4->text(), QStringLiteral("0.0.0.0"));
  EXPECT_TRUE(w.Edit4->isHidden());
  EXPECT_TRUE(w.Label19->isHidden());
  for (const QWidget* shown :
       std::initializer_list<const QWidget*>{w.URLEdit, w.Label22, w.DNSIPEdit, w.Label23}) {
    EXPECT_TRUE(OnPage(shown)) << shown->objectName().toStdString();
  }
}

TEST_F(ModemPageTest, IpTypeAgainResetsDnsAndEmptiesUrl) {
  TFernwick& w = Window();
  w.RadioButton4->click();
  w.DNSIPEdit->setText(QStringLiteral("10.0.0.3"));
  w.URLEdit->setText(QStringLiteral("auth.example"));
  w.Edit4->setText(QStringLiteral("10.0.0.2"));

  w.RadioButton3->click();

  EXPECT_EQ(w.DNSIPEdit->text(), QStringLiteral("0.0.0.0"));
  EXPECT_TRUE(w.URLEdit->text().isEmpty());
  EXPECT_EQ(w.Edit4->text(), QStringLiteral("10.0.0.2"));
  EXPECT_TRUE(OnPage(w.Edit4));
  EXPECT_TRUE(OnPage(w.Label19));
  for (const QWidget* hidden :
       std::initializer_list<const QWidget*>{w.URLEdit, w.Label22, w.DNSIPEdit, w.Label23}) {
    EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
  }
}

}  // namespace
}  // namespace quillstone::testing
