#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QLineEdit;

namespace quillstone {

// An IP-address control: four numeric fields 0 to 255 shown as a dotted address. Text put
// into it is normalised (0 for a missing or unreadable part), so cleared it reads "0.0.0.0".
// When the user has changed a field and leaves it, the control reports the field's index and
// new value; the receiver may replace the value.
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

  using FieldChangeHandler = std::function<void(int field, int& value)>;
  void setFieldChangeHandler(FieldChangeHandler handler) { fieldChange_ = std::move(handler); }

  QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

 signals:
  // The focus left the control for another control of the window.
  void exited();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ReportField(int index);

  std::array<QLineEdit*, 4> fields_{};
  std::array<int, 4> reported_{};
  FieldChangeHandler fieldChange_;
};

}  // namespace quillstone
