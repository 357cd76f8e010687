#include "app/FernwickMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <optional>

#include "app/ButtonPicture.h"
#include "app/ComboWheel.h"
#include "app/ConnectionSettings.h"
#include "app/CursorFreeBoxes.h"
#include "app/FocusCueStyle.h"
#include "app/FocusExit.h"
#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"
#include "app/RadioGroup.h"
#include "app/SingleLineEdits.h"
#include "app/WidgetState.h"
#include "devicelink/DeviceApi.h"
#include "platform/AppError.h"

namespace quillstone {

namespace {

constexpr int kClientWidth = 520;
constexpr int kClientHeight = 537;

QLabel* RequiredMark(QWidget* parent) {
  return new QLabel(QStringLiteral("*"), parent);
}

void MakeBlue(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  palette.setColor(QPalette::ButtonText, Qt::blue);
  widget->setPalette(palette);
}

}  // namespace

// The fixed-size dialog hint gives the window a thin border without a sizing grip on Windows;
// other systems ignore it.
TFernwick::TFernwick(FernwickEnvironment environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      cursorFreeBoxes_(std::make_unique<CursorFreeBoxes>(*environment.boxes)),
      environment_(std::move(environment)) {
  // Before the controls exist, so that each is polished once, by the style it keeps.
  ShowFocusOnEveryButton();
  environment_.boxes = cursorFreeBoxes_.get();
  setObjectName(QStringLiteral("Fernwick"));
  setWindowTitle(QString::fromLatin1(ApplicationTitle));
  QFont windowFont(QStringLiteral("MS Sans Serif"));
  windowFont.setPixelSize(11);
  setFont(windowFont);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  setFixedSize(kClientWidth, kClientHeight);

  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(PageControl1);

  TabSheet1 = Named(new QWidget, "TabSheet1");
  TabSheet2 = Named(new QWidget, "TabSheet2");
  QFont pageFont(QStringLiteral("宋体"));
  pageFont.setPixelSize(13);
  TabSheet2->setFont(pageFont);
  PageControl1->addTab(TabSheet1, QStringLiteral("ModemConfig"));
  PageControl1->addTab(TabSheet2, QStringLiteral("WirfiOptions"));
  PageControl1->setTabVisible(0, false);
  PageControl1->setCurrentIndex(1);
  // The modem page is built and working, but the user never reaches it.
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
    if (index != 1) PageControl1->setCurrentIndex(1);
  });

  BuildModemPage();
  BuildWirelessPage();
  SetTabOrder();

  new RadioGroup(
      {{TC_IPRadio, [this] { TC_IPRadioClick(); }}, {RS232Radio, [this] { RS232RadioClick(); }}},
      this);
  new RadioGroup({{RadioButton1, [this] { RadioButton1Click(); }},
                  {RadioButton2, [this] { RadioButton2Click(); }}},
                 this);
  FilterDigits(PortEdtWire, &TFernwick::PortEdtWireKeyPress);
  FilterDigits(DeviceIdEdt, &TFernwick::DeviceIdEdtKeyPress);
  FilterDigits(ComIDEdit, &TFernwick::ComIDEditKeyPress);
  FilterDigits(BaudRateEdit, &TFernwick::BaudRateEditKeyPress);
  connect(TestConnectBtn, &QPushButton::clicked, this,
          [this] { RunHandler([this] { TestConnectBtnClick(); }, true); });
  connect(SetBitB, &QPushButton::clicked, this,
          [this] { RunHandler([this] { SetBitBClick(); }, true); });
  connect(IPoptionsBitB, &QPushButton::clicked, this,
          [this] { RunHandler([this] { IPoptionsBitBClick(); }, false); });
  connect(Button2, &QPushButton::clicked, this,
          [this] { RunHandler([this] { Button1Click(); }, true); });
  ConnectWirelessHandlers();
  ConnectModemHandlers();
  KeepSingleLine(this);
  TakeWheelOnlyWhenFocused(this);
  ShowFormPicture(TestConnectBtn);
  NameControls();

