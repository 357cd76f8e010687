#pragma once

#include <QButtonGroup>
#include <QRadioButton>
#include <QWidget>
#include <initializer_list>

namespace quillstone {

// Gives a control its name as objectName too, so tests and screen readers find it.
template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// A control's own enabled flag, whatever its parents' state: the page rules read and set this
// flag, and a control inside a disabled group keeps its own.
inline bool OwnEnabled(const QWidget* widget) {
  return !widget->testAttribute(Qt::WA_ForceDisabled);
}

// Clears a radio button, which its exclusive group alone would refuse.
inline void ClearRadio(QRadioButton* radio) {
  QButtonGroup* group = radio->group();
  if (group != nullptr) group->setExclusive(false);
  radio->setChecked(false);
  if (group != nullptr) group->setExclusive(true);
}

inline void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled) {
  for (QWidget* widget : widgets) widget->setEnabled(enabled);
}

inline void SetVisible(std::initializer_list<QWidget*> widgets, bool visible) {
  for (QWidget* widget : widgets) widget->setVisible(visible);
}

}  // namespace quillstone
