#pragma once

#include "app/MessageBoxes.h"

class QWidget;

namespace quillstone {

// The message boxes as modal QMessageBox dialogs centred over the active window.
class QtMessageBoxes : public MessageBoxes {
 public:
  void Information(const std::string& text) override;
  void Warning(const std::string& text, const std::string& caption) override;
  bool Confirm(const std::string& text) override;
  void Plain(const std::string& text) override;
  void Error(const std::string& text) override;
};

}  // namespace quillstone
