#include "app/IpAddressEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QValidator>
#include <algorithm>

#include "app/FocusExit.h"
#include "app/IpAddressAccessible.h"

namespace quillstone {

namespace {

int FieldValue(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok || value < 0) return 0;
  return value > 255 ? 255 : value;
}

bool IsAsciiDigit(QChar c) {
  return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A field takes only what IsOctetText allows, however the text arrives (keys, the context
// menu's paste, a drop).
class OctetValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*position*/) const override {
    return IpAddressEdit::IsOctetText(input) ? Acceptable : Invalid;
  }
};

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
  InstallIpAddressAccessibility();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (int i = 0; i < 4; ++i) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("field%1").arg(i));
    field->setMaxLength(3);
    field->setAlignment(Qt::AlignCenter);
    field->setValidator(new OctetValidator(field));
    field->setText(QStringLiteral("0"));
    // Only the first field is a Tab stop: Tab enters the control there and leaves it.
    field->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
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

bool IpAddressEdit::IsOctetText(const QString& text) {
  if (text.size() > 3 || !std::all_of(text.begin(), text.end(), IsAsciiDigit)) return false;
  return text.isEmpty() || text.toInt() <= 255;
}

std::optional<std::array<QString, 4>> IpAddressEdit::WholeAddress(const QString& text) {
  QString packed = text;
  packed.removeIf([](QChar c) { return c.isSpace(); });
  const QStringList parts = packed.split(QLatin1Char('.'));
  if (parts.size() != 4) return std::nullopt;
  std::array<QString, 4> octets;
  for (std::size_t i = 0; i < octets.size(); ++i) {
    const QString& part = parts[static_cast<int>(i)];
    if (part.isEmpty() || !IsOctetText(part)) return std::nullopt;
    octets[i] = part;
  }
  return octets;
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
  if (value != reported_[slot]) {
    // The receiver may show a modal box here; the field keeps the typed value until it
    // returns, so a report made meanwhile sees the same value, as the guard of the device IP
    // dialog expects.
    if (fieldChange_) fieldChange_(index, value);
    reported_[slot] = value;
  }
  // A field left shows its number as the control reads it ("007" as "7", empty as "0").
  const QString shown = QString::number(value);
  if (fields_[slot]->text() != shown) fields_[slot]->setText(shown);
}

void IpAddressEdit::MoveTo(int index, Place place) {
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  field->setFocus(Qt::OtherFocusReason);
  switch (place) {
    case Place::SelectAll:
      field->selectAll();
      break;
    case Place::Start:
      field->setCursorPosition(0);
      break;
    case Place::End:
      field->end(false);
      break;
  }
}

int IpAddressEdit::EnterDigit(int index, QChar digit) {
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  QString result = field->text();
  int at = field->cursorPosition();
  if (field->hasSelectedText()) {
    at = field->selectionStart();
    result.remove(at, static_cast<int>(field->selectedText().size()));
  }
  result.insert(at, digit);
  if (!IsOctetText(result)) {
    // The octet cannot take it: typed at its end, the digit starts the next octet.
    const bool atEnd = !field->hasSelectedText() && at == field->text().size();
    if (index == 3 || !atEnd) return index;
    MoveTo(++index, Place::SelectAll);
    return EnterDigit(index, digit);
  }
  field->insert(QString(digit));
  if (index < 3 && field->text().size() == 3 && field->cursorPosition() == 3) {
    MoveTo(++index, Place::SelectAll);
    // A receiver of the report may have put the focus elsewhere.
    if (QApplication::focusWidget() == fields_[static_cast<std::size_t>(index)])
      movedOnByThirdDigit_ = index;
  }
  return index;
}

bool IpAddressEdit::FillWithAddress(const QString& text) {
  const auto address = WholeAddress(text);
  if (!address) return false;
  for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText((*address)[i]);
  MoveTo(3, Place::End);
  return true;
}

