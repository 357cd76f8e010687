// What a screen reader calls each control of the main window, both pages: the label beside it,
// or a name of its own where the window shows none. The visible texts stay as they are.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "app/AccessibleNames.h"
#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"

namespace quillstone {

void TFernwick::NameControls() {
  const QString wpaHint = Label9->text().replace(QLatin1Char('\n'), QLatin1Char(' '));
  const QString portNumber = QStringLiteral("COMPort number");
  const QString portNumberHint = QStringLiteral("The number after COM: 1 for COM1");
  quillstone::NameControls({
      {PageControl1, QStringLiteral("Pages")},
      // Wireless page.
      {ActiveRadio, ActiveRadio->text(), Label8->text()},
      {DisableRadio, DisableRadio->text(), Label8->text()},
      {WirelessNetEdt, Labnet->text()},
      {WirelessModelCob, WirelessModelLab->text()},
      {AuthenticationTypeCob, Label3->text()},
      {WepEncryptCob, LabWEP->text()},
      {PasswordModeCob, LabpasswordType->text()},
      // The markers have no caption: each says which key it makes the default one.
      {WepPasswordRadio1, QStringLiteral("Default key 1"), Labpassword1->text()},
      {WepPasswordRadio2, QStringLiteral("Default key 2"), labpassword2->text()},
      {WepPasswordRadio3, QStringLiteral("Default key 3"), Labpassword3->text()},
      {WepPasswordRadio4, QStringLiteral("Default key 4"), Labpassword4->text()},
      {WepPasswordEdt1, Labpassword1->text(), QStringLiteral("WEP key 1")},
      {WepPasswordEdt2, labpassword2->text(), QStringLiteral("WEP key 2")},
      {WepPasswordEdt3, Labpassword3->text(), QStringLiteral("WEP key 3")},
      {WepPasswordEdt4, Labpassword4->text(), QStringLiteral("WEP key 4")},
      {WAPpasswordEdit, Label7->text().trimmed(), wpaHint},
      {AddressIP, QStringLiteral("IP")},
      {PortEdtWire, QStringLiteral("Port")},
      {DeviceIdEdt, QStringLiteral("DeviceID")},
      {Edit5, QStringLiteral("COMPort")},
      {ComIDEdit, portNumber, portNumberHint},
      {BaudRateEdit, QStringLiteral("Baud rate")},
      {SetBitB, SetBitB->text().trimmed()},
      // Modem page.
      {EDTIP, QStringLiteral("IP")},
      {EDTPort, QStringLiteral("port")},
      {EDTDeviceID, QStringLiteral("DeviceID")},
      {Edit1, QStringLiteral("COMPort")},
      {EDTCOMNum, portNumber, portNumberHint},
      {EDTBaudRate, QStringLiteral("baud rate")},
      {CMBModem, QStringLiteral("MODEMType")},
      {CMBConnect, QStringLiteral("ConnectMODEM:")},
      {APNEdit, Label21->text()},
      {EDTUserName, QStringLiteral("UserName:")},
      {EDTpsw, QStringLiteral("Password")},
      {EDTNum, QStringLiteral("DialNumber")},
      {CMBKeep, QStringLiteral("KeepLive")},
      {EDTAutoUPT, QStringLiteral("AutoUPLogTime")},
      {CMDChcekM, QStringLiteral("ServerCheckMode")},
      {Edit2, QStringLiteral("AuthServerREQ")},
      {Edit3, QStringLiteral("ASTimeOut")},
      {URLEdit, Label22->text()},
      {Edit4, Label19->text()},
      {DNSIPEdit, Label23->text()},
  });
  MarkRequired(this,
               {WirelessNetEdt, AddressIP, PortEdtWire, DeviceIdEdt, ComIDEdit, BaudRateEdit});
}

}  // namespace quillstone
