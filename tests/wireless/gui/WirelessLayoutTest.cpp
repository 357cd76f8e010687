// Room for every control: in each layout of the wireless page and with each transport, and in
// the device IP dialog, every edit box, list and button gets at least its minimum size, edit
// boxes show their whole text, and nothing reaches outside its parent. Fonts differ from system
// to system, so each control is compared with its own needs, not with fixed numbers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QStyle>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/Environment.h"
#include "tests/support/GuiTestSupport.h"
#include "wireless/IPConfig.h"

namespace quillstone::testing {
namespace {

std::string Name(const QWidget* w) {
  const QWidget* named = w;
  while (named != nullptr && named->objectName().isEmpty()) named = named->parentWidget();
  const std::string owner = named != nullptr ? named->objectName().toStdString() : "?";
  return named == w ? owner : owner + "/" + w->metaObject()->className();
}

std::string Sizes(QSize has, QSize needs) {
  return std::to_string(has.width()) + "x" + std::to_string(has.height()) + " needs " +
         std::to_string(needs.width()) + "x" + std::to_string(needs.height());
}

// What an edit box needs to show its whole text: the text, the frame and the two pixels Qt
// keeps on either side of the text.
int WidthForText(const QLineEdit& edit) {
  const int frame = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  constexpr int kSideMargin = 2;
  const QMargins margins = edit.textMargins();
  return edit.fontMetrics().horizontalAdvance(edit.text()) + 2 * (frame + kSideMargin) +
         margins.left() + margins.right();
}

bool IsControl(const QWidget* w) {
  return qobject_cast<const QLineEdit*>(w) != nullptr ||
         qobject_cast<const QComboBox*>(w) != nullptr ||
         qobject_cast<const QAbstractButton*>(w) != nullptr;
}

// Each visible edit box, list and button under `root` that has less room than it needs, and
// `root` itself when its layout needs more than it has; empty when everything fits.
std::vector<std::string> SqueezedControls(const QWidget& root) {
  std::vector<std::string> problems;
  const QSize pageNeeds = root.layout()->minimumSize();
  if (pageNeeds.width() > root.width() || pageNeeds.height() > root.height())
    problems.push_back(Name(&root) + " " + Sizes(root.size(), pageNeeds));
  for (const QWidget* w : root.findChildren<QWidget*>()) {
    if (!IsControl(w) || !w->isVisibleTo(&root)) continue;
    QSize needs = w->minimumSizeHint().expandedTo({0, w->sizeHint().height()});
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
      needs = needs.expandedTo({WidthForText(*edit), 0});
    if (w->width() < needs.width() || w->height() < needs.height())
      problems.push_back(Name(w) + " " + Sizes(w->size(), needs));
    if (!w->parentWidget()->rect().contains(w->geometry()))
      problems.push_back(Name(w) + " reaches outside " + Name(w->parentWidget()));
  }
  return problems;
}

// ---- The wireless page ----

struct PageLayout {
  const char* name;
  void (*reach)(TFernwick&);
};
void PrintTo(const PageLayout& layout, std::ostream* out) {
  *out << layout.name;
}
const PageLayout kPageLayouts[] = {
    {"NoKey", [](TFernwick&) {}},
    {"Wep", [](TFernwick& w) { Choose(w.WepEncryptCob, 1); }},
    {"Wpa", [](TFernwick& w) { Choose(w.AuthenticationTypeCob, 3); }},
    {"Off", [](TFernwick& w) { Click(w.DisableRadio); }},
};

class WirelessPageRoomTest : public WindowTest,
                             public ::testing::WithParamInterface<std::tuple<PageLayout, bool>> {};

TEST_P(WirelessPageRoomTest, EveryControlHasTheRoomItNeeds) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "offscreen under Wine, text is measured in a stand-in font that would need "
                    "a page about 750 px wide; the real window under Wine is looked at instead";
  }
  TFernwick& w = ShowWindow();
  const auto& [layout, serial] = GetParam();
  layout.reach(w);
  if (serial) Click(w.RS232Radio);
  ASSERT_EQ(w.RS232Radio->isChecked(), serial);
  QApplication::processEvents();  // layouts settle on posted events
  EXPECT_EQ(SqueezedControls(*w.TabSheet2), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(LayoutsAndTransports, WirelessPageRoomTest,
                         ::testing::Combine(::testing::ValuesIn(kPageLayouts), ::testing::Bool()),
                         [](const auto& param) {
                           return std::string(std::get<0>(param.param).name) +
                                  (std::get<1>(param.param) ? "Rs232" : "TcpIp");
                         });

// ---- The device IP dialog, at the size it opens with ----

class IpDialogRoomTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { ResetProcessWideState(); }
  TempDirectory dir;
  FakeMessageBoxes boxes;
};

TEST_P(IpDialogRoomTest, EveryControlHasTheRoomItNeeds) {
  TIPconfigFrm dialog(dir.Path(), boxes);
  ShowActive(dialog);
  if (GetParam()) Click(dialog.AssignIPRadio);
  QApplication::processEvents();
  EXPECT_EQ(SqueezedControls(dialog), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(DhcpAndFixed, IpDialogRoomTest, ::testing::Bool());

}  // namespace
}  // namespace quillstone::testing
