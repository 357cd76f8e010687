// The wireless page's rules as the user drives them: the four layouts, the lists that refill
// when the mode or the authentication changes, the key markers, on/off, and the length limits.
//
// Combo boxes are driven through Choose() (tests/support/GuiTestSupport.h): it sets the index and
// emits activated(index), which is what QComboBox does when the user picks an item from the
// drop-down list. One test also uses real arrow-key presses on a combo box.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <string>

#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"
#include "app/WidgetState.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

std::array<LimitedLineEdit*, 4> KeyFields(const TFernwick& w) {
  return {w.WepPasswordEdt1, w.WepPasswordEdt2, w.WepPasswordEdt3, w.WepPasswordEdt4};
}

// Names the page's layout from the groups' own enabled flags and those of the key controls
// inside them; anything else is spelled out flag by flag.
std::string LayoutOf(const TFernwick& w) {
  const bool network = OwnEnabled(w.GroupBox7);
  const bool wep = OwnEnabled(w.WEPGroup);
  const bool wpa = OwnEnabled(w.WPAGroup);
  int wepControlsOn = OwnEnabled(w.PasswordModeCob) ? 1 : 0;
  for (const LimitedLineEdit* field : KeyFields(w)) wepControlsOn += OwnEnabled(field) ? 1 : 0;
  const bool passphrase = OwnEnabled(w.WAPpasswordEdit);
  if (!network && !wep && !wpa) return "off";
  if (network && !wep && !wpa && wepControlsOn == 0) return "no key";
  if (network && wep && !wpa && wepControlsOn == 5 && !passphrase) return "WEP";
  if (network && !wep && wpa && wepControlsOn == 0 && passphrase) return "WPA";
  return "mixed: network " + std::to_string(network) + " wep " + std::to_string(wep) + " wpa " +
         std::to_string(wpa) + " key controls on " + std::to_string(wepControlsOn) +
         " passphrase " + std::to_string(passphrase);
}

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

// Which key markers are selected, key 1 first.
std::string Markers(const TFernwick& w) {
  std::string markers;
  for (const QRadioButton* marker :
       {w.WepPasswordRadio1, w.WepPasswordRadio2, w.WepPasswordRadio3, w.WepPasswordRadio4})
    markers += marker->isChecked() ? '1' : '0';
  return markers;
}

std::array<int, 4> Limits(const TFernwick& w) {
  std::array<int, 4> limits{};
  for (std::size_t i = 0; i < 4; ++i) limits[i] = KeyFields(w)[i]->lengthLimit();
  return limits;
}

constexpr std::array<int, 4> kAllTen = {10, 10, 10, 10};
const QStringList kInfrastructureList = {"OPEN", "SHARED", "WEPAUTO", "WPAPSK", "WPA2PSK"};
const QStringList kAdhocList = {"OPEN", "SHARED", "WPANONE", "WEPAUTO"};
const QStringList kWepPair = {"NONE", "WEP"};
const QStringList kWpaPair = {"TKIP", "AES"};

class WirelessPageTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
};

TEST_F(WirelessPageTest, StartsWithoutKeysInInfrastructureOpenNone) {
  TFernwick& w = window();
  EXPECT_EQ(LayoutOf(w), "no key");
  EXPECT_EQ(w.WirelessModelCob->currentText(), "Infrastructrue Model");
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "OPEN");
  EXPECT_EQ(w.WepEncryptCob->currentText(), "NONE");
  EXPECT_EQ(w.PasswordModeCob->currentIndex(), 0);
  EXPECT_EQ(Markers(w), "0000");
  EXPECT_FALSE(OwnEnabled(w.WAPpasswordEdit));
}

TEST_F(WirelessPageTest, ChoosingWepAtStartMarksKeyOneAndLimitsEmptyKeysToTen) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  EXPECT_EQ(LayoutOf(w), "WEP");
  EXPECT_EQ(Markers(w), "1000");
  EXPECT_EQ(Limits(w), kAllTen);
  EXPECT_TRUE(w.WepPasswordEdt1->isEnabled()) << "usable, not only flagged";
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(WepKeyFormat[k], NoKeyFormat) << "key " << k;
}

