#pragma once

// Helpers for the widget tests of the main window, its pages and the device IP dialog: a window
// built on a fresh program directory with recorded message boxes and faked platform services,
// and user-like input (mouse clicks on buttons, typing into whatever has the focus, picks from
// the combo boxes' lists).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "devicelink/DeviceApi.h"
#include "tests/support/FakeMessageBoxes.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TempDirectory.h"
#include "wireless/IpSettings.h"
#include "wireless/WirelessKeys.h"

namespace quillstone::testing {

// The per-key values and the octet flag live for the whole process; every test starts from the
// state at program start, also when the whole test program runs in one process.
inline void ResetProcessWideState() {
  WepKeyText.fill("");
  WepKeyFormat.fill(NoKeyFormat);
  WepKeyFlag.fill("0");
  OctetWarningActive = false;
}

// Shows a top-level widget and makes it the active window, so that focus changes inside it
// send real focus events.
inline void ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// A radio button reacts to a click on its indicator or caption, not anywhere in its (possibly
// stretched) rectangle; a push button to a click anywhere.
inline QPoint ClickPoint(QAbstractButton* button) {
  if (auto* radio = qobject_cast<QRadioButton*>(button)) {
    QStyleOptionButton option;
    option.initFrom(radio);
    return radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio).center();
  }
  return button->rect().center();
}

// A left mouse click as the user makes it; a disabled button (or one in a disabled group)
// ignores it, as on screen. The widget must be shown.
inline void Click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, ClickPoint(button));
}

// The user picks item `index` from the combo box's drop-down list. QComboBox does exactly this
// on a pick: it sets the current index and then emits activated(index); a selection made by
// code only changes the index. A disabled combo box cannot be picked from.
inline void Choose(QComboBox* combo, int index) {
  ASSERT_TRUE(combo->isEnabled()) << combo->objectName().toStdString() << " is not usable";
  ASSERT_TRUE(index >= 0 && index < combo->count());
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

// Types printable ASCII text key by key into whatever widget has the focus at each key, as a
// keyboard does (the IP-address control moves the focus on ".").
inline void TypeKeys(const std::string& text) {
  for (const char key : text) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the focus";
    QTest::keyClick(focus, key);
  }
}

// `controls` in the order the Tab key visits them from `start`, each listed once; a control
// whose focus proxy is in the focus chain counts as that control.
inline std::vector<QWidget*> TabChain(QWidget* start, const std::vector<QWidget*>& controls) {
  const auto owner = [&controls](QWidget* w) -> QWidget* {
    for (QWidget* control : controls) {
      if (control == w || control->focusProxy() == w) return control;
    }
    return nullptr;
  };
  std::vector<QWidget*> order;
  QWidget* w = start;
  do {
    QWidget* control = owner(w);
    if (control != nullptr && std::find(order.begin(), order.end(), control) == order.end())
      order.push_back(control);
    w = w->nextInFocusChain();
  } while (w != start);
  return order;
}

// The name of the control that holds `focus`: its own, or that of the nearest named control
// around it (a field of an IP-address control is that control).
inline std::string ControlName(const QWidget* focus) {
  for (const QWidget* w = focus; w != nullptr; w = w->parentWidget()) {
    if (qobject_cast<const IpAddressEdit*>(w->parentWidget()) != nullptr) continue;
    if (!w->objectName().isEmpty()) return w->objectName().toStdString();
  }
  return "(unnamed)";
}

// Presses Tab (Shift+Tab when `backwards`) from `start` until the focus comes back to it (or
// `maxSteps` presses) and names the control each press reaches: a control the key stops at
// twice in a row (in two of its parts) is named twice.
inline std::vector<std::string> TabWalk(QWidget* start, int maxSteps = 60, bool backwards = false) {
  start->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
  std::vector<std::string> reached;
  for (int step = 0; step < maxSteps; ++step) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) break;
    QTest::keyClick(focus, backwards ? Qt::Key_Backtab : Qt::Key_Tab);
    focus = QApplication::focusWidget();
    if (focus == start) break;
    reached.push_back(ControlName(focus));
  }
  return reached;
}

// Puts `text` on the clipboard and pastes it into the focused widget with Ctrl+V.
inline void PasteKeys(const QString& text) {
  QGuiApplication::clipboard()->setText(text);
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr) << "no widget has the focus";
  QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
}

// An input method composing `text` in the focused widget and then committing it, as a
// composed-input or on-screen keyboard does.
inline void ComposeText(const QString& text) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr) << "no widget has the focus";
  QInputMethodEvent composing(text, {});
  QApplication::sendEvent(focus, &composing);
  QInputMethodEvent committed;
  committed.setCommitString(text);
  QApplication::sendEvent(QApplication::focusWidget(), &committed);
}

// How many pixels differ between two pictures of a widget (all of them when the sizes differ).
inline int DifferingPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return a.width() * a.height();
  int differing = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
  }
  return differing;
}

// A window built on a fresh program directory; the test may put files there first.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessWideState(); }

  TFernwick& CreateWindow() {
    window_ = std::make_unique<TFernwick>(FernwickEnvironment{dir.Path(), &boxes, dir.Path()});
    return *window_;
  }
  // Created, shown and active, for tests that click or move the focus.
  TFernwick& ShowWindow() {
    TFernwick& window = CreateWindow();
    ShowActive(window);
    return window;
  }
  TFernwick& window() { return *window_; }

  TempDirectory dir;
  FakeMessageBoxes boxes;
  FakeLinkPlatform platform;

 private:
  std::unique_ptr<TFernwick> window_;  // last: destroyed before the fakes it uses
};

}  // namespace quillstone::testing
