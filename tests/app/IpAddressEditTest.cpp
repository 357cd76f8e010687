// The IP-address control: normalisation of text put into it, keyboard entry, and the field
// reports its owner receives (index, value, replacement) as the focus moves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <optional>
#include <utility>
#include <vector>

#include "app/IpAddressEdit.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

struct Normalisation {
  const char* input;
  const char* expected;
};

class IpAddressNormalisationTest : public ::testing::TestWithParam<Normalisation> {};

TEST_P(IpAddressNormalisationTest, TextPutIntoTheControlReadsBackAsFourNumbers) {
  IpAddressEdit edit;
  edit.setText(QString::fromLatin1(GetParam().input));
  EXPECT_EQ(edit.text(), GetParam().expected);
  const QStringList parts = QString::fromLatin1(GetParam().expected).split('.');
  for (int i = 0; i < 4; ++i) EXPECT_EQ(edit.field(i)->text(), parts[i]) << "field " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpAddressNormalisationTest,
    ::testing::Values(Normalisation{"192.168.1.201", "192.168.1.201"}, Normalisation{"", "0.0.0.0"},
                      Normalisation{"  10.1.2.3  ", "10.1.2.3"},
                      Normalisation{"10.x.7", "10.0.7.0"}, Normalisation{"a.b.c.d", "0.0.0.0"},
                      Normalisation{"1..3.4", "1.0.3.4"}, Normalisation{"1.2.3.4.5", "1.2.3.4"},
                      Normalisation{"007.08.0.1", "7.8.0.1"},
                      Normalisation{"1. 2 .3 .4", "1.2.3.4"},
                      Normalisation{"0x10.1.1.1", "0.1.1.1"}, Normalisation{"-1.2.3.4", "0.2.3.4"},
                      Normalisation{"1,2,3,4", "0.0.0.0"},
                      Normalisation{"256.300.1.1", "255.255.1.1"}));

TEST(IpAddressEditClear, ClearedOrEmptiedItReadsAllZeros) {
  IpAddressEdit edit;
  EXPECT_EQ(edit.text(), "0.0.0.0") << "a new control";
  edit.setText(QStringLiteral("1.2.3.4"));
  edit.clear();
  EXPECT_EQ(edit.text(), "0.0.0.0");
  edit.setText(QStringLiteral("1.2.3.4"));
  edit.setText(QString());
  EXPECT_EQ(edit.text(), "0.0.0.0");
}

// The control beside a plain edit box in one active window; every field report is recorded.
class IpAddressReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QHBoxLayout(&host);
    edit = new IpAddressEdit(&host);
    other = new QLineEdit(&host);
    layout->addWidget(edit);
    layout->addWidget(other);
    edit->setFieldChangeHandler([this](int field, int& value) {
      reports.emplace_back(field, value);
      if (onReport) onReport(field, value);
    });
    ShowActive(host);
  }
  // Enters field `index` as the Tab key does: focused, its text selected for overtyping.
  void EnterField(int index) {
    edit->field(index)->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), edit->field(index));
    edit->field(index)->selectAll();
  }

  std::vector<std::pair<int, int>> reports;
  std::function<void(int, int&)> onReport;
  // Last, so destroyed first: hiding it on destruction may still report a field.
  QWidget host;
  IpAddressEdit* edit = nullptr;
  QLineEdit* other = nullptr;
};

TEST_F(IpAddressReportTest, LeavingAChangedFieldReportsItsIndexAndValueOnce) {
  QSignalSpy exits(edit, &IpAddressEdit::exited);
  EnterField(3);
  TypeKeys("42");
  other->setFocus();
  EXPECT_THAT(reports, ElementsAre(Pair(3, 42)));
  EXPECT_EQ(edit->text(), "0.0.0.42");
  EXPECT_EQ(exits.count(), 1);

  // Coming back and leaving without a change, or retyping the same value, reports nothing.
  EnterField(3);
  other->setFocus();
  EnterField(3);
  TypeKeys("42");
  other->setFocus();
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(exits.count(), 3);
}

TEST_F(IpAddressReportTest, DotMovesToTheNextFieldReportingTheOneLeftWithoutLeavingTheControl) {
  QSignalSpy exits(edit, &IpAddressEdit::exited);
  EnterField(0);
  TypeKeys("10.20.3");
  EXPECT_EQ(QApplication::focusWidget(), edit->field(2));
  EXPECT_THAT(reports, ElementsAre(Pair(0, 10), Pair(1, 20)));
  EXPECT_EQ(exits.count(), 0);
  other->setFocus();
  EXPECT_THAT(reports, ElementsAre(Pair(0, 10), Pair(1, 20), Pair(2, 3)));
  EXPECT_EQ(exits.count(), 1);
  EXPECT_EQ(edit->text(), "10.20.3.0");
}

TEST_F(IpAddressReportTest, FieldsAcceptOnlyNumbersUpTo255) {
  EnterField(1);
  TypeKeys("2a5-6");
  EXPECT_EQ(edit->field(1)->text(), "25") << "a third digit above 255 is refused";
  EnterField(2);
  TypeKeys("255");
  EXPECT_EQ(edit->text(), "0.25.255.0");
}

TEST_F(IpAddressReportTest, TextSetByCodeIsNotReported) {
  EnterField(0);
  edit->setText(QStringLiteral("9.9.9.9"));
  other->setFocus();
  EXPECT_TRUE(reports.empty());
}

TEST_F(IpAddressReportTest, ReceiverMayReplaceTheReportedValue) {
  onReport = [](int, int& value) { value = 7; };
  EnterField(0);
  TypeKeys("99");
  other->setFocus();
  EXPECT_THAT(reports, ElementsAre(Pair(0, 99)));
  EXPECT_EQ(edit->field(0)->text(), "7");
  EXPECT_EQ(edit->text(), "7.0.0.0");
  // The replaced value is what the control now holds: leaving again reports nothing.
  EnterField(0);
  other->setFocus();
  EXPECT_EQ(reports.size(), 1u);
}

TEST_F(IpAddressReportTest, AnotherWindowTakingTheFocusReportsChangedFieldsButIsNoExit) {
  QSignalSpy exits(edit, &IpAddressEdit::exited);
  EnterField(0);
  TypeKeys("1.2");
  QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), QStringLiteral("x"));
  ShowActive(box);
  EXPECT_THAT(reports, ElementsAre(Pair(0, 1), Pair(1, 2)));
  EXPECT_EQ(exits.count(), 0);
  box.hide();
  ShowActive(host);
  EXPECT_EQ(QApplication::focusWidget(), edit->field(1)) << "the focus comes back to the field";
}

TEST_F(IpAddressReportTest, BoxShownByTheReceiverMakesTheSameFieldReportAgain) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("notice"), QStringLiteral("x"));
  onReport = [&box, this](int, int& value) {
    if (reports.size() == 1) {
      ShowActive(box);  // a box takes the focus while the first report is handled
      value = 1;
    }
  };
  EnterField(0);
  TypeKeys("127.");
  // The field still held 127 when the box took the focus, so it was reported once more.
  EXPECT_THAT(reports, ElementsAre(Pair(0, 127), Pair(0, 127)));
  EXPECT_EQ(edit->field(0)->text(), "1") << "the first report's replacement is kept";
  box.hide();
}

}  // namespace
}  // namespace quillstone::testing
