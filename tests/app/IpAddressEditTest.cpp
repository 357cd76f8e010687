// The IP-address control: normalisation of text put into it, keyboard entry, and the field
// reports its owner receives (index, value, replacement) as the focus moves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/IpAddressEdit.h"
#include "app/SingleLineEdits.h"
#include "app/WidgetState.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

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

TEST_F(IpAddressReportTest, FieldsChangedByAPasteAreAllReportedWhenTheControlIsLeft) {
  QSignalSpy exits(edit, &IpAddressEdit::exited);
  EnterField(1);
  PasteKeys(QStringLiteral("1.2.3.4"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), other);
  EXPECT_THAT(reports, UnorderedElementsAre(Pair(0, 1), Pair(1, 2), Pair(2, 3), Pair(3, 4)));
  EXPECT_EQ(exits.count(), 1);
}

TEST_F(IpAddressReportTest, ALeftFieldShowsItsNumberAsTheControlReadsIt) {
  EnterField(0);
  TypeKeys("007");
  EnterField(2);
  TypeKeys("0");
  QTest::keyClick(edit->field(2), Qt::Key_Backspace);
  other->setFocus();
  EXPECT_EQ(edit->field(0)->text(), "7");
  EXPECT_EQ(edit->field(2)->text(), "0") << "emptied";
  EXPECT_EQ(edit->text(), "7.0.0.0");
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

// ---- Entering an address as a technician does ----

TEST(IpAddressOctetText, AFieldHoldsUpToThreeDigitsWorthAtMost255) {
  for (const char* good : {"", "0", "00", "000", "007", "99", "199", "249", "255"})
    EXPECT_TRUE(IpAddressEdit::IsOctetText(QString::fromLatin1(good))) << good;
  for (const char* bad : {"256", "260", "300", "999", "0000", "1 2", "-1", "+1", "a", "1."})
    EXPECT_FALSE(IpAddressEdit::IsOctetText(QString::fromLatin1(bad))) << bad;
}

struct WholeAddressCase {
  const char* text;
  const char* octets;  // joined by "|", or nullptr when no whole address
};

void PrintTo(const WholeAddressCase& c, std::ostream* out) {
  *out << '"' << QString::fromLatin1(c.text).toStdString() << '"';
}

class IpWholeAddressTest : public ::testing::TestWithParam<WholeAddressCase> {};

TEST_P(IpWholeAddressTest, BlanksAndLineBreaksAsideItIsFourOctets) {
  const auto octets = IpAddressEdit::WholeAddress(QString::fromLatin1(GetParam().text));
  if (GetParam().octets == nullptr) {
    EXPECT_FALSE(octets.has_value());
    return;
  }
  ASSERT_TRUE(octets.has_value());
  EXPECT_EQ(QStringList(octets->begin(), octets->end()).join('|'), GetParam().octets);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpWholeAddressTest,
    ::testing::Values(WholeAddressCase{"127.0.0.9", "127|0|0|9"},
                      WholeAddressCase{" 10 . 1 . 2 . 3 ", "10|1|2|3"},
                      WholeAddressCase{"192.168.1.9\r\n", "192|168|1|9"},
                      WholeAddressCase{"\t010.0.0.255\n", "010|0|0|255"},
                      WholeAddressCase{"1 92.168.1.9", "192|168|1|9"},
                      WholeAddressCase{"256.1.1.1", nullptr}, WholeAddressCase{"1.2.3", nullptr},
                      WholeAddressCase{"1.2.3.4.5", nullptr}, WholeAddressCase{"1..3.4", nullptr},
                      WholeAddressCase{"1.2.3.4.", nullptr}, WholeAddressCase{"a.b.c.d", nullptr},
                      WholeAddressCase{"1.2.3.-4", nullptr}, WholeAddressCase{"", nullptr}));

// How text reaches the focused field: key by key, or committed by an input method.
enum class Input { Keys, Composed };
void PrintTo(Input input, std::ostream* out) {
  *out << (input == Input::Keys ? "Keys" : "Composed");
}

void Enter(Input input, const std::string& text) {
  if (input == Input::Keys) {
    TypeKeys(text);
  } else {
    ComposeText(QString::fromStdString(text));
  }
}

// The control between two plain edit boxes in one active window.
struct IpAddressEntry {
  void Show() {
    auto* layout = new QHBoxLayout(&host);
    before = Named(new QLineEdit(&host), "before");
    edit = Named(new IpAddressEdit(&host), "edit");
    after = Named(new QLineEdit(&host), "after");
    layout->addWidget(before);
    layout->addWidget(edit);
    layout->addWidget(after);
    ShowActive(host);
  }
  // Where the focus is: "before", "after", or "field N" of the control.
  std::string FocusPlace() const {
    QWidget* focus = QApplication::focusWidget();
    for (int i = 0; i < 4; ++i) {
      if (focus == edit->field(i)) return "field " + std::to_string(i);
    }
    return focus == nullptr ? "(none)" : focus->objectName().toStdString();
  }
  // Clicks into field `index` as the user does, the cursor after the click where `cursor` says.
  void ClickField(int index, int cursor) {
    QTest::mouseClick(edit->field(index), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), edit->field(index));
    edit->field(index)->setCursorPosition(cursor);
  }

  QWidget host;
  QLineEdit* before = nullptr;
  IpAddressEdit* edit = nullptr;
  QLineEdit* after = nullptr;
};