TEST_F(WirelessPageTest, ChoosingWepRecordsTheFormatOfAKeyAlreadyAtItsLength) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  QTest::keyClicks(w.WepPasswordEdt2, "0123456789");  // typed without leaving the field
  QTest::keyClicks(w.WepPasswordEdt3, "01234");
  Choose(w.WepEncryptCob, 0);
  ASSERT_EQ(LayoutOf(w), "no key");
  ASSERT_EQ(WepKeyFormat[2], NoKeyFormat);
  Choose(w.WepEncryptCob, 1);
  EXPECT_EQ(WepKeyFormat[2], 0);
  EXPECT_EQ(WepKeyFormat[3], NoKeyFormat);
  EXPECT_EQ(w.WepPasswordEdt3->text(), "01234");
}

TEST_F(WirelessPageTest, ModeChangeFromWpa2pskAesGivesOpenAndWepWithTheWepLayout) {
  TFernwick& w = window();
  Choose(w.AuthenticationTypeCob, 4);
  ASSERT_EQ(LayoutOf(w), "WPA");
  ASSERT_EQ(Items(w.WepEncryptCob), kWpaPair);
  Choose(w.WepEncryptCob, 1);
  ASSERT_EQ(w.WepEncryptCob->currentText(), "AES");
  EXPECT_EQ(LayoutOf(w), "WPA");

  Choose(w.WirelessModelCob, 1);
  EXPECT_EQ(Items(w.AuthenticationTypeCob), kAdhocList);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "OPEN");
  EXPECT_EQ(Items(w.WepEncryptCob), kWepPair);
  EXPECT_EQ(w.WepEncryptCob->currentText(), "WEP");
  EXPECT_EQ(LayoutOf(w), "WEP");
  EXPECT_EQ(Markers(w), "1000");
  EXPECT_EQ(Limits(w), kAllTen);

  Choose(w.AuthenticationTypeCob, 2);  // WPANONE
  Choose(w.WirelessModelCob, 0);
  EXPECT_EQ(Items(w.AuthenticationTypeCob), kInfrastructureList);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "OPEN");
  EXPECT_EQ(w.WepEncryptCob->currentText(), "WEP");
  EXPECT_EQ(LayoutOf(w), "WEP");
}

TEST_F(WirelessPageTest, ModeChangeKeepsTheLimitsOfAFormatOtherThanTheFirst) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  Choose(w.PasswordModeCob, 3);
  Choose(w.WirelessModelCob, 1);
  EXPECT_EQ(Limits(w), (std::array<int, 4>{13, 13, 13, 13}));
}

TEST_F(WirelessPageTest, IndexThreeIsWpapskInInfrastructureButWepautoInAdhoc) {
  TFernwick& w = window();
  Choose(w.AuthenticationTypeCob, 3);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "WPAPSK");
  EXPECT_EQ(LayoutOf(w), "WPA");
  EXPECT_EQ(Items(w.WepEncryptCob), kWpaPair);
  EXPECT_EQ(w.WepEncryptCob->currentText(), "TKIP");

  Choose(w.WirelessModelCob, 1);
  Choose(w.AuthenticationTypeCob, 3);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "WEPAUTO");
  EXPECT_EQ(LayoutOf(w), "WEP");
  EXPECT_EQ(Items(w.WepEncryptCob), kWepPair);
  EXPECT_EQ(w.WepEncryptCob->currentText(), "WEP");

  Choose(w.AuthenticationTypeCob, 2);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "WPANONE");
  EXPECT_EQ(LayoutOf(w), "WPA");
  EXPECT_EQ(w.WepEncryptCob->currentText(), "TKIP");
}

TEST_F(WirelessPageTest, EncryptionChoiceUnderWpaAuthenticationKeepsTheWpaLayout) {
  TFernwick& w = window();
  Choose(w.AuthenticationTypeCob, 3);
  for (const int encryption : {1, 0}) {
    Choose(w.WepEncryptCob, encryption);
    EXPECT_EQ(LayoutOf(w), "WPA") << "encryption " << encryption;
    EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "WPAPSK");
  }
}

TEST_F(WirelessPageTest, SharedThenNoneInInfrastructureClearsTheKeyOneMarker) {
  TFernwick& w = window();
  Choose(w.AuthenticationTypeCob, 1);
  ASSERT_EQ(LayoutOf(w), "WEP");
  ASSERT_EQ(Markers(w), "1000");
  Choose(w.WepEncryptCob, 0);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "OPEN");
  EXPECT_EQ(w.WepEncryptCob->currentText(), "NONE");
  EXPECT_EQ(LayoutOf(w), "no key");
  EXPECT_FALSE(OwnEnabled(w.WAPpasswordEdit));
  EXPECT_EQ(Markers(w), "0000");
}

