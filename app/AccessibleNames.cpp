#include "app/AccessibleNames.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

namespace quillstone {

namespace {

const QString kRequired = QStringLiteral("required");

// The label showing `text` among the children of the control's parent, or else of the nearest
// ancestor that holds one (a field may sit in a box with its unit).
QLabel* LabelFor(const QWidget* control, const QString& text) {
  for (const QWidget* around = control->parentWidget(); around != nullptr;
       around = around->parentWidget()) {
    for (QLabel* label : around->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      if (label->text().trimmed() == text) return label;
    }
  }
  return nullptr;
}

}  // namespace

void NameControls(std::initializer_list<ControlName> names) {
  for (const ControlName& entry : names) {
    // Set even where the buddy would give it: the buddy does only for a label beside the control.
    entry.control->setAccessibleName(entry.name);
    if (!entry.description.isEmpty()) entry.control->setAccessibleDescription(entry.description);
    if (QLabel* label = LabelFor(entry.control, entry.name)) label->setBuddy(entry.control);
    if (auto* combo = qobject_cast<QComboBox*>(entry.control)) {
      combo->view()->setAccessibleName(entry.name);
    }
  }
}

void MarkRequired(QWidget* root, std::initializer_list<QWidget*> fields) {
  for (QLabel* label : root->findChildren<QLabel*>()) {
    if (label->text() == QStringLiteral("*")) label->setAccessibleName(kRequired);
  }
  for (QWidget* field : fields) {
    const QString described = field->accessibleDescription();
    field->setAccessibleDescription(
        described.isEmpty() ? kRequired : described + QStringLiteral(", ") + kRequired);
  }
}

}  // namespace quillstone