struct TypingCase {
  int field;         // entered as Tab and "." enter a field: its text selected
  const char* keys;  // typed from there
  const char* text;  // what the control then reads
  int focusField;    // where the cursor is left
};
void PrintTo(const TypingCase& c, std::ostream* out) {
  *out << "field " << c.field << " \"" << c.keys << "\"";
}

class IpAddressTypingTest : public IpAddressEntry,
                            public ::testing::TestWithParam<std::tuple<TypingCase, Input>> {};

TEST_P(IpAddressTypingTest, ThirdDigitOrOneAFullOctetCannotTakeMovesOnAndAbove255IsHeld) {
  const auto& [c, input] = GetParam();
  Show();
  edit->field(c.field)->setFocus(Qt::TabFocusReason);
  ASSERT_EQ(FocusPlace(), "field " + std::to_string(c.field));
  Enter(input, c.keys);
  EXPECT_EQ(edit->text().toStdString(), c.text);
  EXPECT_EQ(FocusPlace(), "field " + std::to_string(c.focusField));
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(IpAddressEdit::IsOctetText(edit->field(i)->text()))
        << "field " << i << " shows " << edit->field(i)->text().toStdString();
    EXPECT_LE(edit->field(i)->text().toInt(), 255) << "field " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpAddressTypingTest,
    ::testing::Combine(
        ::testing::Values(
            TypingCase{0, "192168001001", "192.168.1.1", 3},
            TypingCase{0, "192.168.001.9", "192.168.1.9", 3}, TypingCase{0, "10..3", "10.0.3.0", 2},
            TypingCase{0, "255255255255", "255.255.255.255", 3},
            TypingCase{0, "256", "255.0.0.0", 0}, TypingCase{0, "300", "255.0.0.0", 0},
            TypingCase{1, "260", "0.255.0.0", 1}, TypingCase{0, "99999", "99.0.0.0", 0},
            TypingCase{0, "2a5-6", "255.0.0.0", 0}, TypingCase{0, "256.7", "255.7.0.0", 1},
            TypingCase{0, "2567", "7.0.0.0", 0}, TypingCase{0, "25 5", "255.0.0.0", 1},
            TypingCase{0, "0001", "0.1.0.0", 1}, TypingCase{0, "10.20.3", "10.20.3.0", 2},
            TypingCase{0, "1.2.3.4.5", "1.2.3.45", 3}, TypingCase{2, "1234", "0.0.123.4", 3},
            TypingCase{3, "2555", "0.0.0.255", 3}, TypingCase{3, "9.9", "0.0.0.99", 3}),
        ::testing::Values(Input::Keys, Input::Composed)));

std::string KeyName(Qt::Key key) {
  const std::unique_ptr<char[]> name(QTest::toString(key));
  return name.get();
}

struct NavigationCase {
  int field;
  int cursor;
  Qt::Key key;
  const char* focus;  // where the focus then is
  int cursorAfter;
  const char* text;
};
void PrintTo(const NavigationCase& c, std::ostream* out) {
  *out << "field " << c.field << " at " << c.cursor << " key " << KeyName(c.key);
}

