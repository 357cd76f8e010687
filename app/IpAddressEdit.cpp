#include "app/IpAddressEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>

#include "app/FocusExit.h"

namespace quillstone {

namespace {

int FieldValue(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok || value < 0) return 0;
  return value > 255 ? 255 : value;
}

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  static const QRegularExpression kOctet(QStringLiteral("^(25[0-5]|2[0-4][0-9]|1?[0-9]?[0-9])?$"));
  for (int i = 0; i < 4; ++i) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("field%1").arg(i));
    field->setMaxLength(3);
    field->setAlignment(Qt::AlignCenter);
    field->setValidator(new QRegularExpressionValidator(kOctet, field));
    field->setText(QStringLiteral("0"));
    field->installEventFilter(this);
    fields_[static_cast<std::size_t>(i)] = field;
    layout->addWidget(field, 1);
    if (i < 3) layout->addWidget(new QLabel(QStringLiteral("."), this));
  }
  setFocusProxy(fields_[0]);
}

QString IpAddressEdit::Normalise(const QString& text) {
  const QStringList parts = text.trimmed().split(QLatin1Char('.'));
  QStringList numbers;
  for (int i = 0; i < 4; ++i)
    numbers << QString::number(i < parts.size() ? FieldValue(parts[i]) : 0);
  return numbers.join(QLatin1Char('.'));
}

QString IpAddressEdit::text() const {
  QStringList numbers;
  for (const QLineEdit* field : fields_) numbers << QString::number(FieldValue(field->text()));
  return numbers.join(QLatin1Char('.'));
}

void IpAddressEdit::setText(const QString& text) {
  const QStringList numbers = Normalise(text).split(QLatin1Char('.'));
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    fields_[i]->setText(numbers[static_cast<int>(i)]);
    reported_[i] = numbers[static_cast<int>(i)].toInt();
  }
}

void IpAddressEdit::clear() {
  setText(QString());
}

void IpAddressEdit::ReportField(int index) {
  const auto slot = static_cast<std::size_t>(index);
  int value = FieldValue(fields_[slot]->text());
  if (value == reported_[slot]) return;
  // The receiver may show a modal box here; the field keeps the typed value until it returns,
  // so a report made meanwhile sees the same value, as the guard of the device IP dialog expects.
  if (fieldChange_) fieldChange_(index, value);
  reported_[slot] = value;
  fields_[slot]->setText(QString::number(value));
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const auto found = std::find(fields_.begin(), fields_.end(), watched);
  if (found == fields_.end()) return QWidget::eventFilter(watched, event);
  const int index = static_cast<int>(found - fields_.begin());

  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->text() == QStringLiteral(".") && index < 3) {
      fields_[static_cast<std::size_t>(index + 1)]->setFocus(Qt::TabFocusReason);
      fields_[static_cast<std::size_t>(index + 1)]->selectAll();
      return true;
    }
  } else if (event->type() == QEvent::FocusOut) {
    const auto* focus = static_cast<QFocusEvent*>(event);
    if (!LeavesForAnotherControl(*focus)) {
      // A box or another window takes the focus: every changed field is reported.
      for (int i = 0; i < 4; ++i) ReportField(i);
      return false;
    }
    ReportField(index);
    QWidget* next = QApplication::focusWidget();
    if (std::find(fields_.begin(), fields_.end(), next) == fields_.end()) emit exited();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quillstone
