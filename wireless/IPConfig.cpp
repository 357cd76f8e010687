#include "wireless/IPConfig.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWindow>

#include "app/AccessibleNames.h"
#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "app/MessageBoxes.h"
#include "app/RadioGroup.h"
#include "app/SingleLineEdits.h"
#include "app/WidgetState.h"
#include "wireless/IpSettings.h"

namespace quillstone {

namespace {

constexpr int kOuterWidth = 358;
constexpr int kOuterHeight = 253;

}  // namespace

TIPconfigFrm::TIPconfigFrm(std::string programDirectory, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      programDirectory_(std::move(programDirectory)),
      boxes_(boxes) {
  setObjectName(QStringLiteral("IPconfigFrm"));
  setWindowTitle(QStringLiteral("ConfigMachine"));
  setAttribute(Qt::WA_DeleteOnClose);
  QFont dialogFont(QStringLiteral("宋体"));
  dialogFont.setPixelSize(13);
  setFont(dialogFont);
  // The size is the outer one: the frame, as far as the platform knows it yet, comes off.
  create();
  resize(QSize(kOuterWidth, kOuterHeight).shrunkBy(windowHandle()->frameMargins()));

  AutoGetIPRadio = Named(new QRadioButton(QStringLiteral("DHCP"), this), "AutoGetIPRadio");
  AutoGetIPRadio->setChecked(true);
  AssignIPGroup = Named(new QGroupBox(this), "AssignIPGroup");
  IPAddressEdt = Named(new IpAddressEdit(AssignIPGroup), "IPAddressEdt");
  SubnetMaskEdt = Named(new IpAddressEdit(AssignIPGroup), "SubnetMaskEdt");
  GateWayEdt = Named(new IpAddressEdit(AssignIPGroup), "GateWayEdt");
  // Tight margins leave room for a window frame and wider fonts inside the fixed outer size.
  auto* addresses = new QGridLayout(AssignIPGroup);
  addresses->setContentsMargins(6, 4, 6, 4);
  addresses->setVerticalSpacing(4);
  addresses->addWidget(new QLabel(QStringLiteral("IP Address"), AssignIPGroup), 0, 0);
  addresses->addWidget(IPAddressEdt, 0, 1);
  addresses->addWidget(new QLabel(QStringLiteral("Subnet Mask"), AssignIPGroup), 1, 0);
  addresses->addWidget(SubnetMaskEdt, 1, 1);
  addresses->addWidget(new QLabel(QStringLiteral("Default Gateway"), AssignIPGroup), 2, 0);
  addresses->addWidget(GateWayEdt, 2, 1);
  SetIP = Named(new QPushButton(QStringLiteral("OK"), this), "SetIP");
  SetIP->setDefault(true);
  Cancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "Cancel");
  Cancel->setVisible(false);
  AssignIPRadio =
      Named(new QRadioButton(QStringLiteral("Config IP Address"), this), "AssignIPRadio");

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->setVerticalSpacing(4);
  layout->addWidget(AutoGetIPRadio, 0, 0);
  layout->addWidget(AssignIPRadio, 1, 0);
  layout->addWidget(AssignIPGroup, 2, 0, 1, 3);
  layout->addWidget(SetIP, 3, 1);
  layout->addWidget(Cancel, 3, 2);
  QWidget::setTabOrder(AutoGetIPRadio, IPAddressEdt);
  QWidget::setTabOrder(IPAddressEdt, SubnetMaskEdt);
  QWidget::setTabOrder(SubnetMaskEdt, GateWayEdt);
  QWidget::setTabOrder(GateWayEdt, SetIP);
  QWidget::setTabOrder(SetIP, AssignIPRadio);

  new RadioGroup({{AutoGetIPRadio, [this] { AutoGetIPRadioClick(); }},
                  {AssignIPRadio, [this] { AssignIPRadioClick(); }}},
                 this);
  connect(IPAddressEdt, &IpAddressEdit::exited, this, [this] { IPAddressEdtExit(); });
  IPAddressEdt->setFieldChangeHandler(
      [this](int field, int& value) { IPAddressEdtFieldChange(field, value); });
  connect(SetIP, &QPushButton::clicked, this, [this] {
    if (!FixedAddressComplete()) return;
    // The OK result is set before saving, so the dialog closes even when the save fails.
    setResult(QDialog::Accepted);
    try {
      SetIPClick();
    } catch (const std::exception& error) {
      boxes_.Error(error.what());
    }
    done(QDialog::Accepted);
  });
  connect(Cancel, &QPushButton::clicked, this, [this] { CancelClick(); });
  KeepSingleLine(this);
  // What a screen reader calls the address controls: the labels beside them.
  NameControls({{IPAddressEdt, QStringLiteral("IP Address")},
                {SubnetMaskEdt, QStringLiteral("Subnet Mask")},
                {GateWayEdt, QStringLiteral("Default Gateway")}});

  FormCreate();
}

TIPconfigFrm::~TIPconfigFrm() {
  // The base class hides the dialog after this destructor, which takes the focus from the
  // address: its field reports and its exit must not reach the handlers of a dialog that is
  // no more.
  IPAddressEdt->setFieldChangeHandler(nullptr);
  disconnect(IPAddressEdt, nullptr, this, nullptr);
}

void TIPconfigFrm::SetAddressControlsEnabled(bool enabled) {
  SetEnabled({AssignIPGroup, IPAddressEdt, SubnetMaskEdt, GateWayEdt}, enabled);
}

void TIPconfigFrm::FormCreate() {
  if (AutoGetIPRadio->isChecked()) AutoGetIPRadioClick();
  if (AssignIPRadio->isChecked()) SetAddressControlsEnabled(true);
}

void TIPconfigFrm::showEvent(QShowEvent* event) {
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
  QDialog::showEvent(event);
}

void TIPconfigFrm::FormShow() {
  const IpSettings settings = LoadIpSettings(programDirectory_);
  if (settings.radio == "1") {
    AssignIPRadio->setChecked(true);
    AssignIPRadioClick();
    IPAddressEdt->setText(QString::fromStdString(settings.address));
    SubnetMaskEdt->setText(QString::fromStdString(settings.mask));
    GateWayEdt->setText(QString::fromStdString(settings.gateway));
  } else if (settings.radio == "0") {
    AutoGetIPRadio->setChecked(true);
    AutoGetIPRadioClick();
  }
}

void TIPconfigFrm::AutoGetIPRadioClick() {
  if (!AutoGetIPRadio->isChecked()) return;
  SetAddressControlsEnabled(false);
  IPAddressEdt->clear();
  SubnetMaskEdt->clear();
  GateWayEdt->clear();
}

void TIPconfigFrm::AssignIPRadioClick() {
  if (AssignIPRadio->isChecked()) SetAddressControlsEnabled(true);
}

void TIPconfigFrm::IPAddressEdtExit() {
  if (SubnetMaskEdt->text() != QStringLiteral("0.0.0.0")) return;
  if (const auto mask = SubnetMaskForAddress(IPAddressEdt->text().toStdString())) {
    SubnetMaskEdt->setText(QString::fromStdString(*mask));
  }
}

void TIPconfigFrm::IPAddressEdtFieldChange(int field, int& value) {
  const OctetVerdict verdict = JudgeFieldChange(field, value);
  switch (verdict.action) {
    case OctetVerdict::Action::Accept:
      return;
    case OctetVerdict::Action::WarnAndReplace:
      value = verdict.value;
      boxes_.Warning(verdict.message, "notice");
      IPAddressEdt->setFocus();
      return;
    case OctetVerdict::Action::ClearSilently:
      IPAddressEdt->setFocus();
      return;
  }
}

bool TIPconfigFrm::FixedAddressComplete() {
  if (!AssignIPRadio->isChecked()) return true;
  // 0.0.0.0 is what a cleared control reads (after a trip through DHCP, say): sent as the
  // device's address or mask it takes the device off the network. A gateway of 0.0.0.0 means
  // none.
  const struct {
    IpAddressEdit* control;
    const char* message;
  } required[] = {
      {IPAddressEdt, "Enter the device's IP address: 0.0.0.0 is no address."},
      {SubnetMaskEdt, "Enter the subnet mask: 0.0.0.0 is no mask."},
  };
  for (const auto& [control, message] : required) {
    if (control->text() != QStringLiteral("0.0.0.0")) continue;
    boxes_.Warning(message, "notice");
    control->setFocus();
    control->field(0)->selectAll();  // typing replaces the zeros
    return false;
  }
  return true;
}

void TIPconfigFrm::SetIPClick() {
  if (AutoGetIPRadio->isChecked()) SaveDhcpSettings(programDirectory_);
  if (AssignIPRadio->isChecked()) {
    SaveIpSettings(programDirectory_, IPAddressEdt->text().toStdString(),
                   SubnetMaskEdt->text().toStdString(), GateWayEdt->text().toStdString());
  }
}

void TIPconfigFrm::CancelClick() {}

void TFernwick::IPoptionsBitBClick() {
  // Frees itself when closed (WA_DeleteOnClose), whichever way it is closed.
  auto* dialog = new TIPconfigFrm(environment_.settingsDirectory, *environment_.boxes, this);
  dialog->exec();
}

}  // namespace quillstone
