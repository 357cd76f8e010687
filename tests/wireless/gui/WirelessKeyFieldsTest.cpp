// The key and passphrase fields of the wireless page as the focus leaves them: what each key
// remembers, the short-passphrase message, what counts as leaving, and the key check's focus.
// The window is shown and active and the focus moves between its controls for real.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <string>
#include <vector>

#include "app/LimitedLineEdit.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

class WirelessKeyFieldsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
  // Puts the focus into `field` and types `text` there.
  void TypeInto(QWidget* field, const std::string& text) {
    field->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), field);
    TypeKeys(text);
  }
  void MoveFocusTo(QWidget* control) {
    control->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), control);
  }
  std::vector<std::string> ShortKeys() {
    window().ListShortKeys();
    std::vector<std::string> entries = *window().ShortKeyList;
    window().ShortKeyList.reset();
    return entries;
  }
};

TEST_F(WirelessKeyFieldsTest, LeavingKeyOneWithFiveCharactersInFormatZeroRecordsAShortKey) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  WepKeyFlag[1] = "1";
  TypeInto(w.WepPasswordEdt1, "abcde");
  EXPECT_EQ(WepKeyText[1], "") << "nothing is recorded while the field has the focus";
  MoveFocusTo(w.WepPasswordEdt2);
  EXPECT_EQ(WepKeyText[1], "abcde");
  EXPECT_EQ(WepKeyFormat[1], 0);
  EXPECT_EQ(WepKeyFlag[1], "1") << "a short key leaves the flag as it was";
  EXPECT_EQ(ShortKeys(), std::vector<std::string>{"p1=0"});
  EXPECT_TRUE(boxes.shown.empty());

  Choose(w.WepEncryptCob, 0);
  EXPECT_TRUE(ShortKeys().empty()) << "no short keys while the WEP group is disabled";
}

TEST_F(WirelessKeyFieldsTest, KeyTypedUnderOneFormatAndLeftUnderAShorterOneTakesItsFlag) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  TypeInto(w.WepPasswordEdt3, "abcdefg");
  MoveFocusTo(w.PasswordModeCob);  // the user goes to the format list
  EXPECT_EQ(WepKeyFormat[3], 0);
  EXPECT_EQ(WepKeyFlag[3], "0");
  Choose(w.PasswordModeCob, 2);
  MoveFocusTo(w.WepPasswordEdt3);
  MoveFocusTo(w.WepPasswordEdt4);
  EXPECT_EQ(WepKeyText[3], "abcdefg");
  EXPECT_EQ(WepKeyFormat[3], 2);
  EXPECT_EQ(WepKeyFlag[3], "1");
  EXPECT_TRUE(ShortKeys().empty());
}

TEST_F(WirelessKeyFieldsTest, LeavingAnEmptyOrBlankKeyRecordsItsTextButNoFormat) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  WepKeyText[2] = "old";
  MoveFocusTo(w.WepPasswordEdt2);
  MoveFocusTo(w.WepPasswordEdt4);
  TypeKeys("   ");
  MoveFocusTo(w.WepPasswordEdt1);
  EXPECT_EQ(WepKeyText[2], "");
  EXPECT_EQ(WepKeyFormat[2], NoKeyFormat);
  EXPECT_EQ(WepKeyText[4], "   ");
  EXPECT_EQ(WepKeyFormat[4], NoKeyFormat);
}

TEST_F(WirelessKeyFieldsTest, FullLengthKeyLeftInAHexFormatIsFlaggedHex) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  WepKeyFlag[2] = "1";
  TypeInto(w.WepPasswordEdt2, "0123456789");
  MoveFocusTo(w.WirelessNetEdt);
  EXPECT_EQ(WepKeyFormat[2], 0);
  EXPECT_EQ(WepKeyFlag[2], "0");
  EXPECT_TRUE(ShortKeys().empty());
}

TEST_F(WirelessKeyFieldsTest, LeavingAShortPassphraseShowsTheMessageAndLetsTheFocusGo) {
  TFernwick& w = window();
  Choose(w.AuthenticationTypeCob, 3);
  TypeInto(w.WAPpasswordEdit, "1234567");
  MoveFocusTo(w.WirelessNetEdt);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, FakeMessageBoxes::Kind::Information);
  EXPECT_EQ(boxes.shown[0].text,
            "please input 8 and 64 characters long for ASCII or 8 and 64 "
            "characters(0-9,a-f,A-F) for hex ");
  EXPECT_EQ(QApplication::focusWidget(), w.WirelessNetEdt);
  EXPECT_EQ(w.WAPpasswordEdit->text(), "1234567");

  TypeInto(w.WAPpasswordEdit, "8");
  MoveFocusTo(w.WirelessNetEdt);
  EXPECT_EQ(boxes.shown.size(), 1u) << "eight characters are enough";

  w.WAPpasswordEdit->clear();
  MoveFocusTo(w.WAPpasswordEdit);
  MoveFocusTo(w.WirelessNetEdt);
  EXPECT_EQ(boxes.shown.size(), 2u) << "an empty passphrase is too short as well";
}

