// The radio group on its own: which user actions run a button's handler and which do not.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <array>

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

}  // namespace
}  // namespace quillstone::testing
