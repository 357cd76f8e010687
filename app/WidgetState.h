#pragma once

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

// Clears a radio button even though it is exclusive with its siblings.
inline void ClearRadio(QRadioButton* radio) {
  const bool exclusive = radio->autoExclusive();
  radio->setAutoExclusive(false);
  radio->setChecked(false);
  radio->setAutoExclusive(exclusive);
}

inline void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled) {
  for (QWidget* widget : widgets) widget->setEnabled(enabled);
}

inline void SetVisible(std::initializer_list<QWidget*> widgets, bool visible) {
  for (QWidget* widget : widgets) widget->setVisible(visible);
}

}  // namespace quillstone
