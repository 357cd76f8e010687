#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MessageBoxes.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace quillstone {

class IpAddressEdit;
class LimitedLineEdit;

// What the main window needs from outside: where its files live and how it talks to the user.
struct FernwickEnvironment {
  // Directory of the bmp pictures; ends with a separator.
  std::string programDirectory;
  MessageBoxes* boxes = nullptr;
  // Directory of "options.ini" and "IPconfig.ini", chosen at start (ChooseSettingsDirectory):
  // the program directory where it is writable; ends with a separator.
  std::string settingsDirectory;
};

// The main window (form name "Fernwick"): the hidden modem page TabSheet1 and the wireless
// page TabSheet2. Controls are named members, also findable by objectName; handlers are named
// after control and event and run on user actions only.
class TFernwick : public QWidget {
  Q_OBJECT

 public:
  explicit TFernwick(FernwickEnvironment environment, QWidget* parent = nullptr);
  ~TFernwick() override;

  const FernwickEnvironment& Environment() const { return environment_; }
  // True while a device action (test, apply) runs.
  bool DeviceActionRunning() const { return deviceActionRunning_; }

  // ---- Pages (Part of the main window) ----
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;  // "ModemConfig", tab hidden
  QWidget* TabSheet2 = nullptr;  // "WirfiOptions"

  // ---- Wireless page: top row and network group ----
  QLabel* Label8 = nullptr;
  QRadioButton* ActiveRadio = nullptr;
  QRadioButton* DisableRadio = nullptr;
  QGroupBox* GroupBox7 = nullptr;
  QLabel* Labnet = nullptr;
  QLineEdit* WirelessNetEdt = nullptr;
  QLabel* Label10 = nullptr;
  QLabel* WirelessModelLab = nullptr;
  QComboBox* WirelessModelCob = nullptr;
  QLabel* Label3 = nullptr;
  QComboBox* AuthenticationTypeCob = nullptr;
  QLabel* LabWEP = nullptr;
  QComboBox* WepEncryptCob = nullptr;

  // ---- Wireless page: WEP group ----
  QGroupBox* WEPGroup = nullptr;
  QLabel* LabpasswordType = nullptr;
  QComboBox* PasswordModeCob = nullptr;
  QLabel* Labpassword1 = nullptr;
  QLabel* labpassword2 = nullptr;
  QLabel* Labpassword3 = nullptr;
  QLabel* Labpassword4 = nullptr;
  QRadioButton* WepPasswordRadio1 = nullptr;
  QRadioButton* WepPasswordRadio2 = nullptr;
  QRadioButton* WepPasswordRadio3 = nullptr;
  QRadioButton* WepPasswordRadio4 = nullptr;
  LimitedLineEdit* WepPasswordEdt1 = nullptr;
  LimitedLineEdit* WepPasswordEdt2 = nullptr;
  LimitedLineEdit* WepPasswordEdt3 = nullptr;
  LimitedLineEdit* WepPasswordEdt4 = nullptr;

  // ---- Wireless page: WPA group ----
  QGroupBox* WPAGroup = nullptr;
  QLabel* Label7 = nullptr;
  QLineEdit* WAPpasswordEdit = nullptr;
  QLabel* Label9 = nullptr;

  // ---- Wireless page: connection panel "Connection parameter" ----
  QGroupBox* GroupBox2 = nullptr;
  QRadioButton* TC_IPRadio = nullptr;
  QRadioButton* RS232Radio = nullptr;
  QGroupBox* GroupBox4 = nullptr;
  IpAddressEdit* AddressIP = nullptr;
  QLineEdit* PortEdtWire = nullptr;
  QGroupBox* GroupBox5 = nullptr;
  QLineEdit* DeviceIdEdt = nullptr;
  QLineEdit* Edit5 = nullptr;
  QLineEdit* ComIDEdit = nullptr;
  QLineEdit* BaudRateEdit = nullptr;

  // ---- Wireless page: buttons ----
  QPushButton* TestConnectBtn = nullptr;
  QPushButton* IPoptionsBitB = nullptr;
  QPushButton* SetBitB = nullptr;

  // ---- Modem page: connection panel "connect config" ----
  QGroupBox* GroupBox3 = nullptr;
  QLineEdit* EDTIP = nullptr;
  QLineEdit* EDTPort = nullptr;
  QLineEdit* EDTDeviceID = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* EDTCOMNum = nullptr;
  QLineEdit* EDTBaudRate = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;

