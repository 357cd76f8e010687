#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <optional>
#include <string>

#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "app/LimitedLineEdit.h"
#include "capstan/capstan.h"
#include "devicelink/PunParam.h"
#include "tests/support/DeviceWindowHarness.h"
#include "tests/wireless/WirelessTestSupport.h"
#include "wireless/WirelessKeys.h"

namespace quillstone::testing {

// The main window on screen (offscreen platform) with its program folder, fake boxes and fake
// platform services; a device simulator is started by the tests that reach one.
class WirelessApplyTest : public ::testing::Test {
 protected:
  WirelessApplyTest() {
    test_support::ResetWirelessState();
    DeviceHandle = 0;
    window_ = std::make_unique<TFernwick>(
        FernwickEnvironment{programDir.Path(), &boxes, programDir.Path()});
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  TFernwick& Window() { return *window_; }

  // A device on loopback that the wireless panel points at.
  SimulatedDevice& StartTcpDevice(devsim::SimulatorConfig config = {}) {
    config.link = devsim::LinkKind::kTcp;
    device_.emplace(std::move(config));
    Window().AddressIP->setText(QStringLiteral("127.0.0.1"));
    Window().PortEdtWire->setText(QString::number((*device_)->Port()));
    return *device_;
  }
  SimulatedDevice& Device() { return *device_; }

  void ClickSet() { QTest::mouseClick(Window().SetBitB, Qt::LeftButton); }

  void WriteIpConfig(const std::string& content) { programDir.Write("IPconfig.ini", content); }
  void UseDhcpForTheDevice() { WriteIpConfig("[Config]\r\nIPRadio=0\r\n"); }

  // The WEP block with the given key format picked by the user.
  void ChooseWep(const QString& format) {
    PickItem(Window().WepEncryptCob, QStringLiteral("WEP"));
    PickItem(Window().PasswordModeCob, format);
  }
  // The user types `text` into key field `key` (1..4) and leaves it.
  void EnterKey(int key, const QString& text) {
    KeyEdit(key)->setText(text);
    switch (key) {
      case 1:
        Window().WepPasswordEdt1Exit();
        break;
      case 2:
        Window().WepPasswordEdt2Exit();
        break;
      case 3:
        Window().WepPasswordEdt3Exit();
        break;
      default:
        Window().WepPasswordEdt4Exit();
        break;
    }
  }
  LimitedLineEdit* KeyEdit(int key) {
    const std::array<LimitedLineEdit*, 4> edits = {
        Window().WepPasswordEdt1, Window().WepPasswordEdt2, Window().WepPasswordEdt3,
        Window().WepPasswordEdt4};
    return edits.at(static_cast<std::size_t>(key - 1));
  }

  // The control that holds the window's focus is `widget` or one of its parts.
  bool Focused(const QWidget* widget) {
    const QWidget* focus = Window().focusWidget();
    return focus != nullptr && (focus == widget || widget->isAncestorOf(focus));
  }

  // What every way out of the apply leaves behind.
  void ExpectClosingWorkDone() {
    EXPECT_EQ(Window().ShortKeyList, nullptr);
    for (int key = 1; key <= KeyCount; ++key) {
      EXPECT_EQ(WepKeyFormat[static_cast<std::size_t>(key)], NoKeyFormat) << "key " << key;
    }
    EXPECT_FALSE(Window().DeviceActionRunning());
  }

  // Nothing was opened, so nothing can have reached a device, and no file was written.
  void ExpectNothingOpened() {
    EXPECT_THAT(platform.arp.owners, ::testing::IsEmpty());
    EXPECT_THAT(platform.processes.terminated, ::testing::IsEmpty());
    EXPECT_EQ(DeviceHandle, 0);
    EXPECT_FALSE(programDir.Exists("options.ini"));
  }

  // The tool opened a connection and has closed it again: the library no longer knows it.
  static void ExpectConnectionClosedByTool() {
    ASSERT_NE(DeviceHandle, 0);
    EXPECT_EQ(HALYARD_CLOSE(DeviceHandle), -1);
  }

  TempDirectory programDir;
  FakeMessageBoxes boxes;
  FakeLinkPlatform platform;

 private:
  std::optional<SimulatedDevice> device_;
  std::unique_ptr<TFernwick> window_;
};

}  // namespace quillstone::testing