class IpAddressNavigationTest : public IpAddressEntry,
                                public ::testing::TestWithParam<NavigationCase> {};

TEST_P(IpAddressNavigationTest, RightAtAnEndAndBackspaceOrLeftAtAStartMoveToTheNeighbour) {
  const NavigationCase& c = GetParam();
  Show();
  edit->setText(QStringLiteral("192.168.1.9"));
  ClickField(c.field, c.cursor);
  QTest::keyClick(QApplication::focusWidget(), c.key);
  EXPECT_EQ(FocusPlace(), c.focus);
  EXPECT_EQ(qobject_cast<QLineEdit*>(QApplication::focusWidget())->cursorPosition(), c.cursorAfter);
  EXPECT_FALSE(qobject_cast<QLineEdit*>(QApplication::focusWidget())->hasSelectedText());
  EXPECT_EQ(edit->text().toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpAddressNavigationTest,
    ::testing::Values(NavigationCase{0, 3, Qt::Key_Right, "field 1", 0, "192.168.1.9"},
                      NavigationCase{2, 1, Qt::Key_Right, "field 3", 0, "192.168.1.9"},
                      NavigationCase{0, 1, Qt::Key_Right, "field 0", 2, "192.168.1.9"},
                      NavigationCase{3, 1, Qt::Key_Right, "field 3", 1, "192.168.1.9"},
                      NavigationCase{1, 0, Qt::Key_Backspace, "field 0", 3, "192.168.1.9"},
                      NavigationCase{3, 0, Qt::Key_Backspace, "field 2", 1, "192.168.1.9"},
                      NavigationCase{1, 2, Qt::Key_Backspace, "field 1", 1, "192.18.1.9"},
                      NavigationCase{0, 0, Qt::Key_Backspace, "field 0", 0, "192.168.1.9"},
                      NavigationCase{2, 0, Qt::Key_Left, "field 1", 3, "192.168.1.9"},
                      NavigationCase{1, 2, Qt::Key_Left, "field 1", 1, "192.168.1.9"},
                      NavigationCase{0, 3, Qt::Key_Delete, "field 1", 0, "192.168.1.9"},
                      NavigationCase{2, 1, Qt::Key_Delete, "field 3", 0, "192.168.1.9"},
                      NavigationCase{1, 0, Qt::Key_Delete, "field 1", 0, "192.68.1.9"},
                      NavigationCase{3, 1, Qt::Key_Delete, "field 3", 1, "192.168.1.9"}));

// Keys typed from field 0 of a cleared control, then Backspace or Delete pressed.
struct ErasingCase {
  const char* typed;
  std::vector<Qt::Key> keys;
  const char* text;
  const char* focus;
  int cursor;
};
void PrintTo(const ErasingCase& c, std::ostream* out) {
  *out << '"' << c.typed << "\" then " << c.keys.size() << " keys from " << KeyName(c.keys[0]);
}

class IpAddressErasingTest : public IpAddressEntry, public ::testing::TestWithParam<ErasingCase> {};

TEST_P(IpAddressErasingTest, BackspaceFromAnEmptyOctetGoesBackAndDeleteFromItsEndGoesOn) {
  const ErasingCase& c = GetParam();
  Show();
  edit->field(0)->setFocus(Qt::TabFocusReason);
  TypeKeys(c.typed);
  for (const Qt::Key key : c.keys) QTest::keyClick(QApplication::focusWidget(), key);
  EXPECT_EQ(FocusPlace(), c.focus);
  EXPECT_EQ(qobject_cast<QLineEdit*>(QApplication::focusWidget())->cursorPosition(), c.cursor);
  EXPECT_EQ(edit->text().toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpAddressErasingTest,
    ::testing::Values(
        // The third digit moved on to an octet showing its 0: one Backspace goes back.
        ErasingCase{"192", {Qt::Key_Backspace}, "192.0.0.0", "field 0", 3},
        ErasingCase{"192", {Qt::Key_Backspace, Qt::Key_Backspace}, "19.0.0.0", "field 0", 2},
        ErasingCase{"10.", {Qt::Key_Backspace, Qt::Key_Backspace}, "1.0.0.0", "field 0", 1},
        ErasingCase{"10.20.3", {Qt::Key_Backspace, Qt::Key_Backspace}, "10.20.0.0", "field 1", 2},
        ErasingCase{"10.20.3",
                    {Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace},
                    "10.0.0.0",
                    "field 1",
                    0},
        ErasingCase{"1.2", {Qt::Key_Left, Qt::Key_Left, Qt::Key_Delete}, "1.2.0.0", "field 1", 0},
        ErasingCase{"1.2",
                    {Qt::Key_Left, Qt::Key_Left, Qt::Key_Left, Qt::Key_Delete, Qt::Key_Delete},
                    "0.2.0.0",
                    "field 1",
                    0},
        ErasingCase{"1.2",
                    {Qt::Key_Left, Qt::Key_Left, Qt::Key_Left, Qt::Key_Delete, Qt::Key_Delete,
                     Qt::Key_Delete},
                    "0.0.0.0",
                    "field 1",
                    0}));

struct TabCase {
  const char* from;  // "before", "after" or "field N" (clicked into)
  Qt::Key key;
  const char* to;
};
void PrintTo(const TabCase& c, std::ostream* out) {
  *out << c.from << " " << KeyName(c.key);
}

class IpAddressTabTest : public IpAddressEntry, public ::testing::TestWithParam<TabCase> {};

TEST_P(IpAddressTabTest, TheWholeControlIsOneTabStop) {
  const TabCase& c = GetParam();
  Show();
  const std::string from = c.from;
  if (from == "before" || from == "after") {
    QTest::mouseClick(from == "before" ? before : after, Qt::LeftButton);
  } else {
    ClickField(std::stoi(from.substr(6)), 0);
  }
  ASSERT_EQ(FocusPlace(), from);
  QTest::keyClick(QApplication::focusWidget(), c.key);
  EXPECT_EQ(FocusPlace(), c.to);
}

INSTANTIATE_TEST_SUITE_P(Cases, IpAddressTabTest,
                         ::testing::Values(TabCase{"before", Qt::Key_Tab, "field 0"},
                                           TabCase{"field 0", Qt::Key_Tab, "after"},
                                           TabCase{"field 1", Qt::Key_Tab, "after"},
                                           TabCase{"field 3", Qt::Key_Tab, "after"},
                                           TabCase{"after", Qt::Key_Backtab, "field 0"},
                                           TabCase{"field 0", Qt::Key_Backtab, "before"},
                                           TabCase{"field 2", Qt::Key_Backtab, "before"},
                                           TabCase{"field 3", Qt::Key_Backtab, "before"}));

TEST(IpAddressTabWalk, TabAndShiftTabStopOnceAtTheControl) {
  IpAddressEntry walk;
  walk.Show();
  EXPECT_EQ(TabWalk(walk.before), (std::vector<std::string>{"edit", "after"}));
  EXPECT_EQ(TabWalk(walk.before, 60, true), (std::vector<std::string>{"after", "edit"}));
}

// How the clipboard's text reaches the focused field: Ctrl+V, Paste in the field's context
// menu (opened by its menu event, the item clicked), or dropped on the field as a drag of text.
enum class Road { CtrlV, Menu, Drop };
void PrintTo(Road road, std::ostream* out) {
  *out << (road == Road::CtrlV ? "Ctrl+V" : road == Road::Menu ? "menu" : "drop");
}

// Opens the context menu of `field` as a right click does and clicks its item `name` ("edit-
// paste", "select-all"); false when the menu or the item did not show. The window is active
// again afterwards, as a window manager makes it when the menu closes.
bool ClickMenuItem(QLineEdit* field, const QString& name) {
  bool clicked = false;
  QTimer::singleShot(0, field, [&clicked, name] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    QAction* item = menu->findChild<QAction*>(name);
    if (item == nullptr || !item->isEnabled()) {
      menu->close();
      return;
    }
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(item).center());
    clicked = true;
  });
  const QPoint at = field->rect().center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
  QApplication::sendEvent(field, &event);

  ShowActive(*field->window());
  return clicked;
}