  FormCreate();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TFernwick::~TFernwick() = default;

QGroupBox* TFernwick::BuildConnectionPanel() {
  GroupBox2 = Named(new QGroupBox(QStringLiteral("Connection parameter")), "GroupBox2");
  TC_IPRadio = Named(new QRadioButton(QStringLiteral("TCP/IP"), GroupBox2), "TC_IPRadio");
  RS232Radio = Named(new QRadioButton(QStringLiteral("RS232"), GroupBox2), "RS232Radio");
  MakeBlue(TC_IPRadio);
  MakeBlue(RS232Radio);
  TC_IPRadio->setChecked(true);

  GroupBox4 = Named(new QGroupBox(GroupBox2), "GroupBox4");
  AddressIP = Named(new IpAddressEdit(GroupBox4), "AddressIP");
  AddressIP->setText(QStringLiteral("192.168.1.201"));
  PortEdtWire = Named(new QLineEdit(QStringLiteral("4370"), GroupBox4), "PortEdtWire");
  auto* tcpLayout = new QGridLayout(GroupBox4);
  tcpLayout->setContentsMargins(6, 4, 6, 4);
  tcpLayout->setVerticalSpacing(3);
  tcpLayout->addWidget(new QLabel(QStringLiteral("IP"), GroupBox4), 0, 0);
  tcpLayout->addWidget(AddressIP, 0, 1);
  tcpLayout->addWidget(RequiredMark(GroupBox4), 0, 2);
  tcpLayout->addWidget(new QLabel(QStringLiteral("Port"), GroupBox4), 1, 0);
  tcpLayout->addWidget(PortEdtWire, 1, 1);
  tcpLayout->addWidget(RequiredMark(GroupBox4), 1, 2);

  GroupBox5 = Named(new QGroupBox(GroupBox2), "GroupBox5");
  DeviceIdEdt = Named(new QLineEdit(GroupBox5), "DeviceIdEdt");
  Edit5 = Named(new QLineEdit(QStringLiteral("COM"), GroupBox5), "Edit5");
  Edit5->setReadOnly(true);
  ComIDEdit = Named(new QLineEdit(GroupBox5), "ComIDEdit");
  BaudRateEdit = Named(new QLineEdit(GroupBox5), "BaudRateEdit");
  auto* serialLayout = new QGridLayout(GroupBox5);
  serialLayout->setContentsMargins(6, 4, 6, 4);
  serialLayout->setVerticalSpacing(3);
  serialLayout->addWidget(new QLabel(QStringLiteral("DeviceID"), GroupBox5), 0, 0);
  serialLayout->addWidget(DeviceIdEdt, 0, 1, 1, 2);
  serialLayout->addWidget(RequiredMark(GroupBox5), 0, 3);
  serialLayout->addWidget(new QLabel(QStringLiteral("COMPort"), GroupBox5), 1, 0);
  serialLayout->addWidget(Edit5, 1, 1);
  serialLayout->addWidget(ComIDEdit, 1, 2);
  serialLayout->addWidget(RequiredMark(GroupBox5), 1, 3);
  serialLayout->addWidget(new QLabel(QStringLiteral("Baud rate"), GroupBox5), 2, 0);
  serialLayout->addWidget(BaudRateEdit, 2, 1, 1, 2);
  serialLayout->addWidget(RequiredMark(GroupBox5), 2, 3);
  // "COM" and the port number share the room, so neither cuts its text.
  serialLayout->setColumnStretch(1, 1);
  serialLayout->setColumnStretch(2, 1);
  GroupBox5->setEnabled(false);
  SetEnabled({DeviceIdEdt, Edit5, ComIDEdit, BaudRateEdit}, false);

  auto* layout = new QGridLayout(GroupBox2);
  layout->setContentsMargins(6, 2, 6, 4);
  layout->addWidget(TC_IPRadio, 0, 0);
  layout->addWidget(RS232Radio, 0, 1);
  layout->addWidget(GroupBox4, 1, 0);
  layout->addWidget(GroupBox5, 1, 1);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);
  return GroupBox2;
}

QGroupBox* TFernwick::BuildModemConnectionPanel() {
  GroupBox3 = Named(new QGroupBox(QStringLiteral("connect config")), "GroupBox3");
  GroupBox3->setToolTip(QStringLiteral("Set COMM options"));
  EDTIP = Named(new QLineEdit(QStringLiteral("192.168.1.201"), GroupBox3), "EDTIP");
  EDTPort = Named(new QLineEdit(QStringLiteral("4370"), GroupBox3), "EDTPort");
  EDTDeviceID = Named(new QLineEdit(QStringLiteral("1"), GroupBox3), "EDTDeviceID");
  Edit1 = Named(new QLineEdit(QStringLiteral("COM"), GroupBox3), "Edit1");
  Edit1->setMaximumWidth(40);
  EDTCOMNum = Named(new QLineEdit(QStringLiteral("1"), GroupBox3), "EDTCOMNum");
  EDTBaudRate = Named(new QLineEdit(QStringLiteral("115200"), GroupBox3), "EDTBaudRate");
  RadioButton1 = Named(new QRadioButton(QStringLiteral("TCP/IP"), GroupBox3), "RadioButton1");
  RadioButton2 = Named(new QRadioButton(QStringLiteral("232"), GroupBox3), "RadioButton2");
  RadioButton1->setChecked(true);
  SetEnabled({Edit1, EDTCOMNum, EDTBaudRate}, false);

  auto* layout = new QGridLayout(GroupBox3);
  layout->addWidget(new QLabel(QStringLiteral("IP"), GroupBox3), 0, 0);
  layout->addWidget(EDTIP, 0, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("port"), GroupBox3), 1, 0);
  layout->addWidget(EDTPort, 1, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("DeviceID"), GroupBox3), 2, 0);
  layout->addWidget(EDTDeviceID, 2, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("COMPort"), GroupBox3), 3, 0);
  layout->addWidget(Edit1, 3, 1);
  layout->addWidget(EDTCOMNum, 3, 2);
  layout->addWidget(new QLabel(QStringLiteral("baud rate"), GroupBox3), 4, 0);
  layout->addWidget(EDTBaudRate, 4, 1, 1, 2);
  layout->addWidget(RadioButton1, 5, 0, 1, 2);
  layout->addWidget(RadioButton2, 5, 2);
  return GroupBox3;
}

