// The wireless page of the main window: its controls, the rules by which one choice enables,
// disables or refills others, and the key fields' rules.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>
#include <array>

#include "app/FernwickMain.h"
#include "app/LimitedLineEdit.h"
#include "app/RadioGroup.h"
#include "app/WidgetState.h"
#include "wireless/WirelessKeys.h"

namespace quillstone {

namespace {

const QStringList kInfrastructureAuthentication = {"OPEN", "SHARED", "WEPAUTO", "WPAPSK",
                                                   "WPA2PSK"};
const QStringList kAdhocAuthentication = {"OPEN", "SHARED", "WPANONE", "WEPAUTO"};
const QStringList kWepEncryption = {"NONE", "WEP"};
const QStringList kWpaEncryption = {"TKIP", "AES"};
const QStringList kWpaAuthenticationTexts = {"WPAPSK", "WPA2PSK", "WPANONE"};
constexpr int kNetworkNameLimit = 31;
constexpr int kPassphraseLimit = 64;

// Lists are refilled by clearing, adding in order, then selecting by index.
void Refill(QComboBox* combo, const QStringList& items, int selected) {
  combo->clear();
  combo->addItems(items);
  combo->setCurrentIndex(selected);
}

std::array<LimitedLineEdit*, 4> KeyEdits(const TFernwick& w) {
  return {w.WepPasswordEdt1, w.WepPasswordEdt2, w.WepPasswordEdt3, w.WepPasswordEdt4};
}

std::array<QRadioButton*, 4> KeyMarkers(const TFernwick& w) {
  return {w.WepPasswordRadio1, w.WepPasswordRadio2, w.WepPasswordRadio3, w.WepPasswordRadio4};
}

void SetKeyLimits(const TFernwick& w, int limit) {
  for (LimitedLineEdit* edit : KeyEdits(w)) edit->setLengthLimit(limit);
}

KeyFields ReadKeyFields(const TFernwick& w) {
  KeyFields fields;
  const auto edits = KeyEdits(w);
  for (std::size_t i = 0; i < edits.size(); ++i) {
    fields[i].text = edits[i]->text().toStdString();
    fields[i].maxLength = edits[i]->lengthLimit();
  }
  return fields;
}

void WriteKeyFields(const TFernwick& w, const KeyFields& fields) {
  const auto edits = KeyEdits(w);
  for (std::size_t i = 0; i < edits.size(); ++i) {
    edits[i]->setLengthLimit(fields[i].maxLength);
    const QString text = QString::fromStdString(fields[i].text);
    if (edits[i]->text() != text) edits[i]->setText(text);
  }
}

}  // namespace

void TFernwick::BuildWirelessPage() {
  auto* page = new QVBoxLayout(TabSheet2);
  page->setContentsMargins(6, 4, 6, 4);
  page->setSpacing(2);

  Label8 = Named(new QLabel(QStringLiteral("Wireless End"), TabSheet2), "Label8");
  ActiveRadio = Named(new QRadioButton(QStringLiteral("Active"), TabSheet2), "ActiveRadio");
  DisableRadio = Named(new QRadioButton(QStringLiteral("Disable"), TabSheet2), "DisableRadio");
  ActiveRadio->setChecked(true);
  auto* topRow = new QHBoxLayout;
  topRow->addWidget(Label8);
  topRow->addSpacing(20);
  topRow->addWidget(ActiveRadio);
  topRow->addWidget(DisableRadio);
  topRow->addStretch();
  page->addLayout(topRow);

  GroupBox7 = Named(new QGroupBox(TabSheet2), "GroupBox7");
  Labnet = Named(new QLabel(QStringLiteral("Wireless Network ID(SSID)"), GroupBox7), "Labnet");
  WirelessNetEdt = Named(new QLineEdit(GroupBox7), "WirelessNetEdt");
  WirelessNetEdt->setMaxLength(kNetworkNameLimit);
  Label10 = Named(new QLabel(QStringLiteral("*"), GroupBox7), "Label10");
  WirelessModelLab =
      Named(new QLabel(QStringLiteral("Wireless Model"), GroupBox7), "WirelessModelLab");
  WirelessModelCob = Named(new QComboBox(GroupBox7), "WirelessModelCob");
  Refill(WirelessModelCob, {"Infrastructrue Model", "Ad-hoc Model"}, 0);
  Label3 = Named(new QLabel(QStringLiteral("Authentication Type"), GroupBox7), "Label3");
  AuthenticationTypeCob = Named(new QComboBox(GroupBox7), "AuthenticationTypeCob");
  Refill(AuthenticationTypeCob, kInfrastructureAuthentication, 0);
  LabWEP = Named(new QLabel(QStringLiteral("Encrypt Type"), GroupBox7), "LabWEP");
  WepEncryptCob = Named(new QComboBox(GroupBox7), "WepEncryptCob");
  Refill(WepEncryptCob, kWepEncryption, 0);
  // Authentication and encryption share a row, so that the page fits the fixed window.
  auto* network = new QGridLayout(GroupBox7);
  network->setContentsMargins(6, 2, 6, 2);
  network->setVerticalSpacing(2);
  network->addWidget(Labnet, 0, 0);
  network->addWidget(WirelessNetEdt, 0, 1, 1, 3);
  network->addWidget(Label10, 0, 4);
  network->addWidget(WirelessModelLab, 1, 0);
  network->addWidget(WirelessModelCob, 1, 1, 1, 3);
  network->addWidget(Label3, 2, 0);
  network->addWidget(AuthenticationTypeCob, 2, 1);
  network->addWidget(LabWEP, 2, 2);
  network->addWidget(WepEncryptCob, 2, 3);
  network->setColumnStretch(1, 1);
  network->setColumnStretch(3, 1);
  page->addWidget(GroupBox7);

  WEPGroup = Named(new QGroupBox(QStringLiteral("WEP"), TabSheet2), "WEPGroup");
  LabpasswordType =
      Named(new QLabel(QStringLiteral("Password Length"), WEPGroup), "LabpasswordType");
  PasswordModeCob = Named(new QComboBox(WEPGroup), "PasswordModeCob");
  Refill(PasswordModeCob,
         {"64-bit(104+24)-10 hexadecimal digits", "128-bit(104+24)-26 hexadecimal digits",
          "64-bit(40+24)-5 ASCII characters", "128-bit(104+24)-13 ASCII characters"},
         0);
  PasswordModeCob->setEnabled(false);
  Labpassword1 = Named(new QLabel(QStringLiteral("Password 1"), WEPGroup), "Labpassword1");
  labpassword2 = Named(new QLabel(QStringLiteral("password 2"), WEPGroup), "labpassword2");
  Labpassword3 = Named(new QLabel(QStringLiteral("password 3"), WEPGroup), "Labpassword3");
  Labpassword4 = Named(new QLabel(QStringLiteral("password 4"), WEPGroup), "Labpassword4");
  WepPasswordRadio1 = Named(new QRadioButton(WEPGroup), "WepPasswordRadio1");
  WepPasswordRadio2 = Named(new QRadioButton(WEPGroup), "WepPasswordRadio2");
  WepPasswordRadio3 = Named(new QRadioButton(WEPGroup), "WepPasswordRadio3");
  WepPasswordRadio4 = Named(new QRadioButton(WEPGroup), "WepPasswordRadio4");
  WepPasswordEdt1 = Named(new LimitedLineEdit(WEPGroup), "WepPasswordEdt1");
  WepPasswordEdt2 = Named(new LimitedLineEdit(WEPGroup), "WepPasswordEdt2");
  WepPasswordEdt3 = Named(new LimitedLineEdit(WEPGroup), "WepPasswordEdt3");
  WepPasswordEdt4 = Named(new LimitedLineEdit(WEPGroup), "WepPasswordEdt4");
  // The four keys in two columns, read left to right as the Tab key walks them, so that the
  // page fits the fixed window.
  auto* wep = new QGridLayout(WEPGroup);
  wep->setContentsMargins(6, 2, 6, 2);
  wep->setVerticalSpacing(2);
  auto* format = new QHBoxLayout;
  format->addWidget(LabpasswordType);
  format->addWidget(PasswordModeCob);
  format->addStretch();
  wep->addLayout(format, 0, 0, 1, 6);
  const std::array<QLabel*, 4> keyLabels = {Labpassword1, labpassword2, Labpassword3, Labpassword4};
  for (int k = 0; k < 4; ++k) {
    const auto slot = static_cast<std::size_t>(k);
    const int row = 1 + k / 2;
    const int column = 3 * (k % 2);
    wep->addWidget(keyLabels[slot], row, column);
    wep->addWidget(KeyMarkers(*this)[slot], row, column + 1);
    wep->addWidget(KeyEdits(*this)[slot], row, column + 2);
    KeyEdits(*this)[slot]->setEnabled(false);
  }
  wep->setColumnStretch(2, 1);
  wep->setColumnStretch(5, 1);
  WEPGroup->setEnabled(false);
  page->addWidget(WEPGroup);

  WPAGroup = Named(new QGroupBox(QStringLiteral("WPA"), TabSheet2), "WPAGroup");
  Label7 = Named(new QLabel(QStringLiteral("Password "), WPAGroup), "Label7");
  WAPpasswordEdit = Named(new QLineEdit(WPAGroup), "WAPpasswordEdit");
  WAPpasswordEdit->setMaxLength(kPassphraseLimit);
  WAPpasswordEdit->setEnabled(false);
  Label9 = Named(new QLabel(QStringLiteral("Iuput  8 and 64 characters long for ASCII\n"
                                           "or 8 and 64 characters(0-9,a-f,A-F) for hex"),
                            WPAGroup),
                 "Label9");
  auto* wpa = new QGridLayout(WPAGroup);
  wpa->setContentsMargins(6, 2, 6, 2);
  wpa->setVerticalSpacing(2);
  wpa->addWidget(Label7, 0, 0);
  wpa->addWidget(WAPpasswordEdit, 0, 1);
  wpa->addWidget(Label9, 1, 0, 1, 2);
  WPAGroup->setEnabled(false);
  page->addWidget(WPAGroup);

  page->addWidget(BuildConnectionPanel());

  TestConnectBtn =
      Named(new QPushButton(QStringLiteral("Test Connect"), TabSheet2), "TestConnectBtn");
  IPoptionsBitB =
      Named(new QPushButton(QStringLiteral("ConfigMachine"), TabSheet2), "IPoptionsBitB");
  SetBitB = Named(new QPushButton(QStringLiteral(" Set"), TabSheet2), "SetBitB");
  IPoptionsBitB->setIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
  SetBitB->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
  SetBitB->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(TestConnectBtn);
  buttons->addWidget(IPoptionsBitB);
  buttons->addWidget(SetBitB);
  page->addLayout(buttons);
}

void TFernwick::ConnectWirelessHandlers() {
  connect(WirelessModelCob, &QComboBox::activated, this, [this] { WirelessModelCobChange(); });
  connect(AuthenticationTypeCob, &QComboBox::activated, this,
          [this] { AuthenticationTypeCobChange(); });
  connect(WepEncryptCob, &QComboBox::activated, this, [this] { WepEncryptCobChange(); });
  connect(PasswordModeCob, &QComboBox::activated, this, [this] { PasswordModeCobChange(); });
  new RadioGroup({{ActiveRadio, [this] { ActiveRadioClick(); }},
                  {DisableRadio, [this] { DisableRadioClick(); }}},
                 this);
  // The key markers have no handler of their own; they only mark the default key.
  new RadioGroup({{WepPasswordRadio1, {}},
                  {WepPasswordRadio2, {}},
                  {WepPasswordRadio3, {}},
                  {WepPasswordRadio4, {}}},
                 this);
  NotifyOnExit(WepPasswordEdt1, [this] { WepPasswordEdt1Exit(); });
  NotifyOnExit(WepPasswordEdt2, [this] { WepPasswordEdt2Exit(); });
  NotifyOnExit(WepPasswordEdt3, [this] { WepPasswordEdt3Exit(); });
  NotifyOnExit(WepPasswordEdt4, [this] { WepPasswordEdt4Exit(); });
  NotifyOnExit(WAPpasswordEdit, [this] { WAPpasswordEditExit(); });
}

void TFernwick::EnableWepKeys() {
  if (!WepPasswordRadio2->isChecked() && !WepPasswordRadio3->isChecked() &&
      !WepPasswordRadio4->isChecked()) {
    WepPasswordRadio1->setChecked(true);
  }
  WEPGroup->setEnabled(true);
  WPAGroup->setEnabled(false);
  SetEnabled({PasswordModeCob, WepPasswordEdt1, WepPasswordEdt2, WepPasswordEdt3, WepPasswordEdt4},
             true);
  WAPpasswordEdit->setEnabled(false);
}

void TFernwick::EnableWpaKey() {
  ClearRadio(WepPasswordRadio1);
  WEPGroup->setEnabled(false);
  WPAGroup->setEnabled(true);
  SetEnabled({PasswordModeCob, WepPasswordEdt1, WepPasswordEdt2, WepPasswordEdt3, WepPasswordEdt4},
             false);
  WAPpasswordEdit->setEnabled(true);
}

void TFernwick::DisableKeys() {
  SetEnabled({WEPGroup, WPAGroup, PasswordModeCob, WepPasswordEdt1, WepPasswordEdt2,
              WepPasswordEdt3, WepPasswordEdt4, WAPpasswordEdit},
             false);
}

void TFernwick::WirelessModelCobChange() {
  const int mode = WirelessModelCob->currentIndex();
  if (mode == 0 || mode == 1) {
    Refill(AuthenticationTypeCob, mode == 0 ? kInfrastructureAuthentication : kAdhocAuthentication,
           0);
    Refill(WepEncryptCob, kWepEncryption, 1);
    EnableWepKeys();
  }
  if (PasswordModeCob->currentIndex() == 0) SetKeyLimits(*this, KeyFormatLength(0));
}

void TFernwick::AuthenticationTypeCobChange() {
  const bool infrastructure = WirelessModelCob->currentIndex() == 0;
  const int authentication = AuthenticationTypeCob->currentIndex();
  const bool wep = infrastructure
                       ? (authentication >= 0 && authentication <= 2)
                       : (authentication == 0 || authentication == 1 || authentication == 3);
  const bool wpa =
      infrastructure ? (authentication == 3 || authentication == 4) : authentication == 2;
  if (wep) {
    Refill(WepEncryptCob, kWepEncryption, 1);
    EnableWepKeys();
  } else if (wpa) {
    Refill(WepEncryptCob, kWpaEncryption, 0);
    EnableWpaKey();
  }
  if (PasswordModeCob->currentIndex() == 0) SetKeyLimits(*this, KeyFormatLength(0));
}

void TFernwick::WepEncryptCobChange() {
  const bool infrastructure = WirelessModelCob->currentIndex() == 0;
  const int authentication = AuthenticationTypeCob->currentIndex();
  const bool wpaAuthentication =
      infrastructure ? (authentication == 3 || authentication == 4)
                     : !(authentication == 0 || authentication == 1 || authentication == 3);
  if (wpaAuthentication) {
    EnableWpaKey();
    return;
  }
  switch (WepEncryptCob->currentIndex()) {
    case 0:
      AuthenticationTypeCob->setCurrentIndex(0);
      // Only infrastructure mode drops the key-1 marker along with the keys.
      if (infrastructure) ClearRadio(WepPasswordRadio1);
      DisableKeys();
      break;
    case 1:
      EnableWepKeys();
      ApplyKeyFormat();
      break;
    default:
      break;
  }
}

void TFernwick::PasswordModeCobChange() {
  const int limit = KeyFormatLength(PasswordModeCob->currentIndex());
  if (limit > 0) SetKeyLimits(*this, limit);
}

void TFernwick::DisableRadioClick() {
  SetEnabled({GroupBox7, WEPGroup, WPAGroup}, false);
}

void TFernwick::ActiveRadioClick() {
  GroupBox7->setEnabled(true);
  if (WepEncryptCob->currentText() == QStringLiteral("NONE")) {
    SetEnabled({WEPGroup, WPAGroup, PasswordModeCob, WepPasswordEdt1, WepPasswordEdt2,
                WepPasswordEdt3, WepPasswordEdt4},
               false);
  } else if (kWpaAuthenticationTexts.contains(AuthenticationTypeCob->currentText())) {
    SetEnabled({WPAGroup, WAPpasswordEdit}, true);
  } else {
    SetEnabled({WEPGroup, PasswordModeCob, WepPasswordEdt1, WepPasswordEdt2, WepPasswordEdt3,
                WepPasswordEdt4},
               true);
  }
}

void TFernwick::WepPasswordEdt1Exit() {
  RecordKeyExit(1, PasswordModeCob->currentIndex(), WepPasswordEdt1->text().toStdString());
}
void TFernwick::WepPasswordEdt2Exit() {
  RecordKeyExit(2, PasswordModeCob->currentIndex(), WepPasswordEdt2->text().toStdString());
}
void TFernwick::WepPasswordEdt3Exit() {
  RecordKeyExit(3, PasswordModeCob->currentIndex(), WepPasswordEdt3->text().toStdString());
}
void TFernwick::WepPasswordEdt4Exit() {
  RecordKeyExit(4, PasswordModeCob->currentIndex(), WepPasswordEdt4->text().toStdString());
}

void TFernwick::RecordFocusedKeyField() {
  const std::array<void (TFernwick::*)(), 4> exits = {
      &TFernwick::WepPasswordEdt1Exit, &TFernwick::WepPasswordEdt2Exit,
      &TFernwick::WepPasswordEdt3Exit, &TFernwick::WepPasswordEdt4Exit};
  const auto edits = KeyEdits(*this);
  for (std::size_t i = 0; i < edits.size(); ++i) {
    if (edits[i]->hasFocus()) (this->*exits[i])();
  }
}

void TFernwick::WAPpasswordEditExit() {
  if (PassphraseTooShort(WAPpasswordEdit->text().toStdString())) {
    environment_.boxes->Information(PassphraseMessage);
  }
}

void TFernwick::ApplyKeyFormat() {
  KeyFields fields = ReadKeyFields(*this);
  quillstone::ApplyKeyFormat(PasswordModeCob->currentIndex(), fields);
  WriteKeyFields(*this, fields);
}

void TFernwick::ApplyKeyLengths() {
  KeyFields fields = ReadKeyFields(*this);
  quillstone::ApplyKeyLengths(fields);
  WriteKeyFields(*this, fields);
}

void TFernwick::ListShortKeys() {
  ShortKeyList =
      std::make_unique<std::vector<std::string>>(quillstone::ListShortKeys(OwnEnabled(WEPGroup)));
}

bool TFernwick::CheckKeys() {
  KeyCheckInput input;
  input.wepGroupEnabled = OwnEnabled(WEPGroup);
  input.format = PasswordModeCob->currentIndex();
  const auto markers = KeyMarkers(*this);
  const auto edits = KeyEdits(*this);
  for (std::size_t i = 0; i < 4; ++i) {
    input.markers[i] = markers[i]->isChecked();
    input.keyTexts[i] = edits[i]->text().toStdString();
  }
  input.wpaGroupEnabled = OwnEnabled(WPAGroup);
  input.passphrase = WAPpasswordEdit->text().toStdString();
  const auto failure = quillstone::CheckKeys(input);
  if (!failure) return false;
  environment_.boxes->Information(failure->message);
  if (failure->focusKey >= 1 && failure->focusKey <= 4) {
    edits[static_cast<std::size_t>(failure->focusKey - 1)]->setFocus();
  }
  return true;
}

}  // namespace quillstone
