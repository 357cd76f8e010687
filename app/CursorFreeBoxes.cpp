#include "app/CursorFreeBoxes.h"

#include <QApplication>
#include <QCursor>
#include <vector>

namespace quillstone {

namespace {

// Takes every override cursor off for its lifetime and puts them back in their order.
class LiftedOverrideCursors {
 public:
  LiftedOverrideCursors() {
    while (const QCursor* cursor = QApplication::overrideCursor()) {
      lifted_.push_back(*cursor);
      QApplication::restoreOverrideCursor();
    }
  }
  ~LiftedOverrideCursors() {
    for (auto cursor = lifted_.rbegin(); cursor != lifted_.rend(); ++cursor) {
      QApplication::setOverrideCursor(*cursor);
    }
  }
  LiftedOverrideCursors(const LiftedOverrideCursors&) = delete;
  LiftedOverrideCursors& operator=(const LiftedOverrideCursors&) = delete;

 private:
  std::vector<QCursor> lifted_;
};

}  // namespace

void CursorFreeBoxes::Information(const std::string& text) {
  LiftedOverrideCursors lifted;
  boxes_.Information(text);
}

void CursorFreeBoxes::Warning(const std::string& text, const std::string& caption) {
  LiftedOverrideCursors lifted;
  boxes_.Warning(text, caption);
}

bool CursorFreeBoxes::Confirm(const std::string& text) {
  LiftedOverrideCursors lifted;
  return boxes_.Confirm(text);
}

void CursorFreeBoxes::Plain(const std::string& text) {
  LiftedOverrideCursors lifted;
  boxes_.Plain(text);
}

void CursorFreeBoxes::Error(const std::string& text) {
  LiftedOverrideCursors lifted;
  boxes_.Error(text);
}

}  // namespace quillstone
