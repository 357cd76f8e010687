#pragma once

#include <QLineEdit>

namespace quillstone {

// An edit box whose length limit stops typing beyond it and cuts a paste (or composed text) to
// what fits, as QLineEdit's maxLength does, but which never cuts a text that is already longer
// (a new key format keeps the old key); such a text does not grow.
class LimitedLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit LimitedLineEdit(QWidget* parent = nullptr);

  // 0 means no limit.
  int lengthLimit() const { return lengthLimit_; }
  void setLengthLimit(int limit) { lengthLimit_ = limit; }

 private:
  void KeepWhatFits(const QString& edited);

  int lengthLimit_ = 0;
  QString accepted_;
};

}  // namespace quillstone
