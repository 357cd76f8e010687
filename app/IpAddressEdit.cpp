#include "app/IpAddressEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QStyleHints>
#include <QValidator>
#include <algorithm>
#include <utility>

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

bool IsDigits(const QString& text) {
  return !text.isEmpty() && std::all_of(text.begin(), text.end(), IsAsciiDigit);
}

QString WithoutBlanks(const QString& text) {
  QString packed = text;
  packed.removeIf([](QChar c) { return c.isSpace(); });
  return packed;
}

// A notice never repeats what was pasted: the clipboard may hold a passphrase. `typed` is
// the value the user typed, empty for a paste.
QString HeldNotice(const QString& typed) {
  if (typed.isEmpty()) return QStringLiteral("An octet goes up to 255: the value was held at 255.");
  return QStringLiteral("An octet goes up to 255: %1 was held at 255.").arg(typed);
}

QString ReadAsNotice(const QString& address) {
  return QStringLiteral("The pasted text was not a whole address; it was read as %1.").arg(address);
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
  const QString packed = WithoutBlanks(text);
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
  if (result.size() <= 3 && result.toInt() > 255) {
    HoldAt255(index, result);
    return index;
  }
  if (!IsOctetText(result)) {
    // A full octet cannot take it: typed at its end, the digit starts the next octet.
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

void IpAddressEdit::HoldAt255(int index, const QString& typed) {
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  field->setText(QStringLiteral("255"));
  // Selected, so that the next digit typed replaces it, as the user will want.
  field->selectAll();
  Notify(index, HeldNotice(typed));
}

void IpAddressEdit::Notify(int index, const QString& text) {
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  // Not QToolTip: it hides at the next focus change or click, which the paste itself or the
  // closing context menu makes, so the user would never see it.
  if (notice_ == nullptr) {
    notice_ = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setForegroundRole(QPalette::ToolTipText);
    notice_->setBackgroundRole(QPalette::ToolTipBase);
    notice_->setAutoFillBackground(true);
    notice_->setFrameShape(QFrame::Box);
    notice_->setMargin(3);
    noticeTimer_.setSingleShot(true);
    connect(&noticeTimer_, &QTimer::timeout, notice_, &QWidget::hide);
  }
  notice_->setText(text);
  notice_->adjustSize();
  notice_->move(field->mapToGlobal(QPoint(0, field->height() + 2)));
  notice_->show();
  noticeTimer_.start(kNoticeMilliseconds);
  emit noticeShown(text);
}

QString IpAddressEdit::noticeText() const {
  return notice_ != nullptr && notice_->isVisible() ? notice_->text() : QString();
}

void IpAddressEdit::FillFields(const QStringList& address) {
  // Not setText: these are the user's entries, reported when the control is left.
  for (std::size_t i = 0; i < fields_.size(); ++i)
    fields_[i]->setText(address[static_cast<int>(i)]);
  MoveTo(3, Place::End);
}

bool IpAddressEdit::FillWithAddress(const QString& text) {
  const auto address = WholeAddress(text);
  if (!address) return false;
  FillFields(QStringList(address->begin(), address->end()));
  return true;
}

void IpAddressEdit::InsertNumber(int index, const QString& digits) {
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  QString result = field->text();
  const int at = field->hasSelectedText() ? field->selectionStart() : field->cursorPosition();
  if (field->hasSelectedText()) result.remove(at, static_cast<int>(field->selectedText().size()));
  result.insert(at, digits);
  bool ok = false;
  const qlonglong value = result.toLongLong(&ok, 10);
  if (IsOctetText(result)) {
    field->insert(digits);
  } else if (!ok || value > 255) {
    HoldAt255(index, QString());
  } else {
    // Leading zeros beyond three digits ("0007"): the number itself fits.
    field->setText(QString::number(value));
  }
}

void IpAddressEdit::Paste(int index, const QString& text) {
  if (FillWithAddress(text)) return;
  const QString packed = WithoutBlanks(text);
  if (packed.isEmpty()) return;
  if (IsDigits(packed)) {
    InsertNumber(index, packed);
    return;
  }
  // Anything else is read as an address, as text put into the control is, and the user is
  // told that it was changed.
  const QString address = Normalise(packed);
  FillFields(address.split(QLatin1Char('.')));
  Notify(3, ReadAsNotice(address));
}

void IpAddressEdit::SelectWhole(int index) {
  movedOnByThirdDigit_ = -1;
  // Focused first: a field that loses the focus drops its selection. The others keep theirs
  // while they do not have the focus.
  fields_[static_cast<std::size_t>(index)]->setFocus(Qt::MouseFocusReason);
  for (QLineEdit* field : fields_) field->selectAll();
  wholeSelected_ = true;
}

void IpAddressEdit::EndWholeSelection(int keep) {
  if (!wholeSelected_) return;
  wholeSelected_ = false;
  for (int i = 0; i < 4; ++i) {
    if (i != keep) fields_[static_cast<std::size_t>(i)]->deselect();
  }
}

void IpAddressEdit::CopyWhole(bool cut) {
  QGuiApplication::clipboard()->setText(text());
  if (cut) ClearForReplacement();
}

void IpAddressEdit::ClearForReplacement() {
  wholeSelected_ = false;
  // The focus moves first, so that the field left is reported (if at all) with what it held.
  MoveTo(0, Place::Start);
  fields_[0]->clear();
  // The others show 0 as every field left empty does; they are reported when left.
  for (std::size_t i = 1; i < fields_.size(); ++i) fields_[i]->setText(QStringLiteral("0"));
}

void IpAddressEdit::ShowContextMenu(int index, const QContextMenuEvent& event) {
  QLineEdit* field = fields_[static_cast<std::size_t>(index)];
  const QPointer<QMenu> menu = field->createStandardContextMenu();
  // The menu's Paste and Select All do what Ctrl+V and Ctrl+A do: QLineEdit's own would put
  // the clipboard into one field as it stands and select one octet only. Its items are known
  // by their texts, as QLineEdit names them (in the user's language), before the tab and key.
  const auto item = [&menu](const char* text) -> QAction* {
    const QString wanted = QCoreApplication::translate("QLineEdit", text);
    for (QAction* action : menu->actions()) {
      if (action->text().section(QLatin1Char('\t'), 0, 0) == wanted) return action;
    }
    return nullptr;
  };
  // With the whole address selected, Cut and Copy take the whole address.
  for (const auto& [name, cut] : {std::pair{"Cu&t", true}, std::pair{"&Copy", false}}) {
    QAction* action = item(name);
    if (action == nullptr || !wholeSelected_) continue;
    action->setEnabled(true);
    disconnect(action, &QAction::triggered, nullptr, nullptr);
    connect(action, &QAction::triggered, this, [this, isCut = cut] { CopyWhole(isCut); });
  }
  if (QAction* paste = item("&Paste")) {
    paste->setObjectName(QStringLiteral("edit-paste"));
    disconnect(paste, &QAction::triggered, nullptr, nullptr);
    connect(paste, &QAction::triggered, this, [this, index] {
      if (wholeSelected_) {
        ClearForReplacement();
        Paste(0, QGuiApplication::clipboard()->text());
      } else {
        Paste(index, QGuiApplication::clipboard()->text());
      }
    });
  }
  if (QAction* selectAll = item("Select All")) {
    selectAll->setObjectName(QStringLiteral("select-all"));
    disconnect(selectAll, &QAction::triggered, nullptr, nullptr);
    connect(selectAll, &QAction::triggered, this, [this, index] { SelectWhole(index); });
  }
  menu->exec(event.globalPos());
  delete menu;
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
  const bool erase = modifiers == Qt::NoModifier &&
                     (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete);
  if (key.matches(QKeySequence::SelectAll)) {
    SelectWhole(index);
    return true;
  }
  const bool modifierAlone = key.key() == Qt::Key_Control || key.key() == Qt::Key_Shift ||
                             key.key() == Qt::Key_Alt || key.key() == Qt::Key_Meta ||
                             key.key() == Qt::Key_AltGr;
  if (wholeSelected_ && !modifierAlone) {
    if (key.matches(QKeySequence::Copy) || key.matches(QKeySequence::Cut)) {
      CopyWhole(key.matches(QKeySequence::Cut));
      return true;
    }
    // The whole address is replaced by what comes, or erased.
    if (typed || erase || key.matches(QKeySequence::Paste)) {
      ClearForReplacement();
      index = 0;
      if (erase) return true;
    } else {
      EndWholeSelection(index);
    }
  }
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
  // Across the dot between two octets the cursor moves on without deleting a digit: the
  // dot is passed, as it would be deleted in a plain text, and the next key deletes.
  if ((key.key() == Qt::Key_Right || key.key() == Qt::Key_Delete) && atEnd && index < 3) {
    MoveTo(index + 1, Place::Start);
    return true;
  }
  // An octet the control has just moved into shows its 0 selected: nothing typed there yet,
  // so Backspace goes straight back to the octet before, as from an empty one.
  const bool untouchedZero = field->selectedText() == field->text() && IsDigits(field->text()) &&
                             FieldValue(field->text()) == 0;
  if (key.key() == Qt::Key_Backspace && (atStart || untouchedZero) && index > 0) {
    MoveTo(index - 1, Place::End);
    return true;
  }
  if (key.key() == Qt::Key_Left && atStart && index > 0) {
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
    case QEvent::MouseButtonDblClick:
      sinceDoubleClick_.start();
      doubleClickAt_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      break;
    case QEvent::MouseButtonPress: {
      movedOnByThirdDigit_ = -1;
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const bool tripleClick =
          mouse->button() == Qt::LeftButton && sinceDoubleClick_.isValid() &&
          sinceDoubleClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
          (mouse->globalPosition().toPoint() - doubleClickAt_).manhattanLength() <
              QApplication::startDragDistance();
      sinceDoubleClick_.invalidate();
      if (tripleClick) {
        SelectWhole(index);
        return true;
      }
      // A right click opens the menu, whose Paste then replaces the whole address.
      if (mouse->button() == Qt::LeftButton) EndWholeSelection(index);
      break;
    }
    case QEvent::MouseButtonRelease: {
      // The X11 middle-button paste of the selected text takes the same road as Ctrl+V.
      const auto* mouse = static_cast<QMouseEvent*>(event);
      QClipboard* clipboard = QGuiApplication::clipboard();
      if (mouse->button() != Qt::MiddleButton || !clipboard->supportsSelection()) break;
      EndWholeSelection(index);
      Paste(index, clipboard->text(QClipboard::Selection));
      return true;
    }
    case QEvent::ContextMenu:
      ShowContextMenu(index, *static_cast<QContextMenuEvent*>(event));
      return true;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QMimeData* dropped = drop->mimeData();
      // A drag within the field moves its own digits, which the field's check still guards.
      if (drop->source() == watched || dropped == nullptr || !dropped->hasText()) break;
      EndWholeSelection(index);
      QLineEdit* field = fields_[static_cast<std::size_t>(index)];
      field->setFocus(Qt::MouseFocusReason);
      // A number dropped on an octet is that octet's new value.
      field->selectAll();
      Paste(index, dropped->text());
      // Copied, never moved: the source keeps its text.
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      return true;
    }
    case QEvent::InputMethod: {
      auto* input = static_cast<QInputMethodEvent*>(event);
      if (input->commitString().isEmpty() || !input->preeditString().isEmpty() ||
          input->replacementLength() != 0)
        break;
      // The field drops any composition it shows; the composed text goes in as if typed.
      QInputMethodEvent done;
      QCoreApplication::sendEvent(watched, &done);
      int at = index;
      if (wholeSelected_) {
        ClearForReplacement();
        at = 0;
      }
      Enter(at, input->commitString());
      input->accept();
      return true;
    }
    case QEvent::FocusOut: {
      const bool toAnotherControl = LeavesForAnotherControl(*static_cast<QFocusEvent*>(event));
      // Another window taking the focus clears the other fields' selections (a popup such as
      // the context menu does not): the field keeps its own, and only that is selected.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason)
        EndWholeSelection(index);
      if (toAnotherControl && !holdsFocus()) {
        EndWholeSelection(-1);
        // The notice was about this entry; the user has moved on.
        if (notice_ != nullptr) notice_->hide();
      }
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
