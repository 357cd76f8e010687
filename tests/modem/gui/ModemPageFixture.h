#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <optional>

#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "capstan/capstan.h"
#include "devicelink/PunParam.h"
#include "tests/support/DeviceWindowHarness.h"

namespace quillstone::testing {

// The main window on screen with its wireless page; the modem page exists behind its hidden
// tab and its controls are driven directly, as nothing on screen leads to them.
class ModemPageTest : public ::testing::Test {
 protected:
  ModemPageTest() {
    DeviceHandle = 0;
    window_ = std::make_unique<TFernwick>(
        FernwickEnvironment{programDir.Path(), &boxes, programDir.Path()});
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  TFernwick& Window() { return *window_; }

  // Shown on the page, though the page itself is never on screen.
  bool OnPage(const QWidget* widget) { return widget->isVisibleTo(Window().TabSheet1); }

  bool Focused(const QWidget* widget) {
    const QWidget* focus = Window().focusWidget();
    return focus != nullptr && (focus == widget || widget->isAncestorOf(focus));
  }

  TempDirectory programDir;
  FakeMessageBoxes boxes;
  FakeLinkPlatform platform;

 private:
  std::unique_ptr<TFernwick> window_;
};

}  // namespace quillstone::testing
