#include "app/SingleLineEdits.h"

#include <QLineEdit>
#include <QPointer>
#include <QValidator>
#include <algorithm>

namespace quillstone {

namespace {

bool IsLineBreak(QChar c) {
  return c == u'\r' || c == u'\n';
}

// The edit box validates its whole text after every change, with the cursor just behind what
// was inserted; that is the one place that sees typing, pasting and dropping alike.
class SingleLineValidator : public QValidator {
 public:
  SingleLineValidator(const QValidator* inner, QObject* parent)
      : QValidator(parent), inner_(inner) {}

  State validate(QString& input, int& pos) const override {
    const auto lineBreak = std::find_if(input.cbegin(), input.cend(), IsLineBreak);
    if (lineBreak != input.cend()) {
      // The inserted text ends at the cursor: from its first break up to there it goes.
      const auto from = static_cast<int>(lineBreak - input.cbegin());
      const int to = pos > from ? pos : static_cast<int>(input.size());
      input.remove(from, to - from);
      input.removeIf(IsLineBreak);
      pos = from;
    }
    return inner_ ? inner_->validate(input, pos) : Acceptable;
  }

  void fixup(QString& input) const override {
    if (inner_) inner_->fixup(input);
  }

 private:
  QPointer<const QValidator> inner_;
};

}  // namespace

void KeepSingleLine(QWidget* root) {
  for (QLineEdit* edit : root->findChildren<QLineEdit*>()) {
    if (dynamic_cast<const SingleLineValidator*>(edit->validator()) != nullptr) continue;
    edit->setValidator(new SingleLineValidator(edit->validator(), edit));
  }
}

}  // namespace quillstone
