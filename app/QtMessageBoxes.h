#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "app/MessageBoxes.h"

namespace quillstone {

// The message boxes as modal QMessageBox dialogs, each owned by and centred over a window of
// the program: the modal dialog open at the time (the device IP dialog), otherwise the main
// window. Never the active window: while another program is active there is none, and a box
// without an owner would open in the middle of the screen, perhaps behind that program.
class QtMessageBoxes : public MessageBoxes {
 public:
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }

  void Information(const std::string& text) override;
  void Warning(const std::string& text, const std::string& caption) override;
  bool Confirm(const std::string& text) override;
  void Plain(const std::string& text) override;
  void Error(const std::string& text) override;

 private:
  int Show(QMessageBox::Icon icon, const std::string& caption, const std::string& text,
           QMessageBox::StandardButtons buttons) const;

  QPointer<QWidget> mainWindow_;
};

}  // namespace quillstone
