#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QContextMenuEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;

namespace quillstone {

// An IP-address control: four numeric fields 0 to 255 shown as a dotted address. Text put
// into it is normalised (0 for a missing or unreadable part), so cleared it reads "0.0.0.0".
// When the user has changed a field and leaves it, the control reports the field's index and
// new value; the receiver may replace the value.
//
// It is entered the way an address is usually typed: the whole control is one Tab stop; a
// third digit, or a digit a full octet cannot take, moves on to the next field, as "." does; a
// value above 255 is held at 255 with a short notice; Right or Delete at a field's end and
// Left or Backspace at its start move to the neighbour (the dot between is passed, no digit
// deleted); Ctrl+A or a triple click selects the whole address, which typing, a paste,
// Backspace or Delete then replace, and Ctrl+C copies. Pasted, dropped or composed text goes
// in one way, by Ctrl+V and by the context menu alike: a whole address fills all four fields,
// a number goes into the field, anything else is read as an address (as setText reads it) and
// a notice says so.
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

  // True while the whole address is selected (Ctrl+A, a triple click).
  bool wholeAddressSelected() const { return wholeSelected_; }
  // The notice shown beside the control, empty when none is on screen. It goes after a few
  // seconds or when the focus leaves the control.
  QString noticeText() const;

 signals:
  // The focus left the control for another control of the window.
  void exited();
  // The control changed what the user entered (a value held at 255, a paste read as an
  // address); `text` says how. It is also shown as a tool tip beside the field.
  void noticeShown(const QString& text);

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
  // Puts the four parts of `address` into the fields as the user's entry (reported when
  // left), the cursor at the end.
  void FillFields(const QStringList& address);
  // Puts `digits` into the field at its cursor; a value above 255 is held at 255.
  void InsertNumber(int index, const QString& digits);
  int EnterDigit(int index, QChar digit);
  // The field shows 255, all selected, and the user is told why; `typed` is the value typed
  // (empty for a paste, which is never repeated).
  void HoldAt255(int index, const QString& typed);
  void Notify(int index, const QString& text);
  void SelectWhole(int index);
  // Ends a whole-address selection; the field `keep` keeps its own.
  void EndWholeSelection(int keep);
  // Empties all four fields for a replacement and puts the cursor into the first.
  void ClearForReplacement();
  // Puts the whole address on the clipboard; `cut` then empties the control for a new one.
  void CopyWhole(bool cut);
  void ShowContextMenu(int index, const QContextMenuEvent& event);
  enum class Place { SelectAll, Start, End };
  void MoveTo(int index, Place place);
  void ReportField(int index);

  std::array<QLineEdit*, 4> fields_{};
  std::array<int, 4> reported_{};
  // The field a third digit has just moved the cursor to, where a "." is then no move; -1 when
  // anything else came since.
  int movedOnByThirdDigit_ = -1;
  bool wholeSelected_ = false;
  // When and where the last double click was, to see a third click as a triple click.
  QElapsedTimer sinceDoubleClick_;
  QPoint doubleClickAt_;
  FieldChangeHandler fieldChange_;
  static constexpr int kNoticeMilliseconds = 6000;
  QLabel* notice_ = nullptr;
  QTimer noticeTimer_;
};

}  // namespace quillstone
