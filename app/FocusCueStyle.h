#pragma once

#include <QProxyStyle>

namespace quillstone {

// The program's style: the platform's (or the one chosen with -style), with the keyboard focus
// drawn on every push button. Some styles draw a focused button and the default button alike
// (Fusion gives both the highlight outline), so " Set", the main window's default button, and
// the OK of a box looked the same with the focus and without it.
class FocusCueStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
};

// Makes FocusCueStyle, on top of the style in use, the application's style; once is enough.
void ShowFocusOnEveryButton();

}  // namespace quillstone