TEST_F(WirelessKeyFieldsTest, AnotherWindowTakingTheFocusIsNotLeavingTheField) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  TypeInto(w.WepPasswordEdt1, "abc");
  QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), QStringLiteral("x"));
  ShowActive(box);
  EXPECT_EQ(WepKeyText[1], "");
  EXPECT_EQ(WepKeyFormat[1], NoKeyFormat);
  box.hide();
  ShowActive(w);
  EXPECT_EQ(QApplication::focusWidget(), w.WepPasswordEdt1);
  MoveFocusTo(w.WepPasswordEdt2);
  EXPECT_EQ(WepKeyText[1], "abc");
  EXPECT_EQ(WepKeyFormat[1], 0);

  Choose(w.AuthenticationTypeCob, 3);
  TypeInto(w.WAPpasswordEdit, "short");
  ShowActive(box);
  EXPECT_TRUE(boxes.shown.empty()) << "no passphrase message while another window is active";
}

TEST_F(WirelessKeyFieldsTest, ClickingSetOrPressingEnterRecordsTheKeyFieldFirst) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  // What key 1 remembered when the apply ran; it stops at the missing network name.
  std::vector<std::string> rememberedAtApply;
  boxes.onShow = [&rememberedAtApply](const FakeMessageBoxes::Box& box) {
    if (box.text == "ID(SSID) can not be null,you must input it,please!")
      rememberedAtApply.push_back(WepKeyText[1]);
  };
  TypeInto(w.WepPasswordEdt1, "abcde");
  QTest::keyClick(w.WepPasswordEdt1, Qt::Key_Return);
  TypeInto(w.WepPasswordEdt1, "f");
  Click(w.SetBitB);
  EXPECT_EQ(rememberedAtApply, (std::vector<std::string>{"abcde", "abcdef"}));
}

// The key typed short, left (recorded short), then completed: Enter in the field applies what
// the field shows, for each of the four keys as the default key.
class EnterAfterCompletingAKeyTest : public WirelessKeyFieldsTest,
                                     public ::testing::WithParamInterface<int> {};

TEST_P(EnterAfterCompletingAKeyTest, AppliesTheKeyOnScreenWithoutATooShortWarning) {
  TFernwick& w = window();
  const int key = GetParam();
  const std::array<QRadioButton*, 4> markers = {w.WepPasswordRadio1, w.WepPasswordRadio2,
                                                w.WepPasswordRadio3, w.WepPasswordRadio4};
  const std::array<LimitedLineEdit*, 4> fields = {w.WepPasswordEdt1, w.WepPasswordEdt2,
                                                  w.WepPasswordEdt3, w.WepPasswordEdt4};
  LimitedLineEdit* field = fields[static_cast<std::size_t>(key - 1)];
  w.WirelessNetEdt->setText(QStringLiteral("Lab"));
  w.AddressIP->setText(QStringLiteral("127.0.0.1"));
  boxes.confirmAnswer = false;  // the question is as far as the apply goes
  Choose(w.WepEncryptCob, 1);   // 10 hexadecimal digits
  Click(markers[static_cast<std::size_t>(key - 1)]);

  QTest::mouseClick(field, Qt::LeftButton);
  TypeKeys("12345");
  QTest::keyClick(field, Qt::Key_Tab);
  ASSERT_EQ(WepKeyText[static_cast<std::size_t>(key)], "12345");
  QTest::mouseClick(field, Qt::LeftButton);
  ASSERT_EQ(QApplication::focusWidget(), field);
  QTest::keyClick(field, Qt::Key_End);
  TypeKeys("67890");
  QTest::keyClick(field, Qt::Key_Return);

  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Are you  sure to set ？"});
  EXPECT_EQ(field->text(), QStringLiteral("1234567890"));
}

