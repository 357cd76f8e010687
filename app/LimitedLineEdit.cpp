#include "app/LimitedLineEdit.h"

namespace quillstone {

LimitedLineEdit::LimitedLineEdit(QWidget* parent) : QLineEdit(parent) {
  // textEdited (user edits) comes before textChanged; after a rejected edit, textChanged still
  // carries the rejected text, so the accepted text is read back from the control itself.
  connect(this, &QLineEdit::textEdited, this, &LimitedLineEdit::RejectGrowthBeyondLimit);
  connect(this, &QLineEdit::textChanged, this, [this] { accepted_ = text(); });
}

void LimitedLineEdit::RejectGrowthBeyondLimit(const QString& edited) {
  const qsizetype growth = edited.size() - accepted_.size();
  if (lengthLimit_ <= 0 || edited.size() <= lengthLimit_ || growth <= 0) return;
  const int cursor = cursorPosition() - static_cast<int>(growth);
  const QString previous = accepted_;
  setText(previous);
  setCursorPosition(cursor < 0 ? 0 : cursor);
}

}  // namespace quillstone