void IpAddressEdit::Paste(int index, const QString& text) {
  // Anything but a whole address goes into the field as it is, or not at all.
  if (!FillWithAddress(text)) fields_[static_cast<std::size_t>(index)]->insert(text.trimmed());
}

void IpAddressEdit::Enter(int index, const QString& text) {
  if (FillWithAddress(text)) return;
  for (const QChar c : text) {
    const bool dotAfterThirdDigit = movedOnByThirdDigit_ == index;
    movedOnByThirdDigit_ = -1;
    if (c == QLatin1Char('.')) {
      // The "." typed after three digits has been done by the third digit already.
      if (index < 3 && !dotAfterThirdDigit) MoveTo(++index, Place::SelectAll);
    } else if (IsAsciiDigit(c)) {
      index = EnterDigit(index, c);
    }
    // Anything else, blanks and line breaks included, is no part of an address.
  }
}

bool IpAddressEdit::KeyPress(int index, const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  const QString text = key.text();
  const bool typed = !text.isEmpty() &&
                     std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); }) &&
                     (modifiers & ~Qt::ShiftModifier) == Qt::NoModifier;
  if (typed) {
    Enter(index, text);
    return true;
  }
  movedOnByThirdDigit_ = -1;
  if (key.matches(QKeySequence::Paste)) {
    Paste(index, QGuiApplication::clipboard()->text());
    return true;
  }
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  const bool atStart = !field->hasSelectedText() && field->cursorPosition() == 0;
  const bool atEnd = !field->hasSelectedText() && field->cursorPosition() == field->text().size();
  if (modifiers != Qt::NoModifier) return false;
  if (key.key() == Qt::Key_Right && atEnd && index < 3) {
    MoveTo(index + 1, Place::Start);
    return true;
  }
  if ((key.key() == Qt::Key_Left || key.key() == Qt::Key_Backspace) && atStart && index > 0) {
    MoveTo(index - 1, Place::End);
    return true;
  }
  return false;
}

bool IpAddressEdit::focusNextPrevChild(bool next) {
  // Tab and Shift+Tab from any field leave the control: while the focus moves on, not even
  // the first field is a stop.
  fields_[0]->setFocusPolicy(Qt::ClickFocus);
  const bool moved = QWidget::focusNextPrevChild(next);
  fields_[0]->setFocusPolicy(Qt::StrongFocus);
  return moved;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const auto found = std::find(fields_.begin(), fields_.end(), watched);
  if (found == fields_.end()) return QWidget::eventFilter(watched, event);
  const int index = static_cast<int>(found - fields_.begin());
  const auto holdsFocus = [this] {
    return std::find(fields_.begin(), fields_.end(), QApplication::focusWidget()) != fields_.end();
  };

  switch (event->type()) {
    case QEvent::KeyPress:
      return KeyPress(index, *static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
      movedOnByThirdDigit_ = -1;
      break;
    case QEvent::InputMethod: {
      auto* input = static_cast<QInputMethodEvent*>(event);
      if (input->commitString().isEmpty() || !input->preeditString().isEmpty() ||
          input->replacementLength() != 0)
        break;
      // The field drops any composition it shows; the composed text goes in as if typed.
      QInputMethodEvent done;
      QCoreApplication::sendEvent(watched, &done);
      Enter(index, input->commitString());
      input->accept();
      return true;
    }
    case QEvent::FocusOut: {
      const bool toAnotherControl = LeavesForAnotherControl(*static_cast<QFocusEvent*>(event));
      if (toAnotherControl && holdsFocus()) {
        ReportField(index);
        break;
      }
      // A box or another window takes the focus, or the focus leaves the control: every
      // changed field is reported (a paste may have changed fields the cursor never was in).
      for (int i = 0; i < 4; ++i) ReportField(i);
      if (toAnotherControl && !holdsFocus()) {
        movedOnByThirdDigit_ = -1;
        emit exited();
      }
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quillstone