TEST_F(WirelessPageTest, SharedThenNoneInAdhocKeepsTheKeyOneMarker) {
  TFernwick& w = window();
  Choose(w.WirelessModelCob, 1);
  Choose(w.AuthenticationTypeCob, 1);
  ASSERT_EQ(Markers(w), "1000");
  Choose(w.WepEncryptCob, 0);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText(), "OPEN");
  EXPECT_EQ(LayoutOf(w), "no key");
  EXPECT_EQ(Markers(w), "1000");
}

TEST_F(WirelessPageTest, KeyThreeMarkerSurvivesAWpaRoundTripWhileKeyOneIsCleared) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  Click(w.WepPasswordRadio3);
  ASSERT_EQ(Markers(w), "0010");
  Choose(w.AuthenticationTypeCob, 3);
  EXPECT_EQ(LayoutOf(w), "WPA");
  EXPECT_EQ(Markers(w), "0010");
  Choose(w.AuthenticationTypeCob, 0);
  EXPECT_EQ(LayoutOf(w), "WEP");
  EXPECT_EQ(Markers(w), "0010");

  Click(w.WepPasswordRadio1);
  Choose(w.AuthenticationTypeCob, 4);
  EXPECT_EQ(Markers(w), "0000") << "a WPA authentication drops the key-1 marker";
  Choose(w.AuthenticationTypeCob, 2);
  EXPECT_EQ(Markers(w), "1000") << "and the WEP layout brings it back";
}

TEST_F(WirelessPageTest, DisableThenActiveWithWepRestoresTheWepGroup) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  Click(w.DisableRadio);
  EXPECT_EQ(LayoutOf(w), "off");
  Click(w.ActiveRadio);
  EXPECT_EQ(LayoutOf(w), "WEP");
  EXPECT_EQ(Markers(w), "1000");
}

TEST_F(WirelessPageTest, DisableThenActiveWithTkipAndWpapskRestoresThePassphrase) {
  TFernwick& w = window();
  Choose(w.AuthenticationTypeCob, 3);
  ASSERT_EQ(w.WepEncryptCob->currentText(), "TKIP");
  Click(w.DisableRadio);
  EXPECT_EQ(LayoutOf(w), "off");
  EXPECT_FALSE(w.WAPpasswordEdit->isEnabled());
  Click(w.ActiveRadio);
  EXPECT_EQ(LayoutOf(w), "WPA");
  EXPECT_TRUE(w.WAPpasswordEdit->isEnabled());
}

TEST_F(WirelessPageTest, DisableThenActiveWithNoneComesBackWithoutKeys) {
  TFernwick& w = window();
  Click(w.DisableRadio);
  Click(w.ActiveRadio);
  EXPECT_EQ(LayoutOf(w), "no key");
}

TEST_F(WirelessPageTest, DisabledGroupsLeaveTheirControlsOwnFlagsAndTheRestOfThePageUsable) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  Click(w.DisableRadio);
  for (QWidget* inside : std::initializer_list<QWidget*>{
           w.WirelessNetEdt, w.WirelessModelCob, w.AuthenticationTypeCob, w.WepEncryptCob,
           w.PasswordModeCob, w.WepPasswordEdt1, w.WepPasswordEdt4, w.WepPasswordRadio2}) {
    EXPECT_TRUE(OwnEnabled(inside)) << inside->objectName().toStdString();
    EXPECT_FALSE(inside->isEnabled()) << inside->objectName().toStdString();
  }
  for (QWidget* usable : std::initializer_list<QWidget*>{
           w.GroupBox2, w.AddressIP, w.PortEdtWire, w.TC_IPRadio, w.RS232Radio, w.TestConnectBtn,
           w.IPoptionsBitB, w.SetBitB, w.ActiveRadio})
    EXPECT_TRUE(usable->isEnabled()) << usable->objectName().toStdString();

  // The user cannot reach the disabled controls.
  Click(w.WepPasswordRadio2);
  EXPECT_EQ(Markers(w), "1000");
  QTest::keyClick(w.WepEncryptCob, Qt::Key_Up);
  EXPECT_EQ(w.WepEncryptCob->currentText(), "WEP");
}

