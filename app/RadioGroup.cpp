#include "app/RadioGroup.h"

#include <QKeyEvent>
#include <QRadioButton>

namespace quillstone {

RadioGroup::RadioGroup(std::initializer_list<Choice> choices, QObject* owner)
    : QButtonGroup(owner) {
  for (const Choice& choice : choices) {
    addButton(choice.button);
    choice.button->installEventFilter(this);
    handlers_.push_back(choice.onUserSelect);
  }
  connect(this, &QButtonGroup::buttonToggled, this, [this](QAbstractButton* button, bool on) {
    if (on) selectedByLastToggle_ = button;
    MarkTabStop();
  });
  // A press starts a user's click; whether it selects anything shows in the toggle that
  // follows before the click is reported.
  connect(this, &QButtonGroup::buttonPressed, this,
          [this](QAbstractButton*) { selectedByLastToggle_ = nullptr; });
  connect(this, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* button) {
    const bool becameSelected = selectedByLastToggle_ == button;
    selectedByLastToggle_ = nullptr;
    const auto index = static_cast<std::size_t>(buttons().indexOf(button));
    if (becameSelected && handlers_[index]) handlers_[index]();
  });
  MarkTabStop();
}

void RadioGroup::MarkTabStop() {
  const QList<QAbstractButton*> all = buttons();
  if (all.isEmpty()) return;
  QAbstractButton* stop = all.front();
  for (QAbstractButton* button : all) {
    if (button->isChecked()) stop = button;
  }
  for (QAbstractButton* button : all) {
    button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
}

void RadioGroup::Step(QAbstractButton* from, int direction) {
  const QList<QAbstractButton*> all = buttons();
  const auto count = all.size();
  const auto start = all.indexOf(from);
  for (qsizetype step = 1; step < count; ++step) {
    QAbstractButton* candidate = all.at(((start + direction * step) % count + count) % count);
    if (!candidate->isEnabled() || !candidate->isVisible()) continue;
    candidate->setFocus(direction > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    candidate->click();
    return;
  }
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event) {
  auto* button = qobject_cast<QAbstractButton*>(watched);
  if (event->type() != QEvent::KeyPress || button == nullptr) {
    return QButtonGroup::eventFilter(watched, event);
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
      Step(button, -1);
      return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
      Step(button, +1);
      return true;
    default:
      return false;
  }
}

}  // namespace quillstone