void DropText(QLineEdit* field, const QString& text) {
  QMimeData data;
  data.setText(text);
  const QPointF at = field->rect().center();
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  QApplication::sendEvent(field, &enter);
  QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                      Qt::NoModifier);
  QApplication::sendEvent(field, &move);
  ASSERT_TRUE(move.isAccepted()) << "the field refuses the drag";
  QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(field, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction) << "a drop never takes the text from its source";
}

void PasteBy(Road road, const QString& text) {
  auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(field, nullptr);
  switch (road) {
    case Road::CtrlV:
      PasteKeys(text);
      break;
    case Road::Menu:
      QGuiApplication::clipboard()->setText(text);
      ASSERT_TRUE(ClickMenuItem(field, QStringLiteral("edit-paste")));
      break;
    case Road::Drop:
      DropText(field, text);
      break;
  }
}

struct PasteCase {
  int field;  // entered as Tab enters it: its number selected
  const char* clipboard;
  const char* text;
  const char* focus;
  bool notice;  // the user is told that the text was changed
};
void PrintTo(const PasteCase& c, std::ostream* out) {
  *out << "field " << c.field << " \"" << QString::fromLatin1(c.clipboard).toStdString() << "\"";
}

class IpAddressPasteTest : public IpAddressEntry,
                           public ::testing::TestWithParam<std::tuple<PasteCase, Road>> {};

