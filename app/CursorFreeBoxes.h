#pragma once

#include "app/MessageBoxes.h"

namespace quillstone {

// Shows the boxes of `boxes` with the normal cursor: a box waits for the user, so the busy
// cursor of a running action is lifted while it is open and comes back when it closes.
class CursorFreeBoxes : public MessageBoxes {
 public:
  explicit CursorFreeBoxes(MessageBoxes& boxes) : boxes_(boxes) {}

  void Information(const std::string& text) override;
  void Warning(const std::string& text, const std::string& caption) override;
  bool Confirm(const std::string& text) override;
  void Plain(const std::string& text) override;
  void Error(const std::string& text) override;

 private:
  MessageBoxes& boxes_;
};

}  // namespace quillstone
