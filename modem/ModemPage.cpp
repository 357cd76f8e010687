// The hidden modem page of the main window: its controls, their rules and its apply.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/ConfigurationBracket.h"
#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "app/RadioGroup.h"
#include "app/WidgetState.h"
#include "devicelink/DeviceConnection.h"
#include "devicelink/OptionExchange.h"
#include "devicelink/PunParam.h"
#include "modem/ModemOptions.h"

namespace quillstone {

namespace {

constexpr int kRs232ModemIndex = 1;
constexpr int kCdmaModemIndex = 3;

QComboBox* PickList(QWidget* parent, const char* name, const QStringList& items, int selected) {
  auto* combo = Named(new QComboBox(parent), name);
  combo->addItems(items);
  combo->setCurrentIndex(selected);
  return combo;
}

QWidget* WithUnit(QWidget* field, QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(field);
  layout->addWidget(new QLabel(QStringLiteral("S"), box));
  return box;
}

}  // namespace

void TFernwick::BuildModemPage() {
  auto* page = new QHBoxLayout(TabSheet1);
  page->addWidget(BuildModemConnectionPanel(), 0, Qt::AlignTop);

  auto* options = new QWidget(TabSheet1);
  auto* grid = new QGridLayout(options);
  grid->setVerticalSpacing(3);
  int row = 0;
  auto addRow = [&](const QString& label, QWidget* field) {
    grid->addWidget(new QLabel(label, options), row, 0);
    grid->addWidget(field, row, 1);
    ++row;
  };

  CMBModem = PickList(options, "CMBModem", {"NONE", "RS232 ", "GPRS", "CDMA"}, 2);
  addRow(QStringLiteral("MODEMType"), CMBModem);
  CMBConnect = PickList(options, "CMBConnect", {"NULL", "N", "Y"}, 2);
  addRow(QStringLiteral("ConnectMODEM:"), CMBConnect);

  GroupBox1 = Named(new QGroupBox(QStringLiteral("DialConfig"), options), "GroupBox1");
  Label21 = Named(new QLabel(QStringLiteral("APN"), GroupBox1), "Label21");
  APNEdit = Named(new QLineEdit(GroupBox1), "APNEdit");
  EDTUserName = Named(new QLineEdit(GroupBox1), "EDTUserName");
  EDTpsw = Named(new QLineEdit(GroupBox1), "EDTpsw");
  EDTNum = Named(new QLineEdit(GroupBox1), "EDTNum");
  EDTNum->setToolTip(QStringLiteral("It can not  be null,you must input the num"));
  auto* dial = new QGridLayout(GroupBox1);
  dial->addWidget(Label21, 0, 0);
  dial->addWidget(APNEdit, 0, 1);
  dial->addWidget(new QLabel(QStringLiteral("UserName:"), GroupBox1), 1, 0);
  dial->addWidget(EDTUserName, 1, 1);
  dial->addWidget(new QLabel(QStringLiteral("Password"), GroupBox1), 2, 0);
  dial->addWidget(EDTpsw, 2, 1);
  dial->addWidget(new QLabel(QStringLiteral("DialNumber"), GroupBox1), 3, 0);
  dial->addWidget(EDTNum, 3, 1);
  grid->addWidget(GroupBox1, row++, 0, 1, 2);

  CMBKeep = PickList(options, "CMBKeep", {"NULL", "N", "Y"}, 2);
  CMBKeep->setToolTip(QStringLiteral("If you select yes,The MODEM will keep connect"));
  addRow(QStringLiteral("KeepLive"), CMBKeep);
  EDTAutoUPT = Named(new QLineEdit(QStringLiteral("60"), options), "EDTAutoUPT");
  EDTAutoUPT->setToolTip(QStringLiteral("Auto upload log period/time"));
  addRow(QStringLiteral("AutoUPLogTime"), WithUnit(EDTAutoUPT, options));
  CMDChcekM = PickList(options, "CMDChcekM", {"NONE", "LAN", "GPRS/CDMA"}, -1);
  CMDChcekM->setToolTip(QStringLiteral(
      "If select LAN,it will send UDP pack to server and check server,else,it only check local "
      "network card"));
  addRow(QStringLiteral("ServerCheckMode"), CMDChcekM);
  Edit2 = Named(new QLineEdit(QStringLiteral("3"), options), "Edit2");
  Edit2->setToolTip(QStringLiteral("the interval to Check net"));
  addRow(QStringLiteral("AuthServerREQ"), WithUnit(Edit2, options));
  Edit3 = Named(new QLineEdit(QStringLiteral("10"), options), "Edit3");
  Edit3->setToolTip(QStringLiteral("The interval to check if time out"));
  addRow(QStringLiteral("ASTimeOut"), WithUnit(Edit3, options));

  GroupBox6 = Named(new QGroupBox(QStringLiteral("ConnectType"), options), "GroupBox6");
  RadioButton3 = Named(new QRadioButton(QStringLiteral("IPType"), GroupBox6), "RadioButton3");
  RadioButton4 = Named(new QRadioButton(QStringLiteral("DNSType"), GroupBox6), "RadioButton4");
  RadioButton3->setChecked(true);
  Label22 = Named(new QLabel(QStringLiteral("URL"), GroupBox6), "Label22");
  URLEdit = Named(new QLineEdit(GroupBox6), "URLEdit");
  Label19 = Named(new QLabel(QStringLiteral("AuthServerIP"), GroupBox6), "Label19");
  Edit4 = Named(new IpAddressEdit(GroupBox6), "Edit4");
  Label23 = Named(new QLabel(QStringLiteral("DNSServerIP"), GroupBox6), "Label23");
  DNSIPEdit = Named(new IpAddressEdit(GroupBox6), "DNSIPEdit");
  auto* connectType = new QGridLayout(GroupBox6);
  connectType->addWidget(RadioButton3, 0, 0);
  connectType->addWidget(RadioButton4, 0, 1);
  connectType->addWidget(Label22, 1, 0);
  connectType->addWidget(URLEdit, 1, 1);
  connectType->addWidget(Label19, 2, 0);
  connectType->addWidget(Edit4, 2, 1);
  connectType->addWidget(Label23, 3, 0);
  connectType->addWidget(DNSIPEdit, 3, 1);
  grid->addWidget(GroupBox6, row++, 0, 1, 2);

  Button2 = Named(new QPushButton(QStringLiteral("Set"), options), "Button2");
  grid->addWidget(Button2, row++, 1);
  page->addWidget(options, 1);
}

void TFernwick::ConnectModemHandlers() {
  connect(CMBModem, &QComboBox::activated, this, [this] { CMBModemChange(); });
  new RadioGroup({{RadioButton3, [this] { RadioButton3Click(); }},
                  {RadioButton4, [this] { RadioButton4Click(); }}},
                 this);
}

void TFernwick::CMBModemChange() {
  const bool rs232 = CMBModem->currentIndex() == kRs232ModemIndex;
  SetEnabled({CMBConnect, GroupBox1, CMBKeep, EDTAutoUPT, CMDChcekM, Edit2, Edit3, Edit4}, !rs232);
  const bool showApn = CMBModem->currentIndex() != kCdmaModemIndex;
  APNEdit->setVisible(showApn);
  Label21->setVisible(showApn);
}

void TFernwick::RadioButton3Click() {
  if (!RadioButton3->isChecked()) return;
  Label19->setVisible(true);
  Edit4->setVisible(true);
  SetVisible({Label22, Label23, URLEdit, DNSIPEdit}, false);
  DNSIPEdit->setText(QStringLiteral("0.0.0.0"));
  URLEdit->clear();
}

void TFernwick::RadioButton4Click() {
  if (!RadioButton4->isChecked()) return;
  Label19->setVisible(false);
  Edit4->setVisible(false);
  SetVisible({Label23, Label22, DNSIPEdit, URLEdit}, true);
  Edit4->setText(QStringLiteral("0.0.0.0"));
}

void TFernwick::Button1Click() {
  ModemForm form;
  form.modemIndex = CMBModem->currentIndex();
  form.modemText = CMBModem->currentText().toStdString();
  form.connectIndex = CMBConnect->currentIndex();
  form.connectText = CMBConnect->currentText().toStdString();
  form.apn = APNEdit->text().toStdString();
  form.userName = EDTUserName->text().toStdString();
  form.password = EDTpsw->text().toStdString();
  form.dialNumber = EDTNum->text().toStdString();
  form.keepIndex = CMBKeep->currentIndex();
  form.keepText = CMBKeep->currentText().toStdString();
  form.autoUploadTime = EDTAutoUPT->text().toStdString();
  form.checkModeIndex = CMDChcekM->currentIndex();
  form.checkModeText = CMDChcekM->currentText().toStdString();
  form.authServerRequest = Edit2->text().toStdString();
  form.authServerTimeout = Edit3->text().toStdString();
  form.ipType = RadioButton3->isChecked();
  form.dnsType = RadioButton4->isChecked();
  form.authServerIp = Edit4->text().toStdString();
  form.dnsIp = DNSIPEdit->text().toStdString();
  form.url = URLEdit->text().toStdString();

  if (DialNumberMissing(form)) {
    environment_.boxes->Information("Dial number can not be null,you must input it,please!");
    return;
  }

  const bool serial = RadioButton2->isChecked();
  const bool opened =
      serial ? OpenSerialConnection((Edit1->text() + EDTCOMNum->text()).toStdString(),
                                    EDTDeviceID->text().toStdString(),
                                    EDTBaudRate->text().toStdString())
             : OpenNetworkConnection(static_cast<WindowId>(winId()), EDTIP->text().toStdString(),
                                     EDTPort->text().toStdString());
  if (WindowClosing()) {  // closed while the device was being reached
    if (opened) CloseConnection();
    return;
  }
  if (!opened) {
    environment_.boxes->Information("can not connect with device");
    return;
  }

  ConfigurationBracket bracket;
  ReadOption(DeviceHandle, "~OS");  // the batch writer makes its own probe
  if (WindowClosing()) return;
  const ModemOptionResult result =
      BuildModemOptionList(form, serial ? ModemTransport::Serial : ModemTransport::Tcp);
  if (result.fault) {
    if (result.fault->box == ModemFieldFault::Box::NoticeWarning) {
      environment_.boxes->Warning(result.fault->message, "Notice");
    } else {
      environment_.boxes->Plain(result.fault->message);
    }
    switch (result.fault->field) {
      case ModemFieldFault::Field::AuthServerIp:
        Edit4->setFocus();
        break;
      case ModemFieldFault::Field::DnsIp:
        DNSIPEdit->setFocus();
        break;
      case ModemFieldFault::Field::Url:
        URLEdit->setFocus();
        break;
    }
    return;
  }
  const int written = result.options.empty() ? 0 : WriteOptionList(result.options);
  if (WindowClosing()) return;
  if (result.options.empty()) {
    environment_.boxes->Plain("Do not select any config");
  } else if (written == static_cast<int>(result.options.size())) {
    environment_.boxes->Plain("Set successfully!");
  } else {
    environment_.boxes->Plain("Set fali!");
  }
}

}  // namespace quillstone
