#include "app/LimitedLineEdit.h"

#include <algorithm>

namespace quillstone {

LimitedLineEdit::LimitedLineEdit(QWidget* parent) : QLineEdit(parent) {
  // textEdited (user edits) comes before textChanged; after a cut edit, textChanged still
  // carries the edited text, so the accepted text is read back from the control itself.
  connect(this, &QLineEdit::textEdited, this, &LimitedLineEdit::KeepWhatFits);
  connect(this, &QLineEdit::textChanged, this, [this] { accepted_ = text(); });
}

void LimitedLineEdit::KeepWhatFits(const QString& edited) {
  const qsizetype growth = edited.size() - accepted_.size();
  if (lengthLimit_ <= 0 || edited.size() <= lengthLimit_ || growth <= 0) return;
  // The edit replaced a part of the accepted text (perhaps nothing) by the inserted text, which
  // ends at the cursor: what stands before it is shared with the accepted text, and so is all
  // after the cursor. Where inserted characters equal the ones they replaced, counting them to
  // the shared part gives the same result.
  const qsizetype cursor = cursorPosition();
  const qsizetype after = edited.size() - cursor;
  const qsizetype sharedMost = std::min(cursor, accepted_.size() - after);
  qsizetype before = 0;
  while (before < sharedMost && edited[before] == accepted_[before]) ++before;
  // An old text already longer than the limit keeps its length but does not grow.
  const qsizetype room = std::max<qsizetype>(lengthLimit_, accepted_.size()) - before - after;
  const QString inserted = edited.mid(before, cursor - before).left(std::max<qsizetype>(room, 0));
  setText(edited.left(before) + inserted + edited.right(after));
  setCursorPosition(static_cast<int>(before + inserted.size()));
}

}  // namespace quillstone
