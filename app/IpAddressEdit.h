#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QKeyEvent;
class QLineEdit;

namespace quillstone {

// An IP-address control: four numeric fields 0 to 255 shown as a dotted address. Text put
// into it is normalised (0 for a missing or unreadable part), so cleared it reads "0.0.0.0".
// When the user has changed a field and leaves it, the control reports the field's index and
// new value; the receiver may replace the value.
//
// It is entered the way an address is usually typed: the whole control is one Tab stop; a
// third digit, or a digit the octet cannot take, moves on to the next field, as "." does;
// Right at a field's end and Left or Backspace at its start move to the neighbour; a whole
// address pasted or composed into any field fills all four.
class IpAddressEdit : public QWidget {
  Q_OBJECT

 public:
  explicit IpAddressEdit(QWidget* parent = nullptr);

  QString text() const;
  void setText(const QString& text);
  void clear();

  // Four dot-separated decimal numbers, each part trimmed and read as 0..255 (0 when missing
  // or not a number, 255 when larger).
  static QString Normalise(const QString& text);
  // True for what a field may show: empty, or one to three decimal digits worth 0..255.
  static bool IsOctetText(const QString& text);
  // The four octets of `text` when it is a whole address (blanks and line breaks anywhere are
  // ignored); nothing when any part is missing, extra or not an octet.
  static std::optional<std::array<QString, 4>> WholeAddress(const QString& text);

  using FieldChangeHandler = std::function<void(int field, int& value)>;
  void setFieldChangeHandler(FieldChangeHandler handler) { fieldChange_ = std::move(handler); }

  QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

 signals:
  // The focus left the control for another control of the window.
  void exited();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  bool KeyPress(int index, const QKeyEvent& key);
  // Typed or composed text, character by character.
  void Enter(int index, const QString& text);
  void Paste(int index, const QString& text);
  // Puts a whole address into the four fields; false when `text` is none.
  bool FillWithAddress(const QString& text);
  int EnterDigit(int index, QChar digit);
  enum class Place { SelectAll, Start, End };
  void MoveTo(int index, Place place);
  void ReportField(int index);

  std::array<QLineEdit*, 4> fields_{};
  std::array<int, 4> reported_{};
  // The field a third digit has just moved the cursor to, where a "." is then no move; -1 when
  // anything else came since.
  int movedOnByThirdDigit_ = -1;
  FieldChangeHandler fieldChange_;
};

}  // namespace quillstone
