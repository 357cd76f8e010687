// " Set" on the wireless page: check the page, confirm, open, write the options, report,
// restart after full success, close; the closing work runs on every way out.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "app/ConfigurationBracket.h"
#include "app/ConnectionSettings.h"
#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"
#include "app/WidgetState.h"
#include "devicelink/DeviceConnection.h"
#include "devicelink/OptionExchange.h"
#include "devicelink/PunParam.h"
#include "platform/Text.h"
#include "wireless/IpSettings.h"
#include "wireless/WirelessKeys.h"
#include "wireless/WirelessOptions.h"

namespace quillstone {

namespace {

enum class Road { Tcp, Serial };

bool BlankText(const QLineEdit* edit) {
  return TrimBlanks(edit->text().toStdString()).empty();
}

// Releases what the apply built and forgets the recorded key formats, however it ends.
class ClosingWork {
 public:
  explicit ClosingWork(TFernwick& window) : window_(window) {}
  ~ClosingWork() {
    window_.ShortKeyList.reset();
    ResetKeyFormats();
  }
  ClosingWork(const ClosingWork&) = delete;
  ClosingWork& operator=(const ClosingWork&) = delete;

 private:
  TFernwick& window_;
};

}  // namespace

void TFernwick::SetBitBClick() {
  ClosingWork closingWork(*this);
  const Road road = TC_IPRadio->isChecked() ? Road::Tcp : Road::Serial;
  if (!TC_IPRadio->isChecked() && !RS232Radio->isChecked()) return;
  MessageBoxes& boxes = *environment_.boxes;
  const bool active = ActiveRadio->isChecked();

  if (active) {
    struct FormCheck {
      QWidget* focus;
      bool failed;
      const char* message;
      const char* caption;  // nullptr: information box
    };
    const std::vector<FormCheck> checks =
        road == Road::Tcp
            ? std::vector<FormCheck>{{WirelessNetEdt, BlankText(WirelessNetEdt),
                                      "ID(SSID) can not be null,you must input it,please!",
                                      nullptr},
                                     {AddressIP, AddressIP->text() == QStringLiteral("0.0.0.0"),
                                      "AddressIP can not be null,you must input it ,pls!", "提示"},
                                     {PortEdtWire, BlankText(PortEdtWire),
                                      "PortEdtWire can not be null,you must input it ,pls!",
                                      "notice"}}
            : std::vector<FormCheck>{
                  {DeviceIdEdt, BlankText(DeviceIdEdt),
                   "DeviceId can not be null,you must input it ,pls!", "notice"},
                  {ComIDEdit, BlankText(ComIDEdit),
                   "ComPort can not be null,you must input it ,pls!", "notice"},
                  {BaudRateEdit, BlankText(BaudRateEdit),
                   "BaudRate can not be null,you must input it ,pls!", "notice"}};
    for (const FormCheck& check : checks) {
      if (!check.failed) continue;
      if (check.caption == nullptr) {
        boxes.Information(check.message);
      } else {
        boxes.Warning(check.message, check.caption);
      }
      check.focus->setFocus();
      return;
    }

    ListShortKeys();
    if (const auto marker = FindShortKeyMarker(*ShortKeyList)) {
      boxes.Warning(marker->message, "notice");
      PasswordModeCob->setCurrentIndex(marker->format);  // a code selection runs no handler
      const std::array<QLineEdit*, 4> keyEdits = {WepPasswordEdt1, WepPasswordEdt2, WepPasswordEdt3,
                                                  WepPasswordEdt4};
      keyEdits[static_cast<std::size_t>(marker->key - 1)]->setFocus();
      return;
    }
    ApplyKeyLengths();
  }
  ApplyKeyFormat();
  if (CheckKeys()) return;

  if (!boxes.Confirm(road == Road::Tcp ? "Are you  sure to set ？" : "Are you sure to set ？")) {
    return;
  }

  const bool opened =
      road == Road::Tcp
          ? OpenNetworkConnection(static_cast<WindowId>(winId()), AddressIP->text().toStdString(),
                                  PortEdtWire->text().toStdString())
          : OpenSerialConnection((Edit5->text() + ComIDEdit->text()).toStdString(),
                                 DeviceIdEdt->text().toStdString(),
                                 BaudRateEdit->text().toStdString());
  if (WindowClosing()) {  // closed while the device was being reached
    if (opened) CloseConnection();
    return;
  }
  if (!opened) {
    boxes.Information("can not connect with device");
    return;
  }

  ConfigurationBracket bracket;
  ReadOption(DeviceHandle, "~OS");  // the batch writer makes its own probe

  WirelessForm form;
  form.active = active;
  form.networkName = WirelessNetEdt->text().toStdString();
  form.modelIndex = WirelessModelCob->currentIndex();
  form.authenticationText = AuthenticationTypeCob->currentText().toStdString();
  form.encryptionText = WepEncryptCob->currentText().toStdString();
  form.wepGroupEnabled = OwnEnabled(WEPGroup);
  form.wpaGroupEnabled = OwnEnabled(WPAGroup);
  form.keyMarkers = {WepPasswordRadio1->isChecked(), WepPasswordRadio2->isChecked(),
                     WepPasswordRadio3->isChecked(), WepPasswordRadio4->isChecked()};
  form.passwordModeIndex = PasswordModeCob->currentIndex();
  form.keyTexts = {WepPasswordEdt1->text().toStdString(), WepPasswordEdt2->text().toStdString(),
                   WepPasswordEdt3->text().toStdString(), WepPasswordEdt4->text().toStdString()};
  form.passphrase = WAPpasswordEdit->text().toStdString();
  const std::string& directory = environment_.settingsDirectory;
  const OptionList options =
      BuildWirelessOptionList(form, [&directory] { return LoadIpSettings(directory); });

  // Recorded before anything goes to the device, whatever the device then makes of it.
  StoreOptionLines(directory, options);
  if (road == Road::Tcp) {
    SaveNetworkSettings(directory, AddressIP->text().toStdString(),
                        PortEdtWire->text().toStdString());
  } else {
    SaveSerialSettings(directory, DeviceIdEdt->text().toStdString(),
                       ComIDEdit->text().toStdString(), BaudRateEdit->text().toStdString());
  }

  auto report = [&](const char* tcpText, const char* serialText) {
    if (road == Road::Tcp) {
      boxes.Information(tcpText);
    } else {
      boxes.Warning(serialText, "notice");
    }
  };
  if (options.empty()) {
    if (WindowClosing()) return;
    if (road == Road::Tcp) {
      boxes.Plain("Do not select any config");
    } else {
      boxes.Warning("Do not select any config", "notice");
    }
    return;
  }
  // Closed during the batch: the options written so far stay, the device is not restarted,
  // and the bracket ends its configuration.
  const int written = WriteOptionList(options);
  if (WindowClosing()) return;
  if (written != static_cast<int>(options.size())) {
    report("Set fali!", "Set fali!");
    return;
  }
  report("Set successfully! Device Will restart", "Set successfully! Device will restart");
  if (!WindowClosing()) RestartDevice();
}

}  // namespace quillstone
