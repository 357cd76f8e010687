// Wireless page rules that only some paths reach: the ad-hoc encryption rule, on/off deciding
// by the texts shown, the limit of 10 after a mode or authentication pick, each road's own
// form checks, and the device IP dialog putting the focus back after its silent clear.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <string>

#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"
#include "app/WidgetState.h"
#include "tests/support/GuiTestSupport.h"
#include "wireless/IPConfig.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;

// Which key group the page offers: "WEP", "WPA", or "none".
std::string KeyGroup(const TFernwick& w) {
  const bool wep = OwnEnabled(w.WEPGroup);
  const bool wpa = OwnEnabled(w.WPAGroup);
  if (wep && !wpa) return "WEP";
  if (wpa && !wep) return "WPA";
  return wep ? "both" : "none";
}

// The user picks the item with this text.
void Pick(QComboBox* combo, const char* text) {
  const int index = combo->findText(QString::fromUtf8(text), Qt::MatchExactly);
  ASSERT_GE(index, 0) << text;
  Choose(combo, index);
}

class WirelessRuleGapsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
};

struct EncryptionCase {
  const char* name;
  const char* authentication;  // in ad-hoc mode
  const char* encryption;
  const char* keyGroup;
  const char* authenticationAfter;
};

class AdhocEncryptionTest : public WirelessRuleGapsTest,
                            public ::testing::WithParamInterface<EncryptionCase> {};

// Ad-hoc has its own WPA authentication, "WPANONE" at index 2, and "WEPAUTO" at index 3.
TEST_P(AdhocEncryptionTest, EncryptionPickFollowsTheAdhocAuthentications) {
  const EncryptionCase& c = GetParam();
  TFernwick& w = window();
  Pick(w.WirelessModelCob, "Ad-hoc Model");
  Pick(w.AuthenticationTypeCob, c.authentication);
  Pick(w.WepEncryptCob, c.encryption);
  EXPECT_EQ(KeyGroup(w), c.keyGroup);
  EXPECT_EQ(w.AuthenticationTypeCob->currentText().toStdString(), c.authenticationAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Adhoc, AdhocEncryptionTest,
    ::testing::Values(EncryptionCase{"WepautoNone", "WEPAUTO", "NONE", "none", "OPEN"},
                      EncryptionCase{"WepautoWep", "WEPAUTO", "WEP", "WEP", "WEPAUTO"},
                      EncryptionCase{"WpanoneTkip", "WPANONE", "TKIP", "WPA", "WPANONE"},
                      EncryptionCase{"WpanoneAes", "WPANONE", "AES", "WPA", "WPANONE"}),
    [](const auto& named) { return std::string(named.param.name); });

struct OnOffCase {
  const char* name;
  const char* mode;
  const char* authentication;
  const char* keyGroup;  // after "Disable" and "Active"
};

class ActiveByShownTextTest : public WirelessRuleGapsTest,
                              public ::testing::WithParamInterface<OnOffCase> {};

// The same item index means different authentications in the two modes.
TEST_P(ActiveByShownTextTest, ActiveBringsBackTheGroupOfTheShownAuthentication) {
  const OnOffCase& c = GetParam();
  TFernwick& w = window();
  Pick(w.WirelessModelCob, c.mode);
  Pick(w.AuthenticationTypeCob, c.authentication);
  Click(w.DisableRadio);
  ASSERT_EQ(KeyGroup(w), "none");
  Click(w.ActiveRadio);
  EXPECT_EQ(KeyGroup(w), c.keyGroup);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ActiveByShownTextTest,
    ::testing::Values(OnOffCase{"AdhocWpanone", "Ad-hoc Model", "WPANONE", "WPA"},
                      OnOffCase{"AdhocWepauto", "Ad-hoc Model", "WEPAUTO", "WEP"},
                      OnOffCase{"InfrastructureWpapsk", "Infrastructrue Model", "WPAPSK", "WPA"},
                      OnOffCase{"InfrastructureWepauto", "Infrastructrue Model", "WEPAUTO", "WEP"}),
    [](const auto& named) { return std::string(named.param.name); });

struct LimitCase {
  const char* name;
  std::function<void(TFernwick&)> pick;
};

class LimitTenTest : public WirelessRuleGapsTest,
                     public ::testing::WithParamInterface<LimitCase> {};

// From the start, where the key fields have no limit, the pick alone sets it.
TEST_P(LimitTenTest, PickWithTheFirstFormatLimitsTypingIntoEveryKeyToTen) {
  TFernwick& w = window();
  GetParam().pick(w);
  for (LimitedLineEdit* key :
       {w.WepPasswordEdt1, w.WepPasswordEdt2, w.WepPasswordEdt3, w.WepPasswordEdt4}) {
    key->setFocus();
    TypeKeys("0123456789ab");
    EXPECT_EQ(key->text(), QStringLiteral("0123456789")) << key->objectName().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Picks, LimitTenTest,
    ::testing::Values(
        LimitCase{"Mode", [](TFernwick& w) { Pick(w.WirelessModelCob, "Ad-hoc Model"); }},
        LimitCase{"Authentication", [](TFernwick& w) { Pick(w.AuthenticationTypeCob, "SHARED"); }}),
    [](const auto& named) { return std::string(named.param.name); });

// Each road checks its own fields only: the other road's may be empty.
TEST_F(WirelessRuleGapsTest, EachRoadLeavesTheOtherRoadsFieldsUnchecked) {
  TFernwick& w = window();
  boxes.confirmAnswer = false;
  w.WirelessNetEdt->setText(QStringLiteral("Lab"));
  w.AddressIP->setText(QStringLiteral("127.0.0.1"));
  for (QLineEdit* serial : {w.DeviceIdEdt, w.ComIDEdit, w.BaudRateEdit}) serial->clear();
  Click(w.SetBitB);

  Click(w.RS232Radio);
  for (QLineEdit* serial : {w.DeviceIdEdt, w.ComIDEdit, w.BaudRateEdit}) {
    serial->setText(QStringLiteral("1"));
  }
  w.WirelessNetEdt->clear();
  w.AddressIP->clear();
  w.PortEdtWire->clear();
  Click(w.SetBitB);

  EXPECT_THAT(boxes.Texts(), ElementsAre("Are you  sure to set ？", "Are you sure to set ？"));
  EXPECT_TRUE(platform.arp.owners.empty());
}

// The octet flag set by an earlier warning: leaving the address's first field with 127 (its
// third digit moves the cursor on) clears the flag without a box and keeps the user there.
TEST(IpDialogSilentClearTest, FocusGoesBackToTheAddress) {
  ResetProcessWideState();
  TempDirectory dir;
  FakeMessageBoxes boxes;
  TIPconfigFrm dialog(dir.Path(), boxes);
  ShowActive(dialog);
  Click(dialog.AssignIPRadio);
  OctetWarningActive = true;
  dialog.IPAddressEdt->field(0)->setFocus(Qt::TabFocusReason);
  dialog.IPAddressEdt->field(0)->selectAll();
  TypeKeys("127");

  EXPECT_FALSE(OctetWarningActive);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(QApplication::focusWidget(), dialog.IPAddressEdt->field(0));
}

}  // namespace
}  // namespace quillstone::testing
