// What the controls of the wireless page show and take beyond their own rules: the keyboard
// focus seen on every control the Tab key reaches, and the mouse wheel over the combo boxes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSpontaneKeyEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <map>
#include <string>

#include "app/IpAddressEdit.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

// The named control that holds `focus` (a field of an IP-address control is that control).
QWidget* ControlOf(QWidget* focus) {
  for (QWidget* w = focus; w != nullptr; w = w->parentWidget()) {
    if (qobject_cast<IpAddressEdit*>(w->parentWidget()) != nullptr) continue;
    if (!w->objectName().isEmpty()) return w;
  }
  return nullptr;
}

// Fewer changed pixels than a short line are not a cue a technician sees at a glance.
constexpr int kVisibleCue = 20;

struct FocusCase {
  const char* name;
  void (*arrange)(TFernwick&);
};
void PrintTo(const FocusCase& c, std::ostream* out) {
  *out << c.name;
}

// Between them the layouts put every control of the page on the Tab key's way.
const FocusCase kFocusLayouts[] = {
    {"WepOverRs232",
     [](TFernwick& w) {
       Choose(w.WepEncryptCob, 1);
       Click(w.RS232Radio);
     }},
    {"WpaOverTcp", [](TFernwick& w) { Choose(w.AuthenticationTypeCob, 3); }},
    {"Off", [](TFernwick& w) { Click(w.DisableRadio); }},
};

class FocusCueTest : public WindowTest, public ::testing::WithParamInterface<FocusCase> {};

TEST_P(FocusCueTest, EveryControlTheTabKeyReachesLooksDifferentWithTheFocus) {
  TFernwick& w = ShowWindow();
  GetParam().arrange(w);
  QWidget* tabBar = w.PageControl1->tabBar();
  // The keyboard has been used in the window (a Tab there and back), and the focus is on the
  // tab bar, outside the page, while each control is drawn without the focus.
  tabBar->setFocus();
  QTest::keyClick(tabBar, Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  ASSERT_EQ(QApplication::focusWidget(), tabBar);
  std::map<QWidget*, QImage> unfocused;
  for (QWidget* control : w.TabSheet2->findChildren<QWidget*>()) {
    if (!control->objectName().isEmpty()) unfocused[control] = control->grab().toImage();
  }

  int reached = 0;
  for (int step = 0; step < 60; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* control = ControlOf(QApplication::focusWidget());
    if (QApplication::focusWidget() == tabBar) break;
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(unfocused.count(control), 1u) << control->objectName().toStdString();
    EXPECT_GE(DifferingPixels(control->grab().toImage(), unfocused[control]), kVisibleCue)
        << control->objectName().toStdString() << " shows no focus";
    ++reached;
  }
  EXPECT_GT(reached, 5) << "the walk went round the page";
}

INSTANTIATE_TEST_SUITE_P(Layouts, FocusCueTest, ::testing::ValuesIn(kFocusLayouts),
                         [](const auto& param) { return std::string(param.param.name); });

// ---- The mouse wheel over the combo boxes ----

// `notches` turns of the wheel (negative: towards the user, the next item) with the pointer
// over the middle of `widget`, delivered as the window system delivers them.
void TurnWheel(QWidget* widget, int notches) {
  const QPointF at = QRectF(widget->rect()).center();
  for (int i = 0; i < std::abs(notches); ++i) {
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, notches < 0 ? -120 : 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    // As QTest delivers its mouse and key events: sendEvent would make the event look sent
    // by the program, which Qt hands to the widget alone, without focus or propagation.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(widget, &wheel);
  }
}

struct WheelCase {
  const char* name;
  QComboBox* TFernwick::*combo;
  int notches;  // a way the list can go from its index in the WEP layout
};
void PrintTo(const WheelCase& c, std::ostream* out) {
  *out << c.name;
}

class ComboWheelTest : public WindowTest, public ::testing::WithParamInterface<WheelCase> {};

TEST_P(ComboWheelTest, OnlyAFocusedComboBoxTurnsWithTheWheel) {
  TFernwick& w = ShowWindow();
  Choose(w.WepEncryptCob, 1);  // every list usable
  QComboBox* combo = w.*GetParam().combo;
  w.WirelessNetEdt->setFocus();
  const int before = combo->currentIndex();

  TurnWheel(combo, 3 * GetParam().notches);
  EXPECT_EQ(combo->currentIndex(), before) << "closed and without the focus";
  EXPECT_EQ(QApplication::focusWidget(), w.WirelessNetEdt) << "the wheel takes no focus";

  combo->setFocus(Qt::TabFocusReason);
  TurnWheel(combo, GetParam().notches);
  EXPECT_EQ(combo->currentIndex(), before + (GetParam().notches < 0 ? 1 : -1));
}

INSTANTIATE_TEST_SUITE_P(WirelessLists, ComboWheelTest,
                         ::testing::Values(WheelCase{"Mode", &TFernwick::WirelessModelCob, -1},
                                           WheelCase{"Authentication",
                                                     &TFernwick::AuthenticationTypeCob, -1},
                                           WheelCase{"Encryption", &TFernwick::WepEncryptCob, 1},
                                           WheelCase{"KeyFormat", &TFernwick::PasswordModeCob, -1}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillstone::testing