void TFernwick::SetTabOrder() {
  const std::vector<QWidget*> chain = {ActiveRadio,
                                       WirelessNetEdt,
                                       WirelessModelCob,
                                       AuthenticationTypeCob,
                                       WepEncryptCob,
                                       PasswordModeCob,
                                       WepPasswordRadio1,
                                       WepPasswordEdt1,
                                       WepPasswordRadio2,
                                       WepPasswordEdt2,
                                       WepPasswordRadio3,
                                       WepPasswordEdt3,
                                       WepPasswordRadio4,
                                       WepPasswordEdt4,
                                       WAPpasswordEdit,
                                       TC_IPRadio,
                                       RS232Radio,
                                       AddressIP,
                                       PortEdtWire,
                                       DeviceIdEdt,
                                       Edit5,
                                       ComIDEdit,
                                       BaudRateEdit,
                                       SetBitB,
                                       DisableRadio,
                                       IPoptionsBitB,
                                       TestConnectBtn};
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TFernwick::FormCreate() {
  if (RadioButton3->isChecked()) {
    Edit4->setEnabled(true);
    SetVisible({DNSIPEdit, Label23, URLEdit, Label22}, false);
  }
  if (RadioButton1->isChecked()) RadioButton1Click();

  struct StartupField {
    const char* key;
    std::function<void(const QString&)> assign;
    const char* fallback;
  };
  const StartupField fields[] = {
      {"locatIP", [this](const QString& v) { AddressIP->setText(v); }, "192.168.1.201"},
      {"Port", [this](const QString& v) { PortEdtWire->setText(v); }, "4370"},
      {"DeviceID", [this](const QString& v) { DeviceIdEdt->setText(v); }, "1"},
      {"COMPort", [this](const QString& v) { ComIDEdit->setText(v); }, "1"},
      {"BaudRate", [this](const QString& v) { BaudRateEdit->setText(v); }, "57600"},
  };
  for (const StartupField& field : fields) {
    const std::string value = ReadSetting(environment_.settingsDirectory, field.key);
    field.assign(value.empty() ? QString::fromLatin1(field.fallback)
                               : QString::fromStdString(value));
  }
}

void TFernwick::TC_IPRadioClick() {
  SetEnabled({GroupBox4, AddressIP, PortEdtWire}, true);
  SetEnabled({GroupBox5, DeviceIdEdt, Edit5, ComIDEdit, BaudRateEdit}, false);
}

void TFernwick::RS232RadioClick() {
  SetEnabled({GroupBox4, AddressIP, PortEdtWire}, false);
  SetEnabled({GroupBox5, DeviceIdEdt, Edit5, ComIDEdit, BaudRateEdit}, true);
}

void TFernwick::RadioButton1Click() {
  if (!RadioButton1->isChecked()) return;
  EDTIP->setEnabled(true);
  EDTPort->setEnabled(true);
  Edit1->setEnabled(false);
  EDTCOMNum->setEnabled(false);
  EDTBaudRate->setEnabled(false);
}

void TFernwick::RadioButton2Click() {
  if (!RadioButton2->isChecked()) return;
  EDTIP->setEnabled(false);
  EDTPort->setEnabled(false);
  Edit1->setEnabled(true);
  EDTCOMNum->setEnabled(true);
  EDTBaudRate->setEnabled(true);
}

namespace {
void DigitsOnly(QChar& key) {
  const char16_t code = key.unicode();
  const bool digit = code >= u'0' && code <= u'9';
  const bool control = code < 32;
  if (!digit && !control) key = QChar(u'\0');
}
}  // namespace

void TFernwick::PortEdtWireKeyPress(QChar& key) {
  DigitsOnly(key);
}
void TFernwick::DeviceIdEdtKeyPress(QChar& key) {
  DigitsOnly(key);
}
void TFernwick::ComIDEditKeyPress(QChar& key) {
  DigitsOnly(key);
}
void TFernwick::BaudRateEditKeyPress(QChar& key) {
  DigitsOnly(key);
}

void TFernwick::FilterDigits(QLineEdit* field, void (TFernwick::*keyPress)(QChar&)) {
  keyFilters_.emplace_back(field, keyPress);
  field->installEventFilter(this);
}

void TFernwick::NotifyOnExit(QWidget* field, std::function<void()> onExit) {
  exitHandlers_.emplace_back(field, std::move(onExit));
  field->installEventFilter(this);
}

bool TFernwick::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod) {
    for (const auto& [field, keyPress] : keyFilters_) {
      if (field == watched) return FilterTyping(field, keyPress, event);
    }
  } else if (event->type() == QEvent::FocusOut) {
    if (!LeavesForAnotherControl(*static_cast<QFocusEvent*>(event))) {
      return QWidget::eventFilter(watched, event);
    }
    for (const auto& [field, onExit] : exitHandlers_) {
      if (field == watched) onExit();
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool TFernwick::FilterTyping(QWidget* field, void (TFernwick::*keyPress)(QChar&), QEvent* event) {
  const auto passed = [this, keyPress](const QString& typed) {
    QString kept;
    for (QChar key : typed) {
      (this->*keyPress)(key);
      if (!key.isNull()) kept += key;
    }
    return kept;
  };
  if (event->type() == QEvent::InputMethod) {
    // Composed text arrives as the commit string; the preedit text is only shown.
    auto* composed = static_cast<QInputMethodEvent*>(event);
    const QString kept = passed(composed->commitString());
    if (kept != composed->commitString()) {
      composed->setCommitString(kept, composed->replacementStart(), composed->replacementLength());
    }
    return false;
  }
  const auto* keyEvent = static_cast<QKeyEvent*>(event);
  const QString typed = keyEvent->text();
  // The Delete key is editing, not typing, though X11 gives it the text DEL (127).
  if (typed.isEmpty() || keyEvent->key() == Qt::Key_Delete) return false;
  const QString kept = passed(typed);
  if (kept == typed) return false;
  // A key carrying several characters: the field types those that pass, as one key.
  if (!kept.isEmpty()) {
    QKeyEvent filtered(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, kept);
    QCoreApplication::sendEvent(field, &filtered);
  }
  return true;  // discarded
}

void TFernwick::keyPressEvent(QKeyEvent* event) {
  // Enter presses the focused button; elsewhere SetBitB, the window's default button.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter) {
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    QPushButton* pressed = focused != nullptr ? focused : SetBitB;
    if (!pressed->isEnabled()) return;
    if (pressed == SetBitB) RecordFocusedKeyField();
    pressed->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TFernwick::closeEvent(QCloseEvent* event) {
  if (handlerRunning_) {
    // The action running ends first, as WindowClosing() lets it: a device action sends the
    // device nothing more than the end of its configuration and shows no box; a box or the
    // device IP dialog still open is answered as its own close button would (OK, Cancel, leave
    // without saving). The window closes as soon as the handler has returned.
    closeRequested_ = true;
    event->ignore();
    for (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != this;
         modal = QApplication::activeModalWidget()) {
      if (!modal->close()) break;
    }
    return;
  }
  QWidget::closeEvent(event);
}

bool TFernwick::WindowClosing() {
  // A step that waits for the device keeps the window's messages waiting too; a close among
  // them is seen here, before a box would block the window and the close with it.
  QCoreApplication::processEvents();
  return closeRequested_;
}

void TFernwick::RunHandler(const std::function<void()>& handler, bool deviceAction) {
  if (handlerRunning_) return;  // one action at a time; nothing opens meanwhile
  handlerRunning_ = true;
  std::optional<ScopedLinkServices> messagePump;
  if (deviceAction) {
    deviceActionRunning_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LinkServices services = CurrentLinkServices();
    services.processPendingMessages = [] { QCoreApplication::processEvents(); };
    services.windowClosing = [this] { return closeRequested_; };
    messagePump.emplace(services);
  }
  try {
    handler();
  } catch (const std::exception& error) {
    if (!closeRequested_) environment_.boxes->Error(error.what());
  }
  if (deviceAction) {
    messagePump.reset();
    QApplication::restoreOverrideCursor();
    deviceActionRunning_ = false;
  }
  handlerRunning_ = false;
  if (closeRequested_) {
    closeRequested_ = false;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
}

}  // namespace quillstone
