// What reaches the window's single-line fields: pasted line breaks (cut at the first one),
// typed and composed characters in the digit fields (each one through the filter), and the
// picture Test Connect shows before the first test.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>

#include "tests/support/GuiTestSupport.h"
#include "wireless/IPConfig.h"

namespace quillstone::testing {
namespace {

using WindowInputTest = WindowTest;

TEST_F(WindowInputTest, CtrlVKeepsThePastedTextUpToItsFirstLineBreak) {
  TFernwick& w = ShowWindow();
  w.WirelessNetEdt->setText(QStringLiteral("abcd"));
  w.WirelessNetEdt->setFocus();
  w.WirelessNetEdt->setCursorPosition(2);
  QGuiApplication::clipboard()->setText(QStringLiteral("Lab\r\n[Config]\r\nDeviceID=9"));

  QTest::keyClick(w.WirelessNetEdt, Qt::Key_V, Qt::ControlModifier);

  EXPECT_EQ(w.WirelessNetEdt->text(), QStringLiteral("abLabcd"));
  EXPECT_EQ(w.WirelessNetEdt->cursorPosition(), 5);
}

// Every editable single-line field of both pages and of the device IP dialog, the fields of
// the IP-address controls included, for a lone CR and a lone LF.
TEST_F(WindowInputTest, NoSingleLineFieldTakesALineBreakFromThePaste) {
  TFernwick& w = CreateWindow();
  TIPconfigFrm dialog(dir.Path(), boxes);
  int fields = 0;
  for (const char* pasted : {"12\r[Config]", "12\n[Config]"}) {
    QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
    for (QWidget* form : {static_cast<QWidget*>(&w), static_cast<QWidget*>(&dialog)}) {
      for (QLineEdit* field : form->findChildren<QLineEdit*>()) {
        if (field->isReadOnly()) continue;
        field->clear();
        field->paste();
        EXPECT_EQ(field->text(), QStringLiteral("12"))
            << field->parent()->objectName().toStdString() << "/"
            << field->objectName().toStdString() << " pasted " << pasted;
        ++fields;
      }
    }
  }
  EXPECT_GT(fields, 2 * 30) << "the walk found the fields";
}

// ---- The digit filters: typed and composed text ----

struct TypingCase {
  const char* name;
  bool composed;  // committed by an input method rather than carried by a key event
  const char16_t* text;
  const char* kept;
};

class DigitTypingTest : public WindowTest,
                        public ::testing::WithParamInterface<std::tuple<const char*, TypingCase>> {
};

TEST_P(DigitTypingTest, OnlyTheDigitsOfTheTextLand) {
  const auto& [fieldName, typing] = GetParam();
  TFernwick& w = ShowWindow();
  auto* field = w.findChild<QLineEdit*>(QString::fromLatin1(fieldName));
  ASSERT_NE(field, nullptr);
  if (!field->isEnabled()) Click(w.RS232Radio);  // a serial field
  ASSERT_TRUE(field->isEnabled());
  field->clear();
  field->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), field);

  const QString text = QString::fromUtf16(typing.text);
  if (typing.composed) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(QApplication::focusWidget(), &commit);
  } else {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, text);
    QApplication::sendEvent(QApplication::focusWidget(), &key);
  }

  EXPECT_EQ(field->text().toStdString(), typing.kept);
}

INSTANTIATE_TEST_SUITE_P(
    NumberFields, DigitTypingTest,
    ::testing::Combine(
        ::testing::Values("PortEdtWire", "DeviceIdEdt", "ComIDEdit", "BaudRateEdit"),
        ::testing::Values(TypingCase{"ComposedLettersAndHanzi", true, u"1a\u4e8c3", "13"},
                          TypingCase{"ComposedDigits", true, u"42", "42"},
                          TypingCase{"ComposedSpaceAndSign", true, u" -", ""},
                          TypingCase{"KeyWithSeveralCharacters", false, u"4x5", "45"},
                          TypingCase{"KeyWithLettersOnly", false, u"ab", ""})),
    [](const auto& named) {
      return std::string(std::get<0>(named.param)) + "_" + std::get<1>(named.param).name;
    });

// ---- Test Connect before the first test ----

TEST_F(WindowInputTest, TestConnectShowsANeutralPictureOfTheResultPicturesSize) {
  TFernwick& w = CreateWindow();
  const QIcon before = w.TestConnectBtn->icon();
  ASSERT_FALSE(before.isNull());
  const QString pictures = QStringLiteral(QUILLSTONE_PICTURE_DIR "/");
  for (const char* result : {"textconnetOK.bmp", "textconncet.bmp"}) {
    const QImage picture(pictures + QString::fromLatin1(result));
    ASSERT_FALSE(picture.isNull()) << result;
    // The same size keeps the caption in place when the result replaces it.
    EXPECT_EQ(w.TestConnectBtn->iconSize(), picture.size()) << result;
    EXPECT_NE(before.pixmap(picture.size()).toImage().convertToFormat(picture.format()), picture)
        << "neutral, not " << result;
  }
}

}  // namespace
}  // namespace quillstone::testing
