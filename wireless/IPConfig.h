#pragma once

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace quillstone {

class IpAddressEdit;
class MessageBoxes;

// The device IP dialog: DHCP or a fixed address, mask and gateway, kept in "IPconfig.ini".
// It is created for each opening and frees itself when it closes.
class TIPconfigFrm : public QDialog {
  Q_OBJECT

 public:
  TIPconfigFrm(std::string programDirectory, MessageBoxes& boxes, QWidget* parent = nullptr);
  ~TIPconfigFrm() override;

  QRadioButton* AutoGetIPRadio = nullptr;
  QGroupBox* AssignIPGroup = nullptr;
  IpAddressEdit* IPAddressEdt = nullptr;
  IpAddressEdit* SubnetMaskEdt = nullptr;
  IpAddressEdit* GateWayEdt = nullptr;
  QPushButton* SetIP = nullptr;
  QPushButton* Cancel = nullptr;
  QRadioButton* AssignIPRadio = nullptr;

  void FormCreate();
  void FormShow();
  void AutoGetIPRadioClick();
  void AssignIPRadioClick();
  void IPAddressEdtExit();
  void IPAddressEdtFieldChange(int field, int& value);
  void SetIPClick();
  void CancelClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetAddressControlsEnabled(bool enabled);
  // With a fixed address chosen, false (after a notice, with the focus on the control at
  // fault) while the address or the mask is 0.0.0.0.
  bool FixedAddressComplete();

  std::string programDirectory_;
  MessageBoxes& boxes_;
  bool shown_ = false;
};

}  // namespace quillstone