  // ---- Modem page: modem options ----
  QComboBox* CMBModem = nullptr;
  QComboBox* CMBConnect = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label21 = nullptr;
  QLineEdit* APNEdit = nullptr;
  QLineEdit* EDTUserName = nullptr;
  QLineEdit* EDTpsw = nullptr;
  QLineEdit* EDTNum = nullptr;
  QComboBox* CMBKeep = nullptr;
  QLineEdit* EDTAutoUPT = nullptr;
  QComboBox* CMDChcekM = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QGroupBox* GroupBox6 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  QRadioButton* RadioButton4 = nullptr;
  QLabel* Label22 = nullptr;
  QLineEdit* URLEdit = nullptr;
  QLabel* Label19 = nullptr;
  IpAddressEdit* Edit4 = nullptr;
  QLabel* Label23 = nullptr;
  IpAddressEdit* DNSIPEdit = nullptr;
  QPushButton* Button2 = nullptr;

  // The apply's short-key markers; held only while an apply runs.
  std::unique_ptr<std::vector<std::string>> ShortKeyList;

  // ---- Start-up and connection panels (app/FernwickMain.cpp) ----
  void FormCreate();
  void TC_IPRadioClick();
  void RS232RadioClick();
  void RadioButton1Click();
  void RadioButton2Click();
  // Key filters: a typed character other than a digit or a control character becomes '\0'.
  void PortEdtWireKeyPress(QChar& key);
  void DeviceIdEdtKeyPress(QChar& key);
  void ComIDEditKeyPress(QChar& key);
  void BaudRateEditKeyPress(QChar& key);

  // ---- Connection test (app/ConnectionTest.cpp) ----
  void TestConnectBtnClick();

  // ---- Wireless page (wireless/WirelessPage.cpp) ----
  void WirelessModelCobChange();
  void AuthenticationTypeCobChange();
  void WepEncryptCobChange();
  void PasswordModeCobChange();
  void ActiveRadioClick();
  void DisableRadioClick();
  void EnableWepKeys();
  void EnableWpaKey();
  void DisableKeys();
  void WepPasswordEdt1Exit();
  void WepPasswordEdt2Exit();
  void WepPasswordEdt3Exit();
  void WepPasswordEdt4Exit();
  void WAPpasswordEditExit();
  void ApplyKeyFormat();
  void ApplyKeyLengths();
  void ListShortKeys();
  bool CheckKeys();

  // ---- Wireless apply (wireless/WirelessApply.cpp) ----
  void SetBitBClick();

  // ---- Device IP dialog (wireless/IPConfig.cpp) ----
  void IPoptionsBitBClick();

  // ---- Modem page (modem/ModemPage.cpp) ----
  void CMBModemChange();
  void RadioButton3Click();
  void RadioButton4Click();
  void Button1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Page builders; each file builds the controls of its own part.
  void BuildWirelessPage();                // wireless/WirelessPage.cpp
  QGroupBox* BuildConnectionPanel();       // app/FernwickMain.cpp: GroupBox2
  void BuildModemPage();                   // modem/ModemPage.cpp
  QGroupBox* BuildModemConnectionPanel();  // app/FernwickMain.cpp: GroupBox3
  void ConnectWirelessHandlers();          // wireless/WirelessPage.cpp
  void ConnectModemHandlers();             // modem/ModemPage.cpp
  void SetTabOrder();
  // What a screen reader calls each control (app/FernwickNames.cpp).
  void NameControls();
  // Enter presses " Set" with the focus still in the field the user typed in; a click would
  // have recorded that key field on leaving it, so Enter records it (wireless/WirelessPage.cpp).
  void RecordFocusedKeyField();

  // Runs a button handler: an escaping AppError (or other exception) becomes the application
  // error box. A second action is refused while one runs (the batch writer processes window
  // messages), and a close of the window asked for meanwhile ends the action and then the
  // window. With `deviceAction` the busy cursor shows.
  void RunHandler(const std::function<void()>& handler, bool deviceAction);
  // Lets the window's pending messages run and tells whether the user has closed the window
  // meanwhile. A device action asks before each box and after each step that waits for the
  // device: once true it ends at once, sending nothing more than the end of the configuration
  // and the close of the connection, and shows no box; the program then exits.
  bool WindowClosing();

  // Calls `onExit` when the focus leaves `field` for another control of this window.
  void NotifyOnExit(QWidget* field, std::function<void()> onExit);
  // Installs the digit filter on a wireless panel field.
  void FilterDigits(QLineEdit* field, void (TFernwick::*keyPress)(QChar&));
  // Passes every typed or composed character of `event` through the field's key filter;
  // true when the event is discarded.
  bool FilterTyping(QWidget* field, void (TFernwick::*keyPress)(QChar&), QEvent* event);

  // Every box of the window goes through it, so no box shows the busy cursor.
  std::unique_ptr<MessageBoxes> cursorFreeBoxes_;
  FernwickEnvironment environment_;
  bool handlerRunning_ = false;
  bool deviceActionRunning_ = false;
  bool closeRequested_ = false;
  std::vector<std::pair<QWidget*, std::function<void()>>> exitHandlers_;
  std::vector<std::pair<QWidget*, void (TFernwick::*)(QChar&)>> keyFilters_;
};

}  // namespace quillstone