INSTANTIATE_TEST_SUITE_P(Keys, EnterAfterCompletingAKeyTest, ::testing::Values(1, 2, 3, 4),
                         [](const auto& param) { return "Key" + std::to_string(param.param); });

// ---- Pasting into a key field with a length limit ----

struct PasteCase {
  const char* name;
  const char* before;
  int selectionStart;
  int selectionLength;  // 0: the cursor at selectionStart
  const char* pasted;
  const char* after;
  int cursorAfter;
};
void PrintTo(const PasteCase& c, std::ostream* out) {
  *out << c.name;
}

class KeyPasteTest : public WirelessKeyFieldsTest,
                     public ::testing::WithParamInterface<PasteCase> {};

TEST_P(KeyPasteTest, APasteLongerThanTheRoomLeftIsCutToTheLimit) {
  const PasteCase& c = GetParam();
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);  // the first format: at most 10 characters
  LimitedLineEdit* field = w.WepPasswordEdt1;
  ASSERT_EQ(field->lengthLimit(), 10);
  field->setText(QString::fromLatin1(c.before));
  field->setFocus();
  field->setSelection(c.selectionStart, c.selectionLength);
  if (c.selectionLength == 0) field->setCursorPosition(c.selectionStart);
  QGuiApplication::clipboard()->setText(QString::fromLatin1(c.pasted));

  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);

  EXPECT_EQ(field->text().toStdString(), c.after);
  EXPECT_EQ(field->cursorPosition(), c.cursorAfter);
  EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    FormatZero, KeyPasteTest,
    ::testing::Values(
        PasteCase{"IntoTheEmptyField", "", 0, 0, "ABCDEFGHIJKLMNOP", "ABCDEFGHIJ", 10},
        PasteCase{"BehindFiveDigits", "12345", 5, 0, "ABCDEFGHIJKLMNOP", "12345ABCDE", 10},
        PasteCase{"BetweenDigits", "12345", 2, 0, "ABCDEFGHIJKLMNOP", "12ABCDE345", 7},
        PasteCase{"OverASelection", "1234567890", 3, 3, "ABCDEFGH", "123ABC7890", 6},
        PasteCase{"SameStartAsTheSelection", "1234567890", 3, 3, "4ABCDE", "1234AB7890", 6},
        PasteCase{"WhatFitsWhole", "12345", 5, 0, "ABC", "12345ABC", 8},
        PasteCase{"IntoAFullField", "1234567890", 4, 0, "ABC", "1234567890", 4},
        // A key kept from a longer format keeps its length but does not grow.
        PasteCase{"OverlongKeyOverASelection", "0123456789ABCDEF0123456789", 0, 2, "xyz",
                  "xy23456789ABCDEF0123456789", 2}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(WirelessKeyFieldsTest, KeyCheckNamesTheDefaultKeyAndPutsTheFocusOnIt) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  Click(w.WepPasswordRadio2);
  Choose(w.PasswordModeCob, 1);
  QTest::keyClicks(w.WepPasswordEdt2, "0123456789a");  // typed without leaving the field
  Choose(w.PasswordModeCob, 0);
  MoveFocusTo(w.WirelessNetEdt);
  ASSERT_EQ(WepKeyFormat[2], NoKeyFormat);

  EXPECT_TRUE(w.CheckKeys());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{
                               "Password 2,please input 64-bit(104+24)-10 hexadecimal digits "});
  EXPECT_EQ(QApplication::focusWidget(), w.WepPasswordEdt2);

  // Six characters meet the five of the first ASCII format, recorded or not.
  boxes.shown.clear();
  w.WepPasswordEdt2->setText(QStringLiteral("abcdef"));
  Choose(w.PasswordModeCob, 2);
  EXPECT_FALSE(w.CheckKeys());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WirelessKeyFieldsTest, KeyCheckOfAShortPassphraseLeavesTheFocusAlone) {
  TFernwick& w = window();
  Choose(w.AuthenticationTypeCob, 4);
  QTest::keyClicks(w.WAPpasswordEdit, "1234567");
  MoveFocusTo(w.WirelessNetEdt);
  boxes.shown.clear();
  EXPECT_TRUE(w.CheckKeys());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "please input 8 and 64 characters long for ASCII or 8 and 64 "
            "characters(0-9,a-f,A-F) for hex ");
  EXPECT_EQ(QApplication::focusWidget(), w.WirelessNetEdt);
  QTest::keyClicks(w.WAPpasswordEdit, "8");
  EXPECT_FALSE(w.CheckKeys());
}

}  // namespace
}  // namespace quillstone::testing
