// The radio group on its own: which user actions run a button's handler and which do not.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <string>

#include "app/RadioGroup.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

class RadioGroupHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    for (QRadioButton*& radio : radios) layout->addWidget(radio = new QRadioButton(&window));
    radios[0]->setChecked(true);
    new RadioGroup({{radios[0], [this] { ++runs[0]; }}, {radios[1], [this] { ++runs[1]; }}},
                   &window);
    ShowActive(window);
  }
  QWidget window;
  std::array<QRadioButton*, 2> radios{};
  std::array<int, 2> runs{};
};

TEST_F(RadioGroupHandlerTest, OnlyAUserSelectionOfAnotherButtonRunsItsHandler) {
  Click(radios[0]);
  QTest::keyClick(radios[0], Qt::Key_Space);
  EXPECT_EQ(runs, (std::array<int, 2>{0, 0})) << "already selected";

  radios[1]->setChecked(true);
  Click(radios[1]);
  EXPECT_EQ(runs, (std::array<int, 2>{0, 0})) << "selected by code, then clicked while selected";

  QTest::keyClick(radios[1], Qt::Key_Down);
  EXPECT_EQ(runs, (std::array<int, 2>{1, 0}));
  QTest::keyClick(radios[0], Qt::Key_Space);
  Click(radios[1]);
  EXPECT_EQ(runs, (std::array<int, 2>{1, 1}));
  EXPECT_TRUE(radios[1]->isChecked() && !radios[0]->isChecked());
}

// Three buttons with one disabled: the arrow keys pass over it, wrapping at either end.
struct DisabledStepCase {
  const char* name;
  int disabled;
  int from;
  Qt::Key key;
  int lands;
};

class RadioGroupDisabledTest : public ::testing::TestWithParam<DisabledStepCase> {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    for (QRadioButton*& radio : radios) layout->addWidget(radio = new QRadioButton(&window));
    new RadioGroup({{radios[0], [this] { ++runs[0]; }},
                    {radios[1], [this] { ++runs[1]; }},
                    {radios[2], [this] { ++runs[2]; }}},
                   &window);
    ShowActive(window);
  }
  QWidget window;
  std::array<QRadioButton*, 3> radios{};
  std::array<int, 3> runs{};
};

TEST_P(RadioGroupDisabledTest, ArrowKeysSkipTheDisabledButton) {
  const DisabledStepCase& c = GetParam();
  const auto from = static_cast<std::size_t>(c.from);
  const auto lands = static_cast<std::size_t>(c.lands);
  radios[from]->setChecked(true);
  radios[static_cast<std::size_t>(c.disabled)]->setEnabled(false);
  radios[from]->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(radios[from]->hasFocus());

  QTest::keyClick(radios[from], c.key);

  EXPECT_TRUE(radios[lands]->isChecked());
  EXPECT_TRUE(radios[lands]->hasFocus());
  EXPECT_FALSE(radios[static_cast<std::size_t>(c.disabled)]->isChecked());
  std::array<int, 3> expected{};
  expected[lands] = 1;
  EXPECT_EQ(runs, expected) << "the handler of the button it lands on, once";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RadioGroupDisabledTest,
    ::testing::Values(DisabledStepCase{"DownOverTheMiddle", 1, 0, Qt::Key_Down, 2},
                      DisabledStepCase{"RightOverTheMiddle", 1, 0, Qt::Key_Right, 2},
                      DisabledStepCase{"UpOverTheMiddle", 1, 2, Qt::Key_Up, 0},
                      DisabledStepCase{"LeftOverTheMiddle", 1, 2, Qt::Key_Left, 0},
                      DisabledStepCase{"DownWrapsOverTheFirst", 0, 2, Qt::Key_Down, 1},
                      DisabledStepCase{"UpWrapsOverTheLast", 2, 0, Qt::Key_Up, 1}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace quillstone::testing
