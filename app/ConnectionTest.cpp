// "Test Connect": open, bracket, tell the user, show the result picture, close.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/ButtonPicture.h"
#include "app/ConfigurationBracket.h"
#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "devicelink/DeviceConnection.h"

namespace quillstone {

void TFernwick::TestConnectBtnClick() {
  bool opened = false;
  if (TC_IPRadio->isChecked()) {
    opened = OpenNetworkConnection(static_cast<WindowId>(winId()), AddressIP->text().toStdString(),
                                   PortEdtWire->text().toStdString());
  }
  if (RS232Radio->isChecked()) {
    opened =
        OpenSerialConnection((Edit5->text() + ComIDEdit->text()).toStdString(),
                             DeviceIdEdt->text().toStdString(), BaudRateEdit->text().toStdString());
  }
  if (WindowClosing()) {  // closed while the device was being reached
    if (opened) CloseConnection();
    return;
  }
  if (opened) {
    ConfigurationBracket bracket;  // ends and closes also when the picture fails
    if (WindowClosing()) return;
    environment_.boxes->Information("connect succeed");
    if (WindowClosing()) return;
    LoadButtonPicture(TestConnectBtn, environment_.programDirectory, ConnectedPictureFile);
  } else {
    environment_.boxes->Information("can not connect with device");
    LoadButtonPicture(TestConnectBtn, environment_.programDirectory, NotConnectedPictureFile);
  }
}

}  // namespace quillstone