TEST_P(IpAddressPasteTest, AWholeAddressFillsAllFourANumberItsFieldAnythingElseIsReadAsAnAddress) {
  const auto& [c, road] = GetParam();
  Show();
  QSignalSpy notices(edit, &IpAddressEdit::noticeShown);
  edit->setText(QStringLiteral("1.2.3.4"));
  edit->field(c.field)->setFocus(Qt::TabFocusReason);
  PasteBy(road, QString::fromLatin1(c.clipboard));
  EXPECT_EQ(edit->text().toStdString(), c.text);
  EXPECT_EQ(FocusPlace(), c.focus);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(IpAddressEdit::IsOctetText(edit->field(i)->text()))
        << "field " << i << " shows " << edit->field(i)->text().toStdString();
  }
  EXPECT_EQ(notices.count(), c.notice ? 1 : 0);
  if (c.notice) {
    EXPECT_EQ(edit->noticeText(), notices.at(0).at(0).toString()) << "shown beside the control";
    const QString pasted = QString::fromLatin1(c.clipboard).trimmed();
    if (!QString::fromLatin1(c.text).contains(pasted)) {
      EXPECT_FALSE(edit->noticeText().contains(pasted)) << "the notice repeats the pasted text";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpAddressPasteTest,
    ::testing::Combine(
        ::testing::Values(PasteCase{0, "127.0.0.9", "127.0.0.9", "field 3", false},
                          PasteCase{2, "127.0.0.9", "127.0.0.9", "field 3", false},
                          PasteCase{3, " 10 . 1 . 2 . 3 ", "10.1.2.3", "field 3", false},
                          PasteCase{1, "192.168.1.9\n", "192.168.1.9", "field 3", false},
                          PasteCase{1, "192.168.1.9\r\n", "192.168.1.9", "field 3", false},
                          PasteCase{0, "\t172.16.0.5", "172.16.0.5", "field 3", false},
                          PasteCase{1, "77", "1.77.3.4", "field 1", false},
                          PasteCase{1, " 8\n", "1.8.3.4", "field 1", false},
                          PasteCase{1, "256", "1.255.3.4", "field 1", true},
                          PasteCase{2, "123456", "1.2.255.4", "field 2", true},
                          PasteCase{1, "10.0.0", "10.0.0.0", "field 3", true},
                          PasteCase{1, "300.1.1.1", "255.1.1.1", "field 3", true},
                          PasteCase{1, "1.2.3.4.5", "1.2.3.4", "field 3", true},
                          PasteCase{2, "abc", "0.0.0.0", "field 3", true},
                          PasteCase{2, "TopSecretPass", "0.0.0.0", "field 3", true},
                          PasteCase{0, "10.x.7", "10.0.7.0", "field 3", true}),
        ::testing::Values(Road::CtrlV, Road::Menu, Road::Drop)));

// A paste QLineEdit makes itself (its slot, which its own context menu and the X11 middle
// button call) still meets the octet check of every field, also behind the window's
// one-line guard.
class IpAddressFieldCheckTest : public ::testing::TestWithParam<const char*> {};

TEST_P(IpAddressFieldCheckTest, TheFieldsOwnPasteTakesOnlyAnOctet) {
  IpAddressEntry entry;
  entry.Show();
  KeepSingleLine(&entry.host);
  entry.edit->setText(QStringLiteral("1.2.3.4"));
  QLineEdit* field = entry.edit->field(1);
  field->setFocus(Qt::TabFocusReason);
  QGuiApplication::clipboard()->setText(QString::fromLatin1(GetParam()));
  field->paste();
  EXPECT_TRUE(IpAddressEdit::IsOctetText(field->text())) << field->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, IpAddressFieldCheckTest,
                         ::testing::Values("abc", "256", "1.2", "-1", "1234", "7\n8"));

// ---- The whole address selected ----

// (The context menu's Select All does the same; the offscreen platform leaves no window active
// when a menu closes, which ends any selection but the focused field's, so it is looked at on a
// real display instead.)
enum class Selection { CtrlA, TripleClick };
void PrintTo(Selection how, std::ostream* out) {
  *out << (how == Selection::CtrlA ? "Ctrl+A" : "triple click");
}

void SelectWholeAddress(Selection how, QLineEdit* field) {
  switch (how) {
    case Selection::CtrlA:
      QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
      break;
    case Selection::TripleClick:
      // The widget form of a double click sends the double-click event alone.
      QTest::mouseClick(field, Qt::LeftButton);
      QTest::mouseDClick(field, Qt::LeftButton);
      QTest::mouseClick(field, Qt::LeftButton);
      break;
  }
}

struct WholeCase {
  int field;              // clicked into, the cursor at its end
  const char* keys;       // typed after the selection; "<bs>", "<del>", "^V", "^C" for keys
  const char* text;       // what the control then reads
  const char* focus;      // where the cursor is left
  const char* clipboard;  // what the clipboard then holds
};
void PrintTo(const WholeCase& c, std::ostream* out) {
  *out << "field " << c.field << " then \"" << c.keys << "\"";
}

class IpAddressWholeTest : public IpAddressEntry,
                           public ::testing::TestWithParam<std::tuple<WholeCase, Selection>> {};

TEST_P(IpAddressWholeTest, SelectAllTakesTheWholeAddressWhichWhatComesNextReplaces) {
  const auto& [c, how] = GetParam();
  Show();
  edit->setText(QStringLiteral("25.10.0.0"));
  ClickField(c.field, static_cast<int>(edit->field(c.field)->text().size()));
  QGuiApplication::clipboard()->setText(QStringLiteral("127.0.0.1"));
  SelectWholeAddress(how, edit->field(c.field));
  ASSERT_TRUE(edit->wholeAddressSelected());
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(edit->field(i)->selectedText(), edit->field(i)->text()) << "field " << i;
  }
  const std::string keys = c.keys;
  QWidget* focus = QApplication::focusWidget();
  if (keys == "<bs>") {
    QTest::keyClick(focus, Qt::Key_Backspace);
  } else if (keys == "<del>") {
    QTest::keyClick(focus, Qt::Key_Delete);
  } else if (keys == "^V") {
    QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
  } else if (keys == "^C") {
    QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
  } else {
    TypeKeys(keys);
  }
  EXPECT_EQ(edit->text().toStdString(), c.text);
  EXPECT_EQ(FocusPlace(), c.focus);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.clipboard);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpAddressWholeTest,
    ::testing::Combine(
        ::testing::Values(WholeCase{2, "10.0.0.7", "10.0.0.7", "field 3", "127.0.0.1"},
                          WholeCase{0, "10.0.0.7", "10.0.0.7", "field 3", "127.0.0.1"},
                          WholeCase{3, "192168", "192.168.0.0", "field 2", "127.0.0.1"},
                          WholeCase{1, "<bs>", "0.0.0.0", "field 0", "127.0.0.1"},
                          WholeCase{3, "<del>", "0.0.0.0", "field 0", "127.0.0.1"},
                          WholeCase{2, "^V", "127.0.0.1", "field 3", "127.0.0.1"},
                          WholeCase{1, "^C", "25.10.0.0", "field 1", "25.10.0.0"}),
        ::testing::Values(Selection::CtrlA, Selection::TripleClick)));

