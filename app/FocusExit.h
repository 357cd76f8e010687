#pragma once

#include <QFocusEvent>

namespace quillstone {

// True when a focus-out moves the focus to another control of the same window. A modal box or
// popup taking the focus, or the window being deactivated, is not leaving the field.
inline bool LeavesForAnotherControl(const QFocusEvent& event) {
  return event.reason() != Qt::ActiveWindowFocusReason && event.reason() != Qt::PopupFocusReason;
}

}  // namespace quillstone