TEST_F(WirelessPageTest, SelectionsMadeByCodeRunNoHandler) {
  TFernwick& w = window();
  w.WepEncryptCob->setCurrentIndex(1);
  w.WirelessModelCob->setCurrentIndex(1);
  w.AuthenticationTypeCob->setCurrentIndex(3);
  w.PasswordModeCob->setCurrentIndex(1);
  w.DisableRadio->setChecked(true);
  EXPECT_EQ(LayoutOf(w), "no key");
  EXPECT_EQ(Items(w.AuthenticationTypeCob), kInfrastructureList);
  EXPECT_EQ(Markers(w), "0000");
  EXPECT_EQ(Limits(w), (std::array<int, 4>{0, 0, 0, 0}));
  w.ActiveRadio->setChecked(true);
  Click(w.DisableRadio);
  w.ActiveRadio->setChecked(true);
  EXPECT_EQ(LayoutOf(w), "off");
}

TEST_F(WirelessPageTest, ArrowKeysOnAComboBoxRunItsHandlerLikeAPick) {
  TFernwick& w = window();
  w.WepEncryptCob->setFocus();
  QTest::keyClick(w.WepEncryptCob, Qt::Key_Down);
  EXPECT_EQ(w.WepEncryptCob->currentText(), "WEP");
  EXPECT_EQ(LayoutOf(w), "WEP");
  QTest::keyClick(w.WepEncryptCob, Qt::Key_Up);
  EXPECT_EQ(LayoutOf(w), "no key");
}

TEST_F(WirelessPageTest, FormatChoiceSetsTheLimitsOfAllFourKeys) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  const std::array<std::array<int, 4>, 4> expected = {
      {{10, 10, 10, 10}, {26, 26, 26, 26}, {5, 5, 5, 5}, {13, 13, 13, 13}}};
  for (const int format : {1, 2, 3, 0}) {
    Choose(w.PasswordModeCob, format);
    EXPECT_EQ(Limits(w), expected[static_cast<std::size_t>(format)]) << "format " << format;
  }
  Choose(w.PasswordModeCob, 2);
  QTest::keyClicks(w.WepPasswordEdt4, "abcdefgh");
  EXPECT_EQ(w.WepPasswordEdt4->text(), "abcde");
}

TEST_F(WirelessPageTest, LongerKeyStaysWhenTheFormatShrinksButCannotGrow) {
  TFernwick& w = window();
  Choose(w.WepEncryptCob, 1);
  Choose(w.PasswordModeCob, 1);
  const QString key26 = QStringLiteral("0123456789abcdef0123456789");
  QTest::keyClicks(w.WepPasswordEdt1, key26 + "X");
  ASSERT_EQ(w.WepPasswordEdt1->text(), key26) << "the 27th character is refused";

  Choose(w.PasswordModeCob, 0);
  EXPECT_EQ(w.WepPasswordEdt1->lengthLimit(), 10);
  EXPECT_EQ(w.WepPasswordEdt1->text(), key26);
  EXPECT_EQ(WepKeyFormat[1], NoKeyFormat) << "a format choice records nothing";
  EXPECT_EQ(WepKeyText[1], "");

  QTest::keyClicks(w.WepPasswordEdt1, "Y");
  EXPECT_EQ(w.WepPasswordEdt1->text(), key26);
  QTest::keyClick(w.WepPasswordEdt1, Qt::Key_Backspace);
  EXPECT_EQ(w.WepPasswordEdt1->text(), key26.left(25)) << "deleting still works";
  QTest::keyClicks(w.WepPasswordEdt1, "Z");
  EXPECT_EQ(w.WepPasswordEdt1->text(), key26.left(25));
  QTest::keyClick(w.WepPasswordEdt1, Qt::Key_Home);
  QTest::keyClicks(w.WepPasswordEdt1, "Z");
  EXPECT_EQ(w.WepPasswordEdt1->text(), key26.left(25)) << "nor at another place";
}

TEST_F(WirelessPageTest, NetworkNameTakesThirtyOneCharactersAndPassphraseSixtyFour) {
  TFernwick& w = window();
  QTest::keyClicks(w.WirelessNetEdt, QString(40, QLatin1Char('n')));
  EXPECT_EQ(w.WirelessNetEdt->text().size(), 31);
  Choose(w.AuthenticationTypeCob, 4);
  QTest::keyClicks(w.WAPpasswordEdit, QString(70, QLatin1Char('p')));
  EXPECT_EQ(w.WAPpasswordEdit->text().size(), 64);
}

}  // namespace
}  // namespace quillstone::testing