TEST(IpAddressWholeSelection, AClickOrLeavingEndsItAndTheNextKeyActsOnOneOctet) {
  IpAddressEntry entry;
  entry.Show();
  entry.edit->setText(QStringLiteral("25.10.0.0"));
  entry.ClickField(2, 1);
  QTest::keyClick(entry.edit->field(2), Qt::Key_A, Qt::ControlModifier);
  entry.ClickField(1, 2);
  EXPECT_FALSE(entry.edit->wholeAddressSelected());
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(entry.edit->field(i)->hasSelectedText()) << i;
  TypeKeys("7");
  EXPECT_EQ(entry.edit->text(), "25.107.0.0");

  QTest::keyClick(entry.edit->field(1), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(entry.edit->field(1), Qt::Key_Tab);
  EXPECT_EQ(entry.FocusPlace(), "after");
  EXPECT_FALSE(entry.edit->wholeAddressSelected());
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(entry.edit->field(i)->hasSelectedText()) << i;
}

// ---- Above 255 ----

TEST(IpAddressAbove255, TypingItHoldsTheOctetAt255AndSaysWhy) {
  IpAddressEntry entry;
  entry.Show();
  QSignalSpy notices(entry.edit, &IpAddressEdit::noticeShown);
  entry.edit->field(0)->setFocus(Qt::TabFocusReason);
  TypeKeys("25");
  EXPECT_EQ(notices.count(), 0) << "no notice before the value is too large";
  TypeKeys("6");
  EXPECT_EQ(entry.edit->field(0)->text(), "255");
  EXPECT_EQ(entry.edit->field(0)->selectedText(), "255") << "the next digit replaces it";
  ASSERT_EQ(notices.count(), 1);
  EXPECT_FALSE(entry.edit->noticeText().isEmpty());
  EXPECT_TRUE(entry.edit->noticeText().contains("256")) << entry.edit->noticeText().toStdString();
  EXPECT_TRUE(entry.edit->noticeText().contains("255")) << entry.edit->noticeText().toStdString();
  // The next digit replaces the held value; leaving the control takes the notice away.
  TypeKeys("7");
  EXPECT_EQ(entry.edit->text(), "7.0.0.0");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(entry.FocusPlace(), "after");
  EXPECT_TRUE(entry.edit->noticeText().isEmpty());
}

// ---- The main window's address control ----

class MainWindowAddressTest : public WindowTest {
 protected:
  // Tab from the TCP/IP radio, which holds the focus first: one press enters the address.
  void TabIntoTheAddress() {
    Click(window().TC_IPRadio);
    QTest::keyClick(window().TC_IPRadio, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), window().AddressIP->field(0));
  }
};

TEST_F(MainWindowAddressTest, TypedAddressFillsTheFourFieldsAndOneTabLeavesForThePort) {
  TFernwick& w = ShowWindow();
  TabIntoTheAddress();
  TypeKeys("127000000001");
  EXPECT_EQ(w.AddressIP->text(), "127.0.0.1");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), w.PortEdtWire);
  QTest::keyClick(w.PortEdtWire, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), w.AddressIP->field(0));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), w.TC_IPRadio);
}

TEST_F(MainWindowAddressTest, PastedOrComposedAddressFillsIt) {
  TFernwick& w = ShowWindow();
  TabIntoTheAddress();
  w.AddressIP->field(2)->setFocus(Qt::MouseFocusReason);
  PasteKeys(QStringLiteral("127.0.0.1\n"));
  EXPECT_EQ(w.AddressIP->text(), "127.0.0.1");
  EXPECT_EQ(QApplication::focusWidget(), w.AddressIP->field(3));
  w.AddressIP->field(0)->setFocus(Qt::TabFocusReason);
  ComposeText(QStringLiteral("10.0.0.2"));
  EXPECT_EQ(w.AddressIP->text(), "10.0.0.2");
}

}  // namespace
}  // namespace quillstone::testing
