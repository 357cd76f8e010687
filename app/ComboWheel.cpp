#include "app/ComboWheel.h"

#include <QComboBox>
#include <QEvent>

namespace quillstone {

namespace {

class UnfocusedWheelFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel) return false;
    const auto* combo = qobject_cast<const QComboBox*>(watched);
    if (combo == nullptr || combo->hasFocus()) return false;
    event->ignore();  // passed on to the parent
    return true;
  }
};

}  // namespace

void TakeWheelOnlyWhenFocused(QWidget* root) {
  auto* filter = new UnfocusedWheelFilter(root);
  for (QComboBox* combo : root->findChildren<QComboBox*>()) {
    combo->setFocusPolicy(Qt::StrongFocus);
    combo->installEventFilter(filter);
  }
}

}  // namespace quillstone
