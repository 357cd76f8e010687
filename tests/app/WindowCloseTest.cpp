// Closing the main window while a device action or the device IP dialog runs, as the program
// runs: inside the application's event loop, the close arriving from the window system while
// the apply lets the window's messages run, against the in-process simulator. The loop must
// end (the program exits), the device must get nothing after the close but the end of its
// configuration, and no box may be shown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/IpAddressEdit.h"
#include "devicelink/PunParam.h"
#include "devicesim/Link.h"
#include "devicesim/Simulator.h"
#include "tests/support/DeviceWindowHarness.h"
#include "tests/support/GuiTestSupport.h"
#include "wireless/IPConfig.h"

namespace quillstone::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

// The close the window manager asks for when the user presses the title bar's close button,
// queued for the window among its other messages.
void PressCloseButton(QWidget& window) {
  QCoreApplication::postEvent(window.windowHandle(), new QCloseEvent);
}

// Notes how many commands the device had seen when the window first got its close.
class CloseWatch : public QObject {
 public:
  CloseWatch(QWidget& window, const devsim::Simulator& device) : device_(device) {
    window.installEventFilter(this);
  }
  std::optional<std::size_t> commandsAtClose;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close && !commandsAtClose) {
      commandsAtClose = device_.Records().size();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const devsim::Simulator& device_;
};

class WindowCloseTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    DeviceHandle = 0;
    ShowWindow();
  }
  void TearDown() override { DeviceHandle = 0; }

  // A device holding other values than the wireless page's open-network list, reached over
  // TCP/IP on loopback or over RS232 on a pseudo-terminal.
  devsim::Simulator& StartDevice(bool serial) {
    devsim::SimulatorConfig config;
    config.defaults = StaleValuesFor(kOpenNetworkOptions);
    if (serial) {
      config.link = devsim::LinkKind::kPty;
      config.baud = 57600;
    }
    device.emplace(config);
    TFernwick& w = window();
    if (serial) {
      portMap.emplace("COM7", (*device)->PtyPath());
      Click(w.RS232Radio);
      w.ComIDEdit->setText(QStringLiteral("7"));
      w.BaudRateEdit->setText(QStringLiteral("57600"));
    } else {
      w.AddressIP->setText(QStringLiteral("127.0.0.1"));
      w.PortEdtWire->setText(QString::number((*device)->Port()));
    }
    return **device;
  }

  std::vector<std::uint16_t> CodesFrom(std::size_t first) const {
    std::vector<std::uint16_t> codes;
    const auto records = (*device)->Records();
    for (std::size_t i = first; i < records.size(); ++i) codes.push_back(records[i].code);
    return codes;
  }

  // Runs the application's event loop as main() does, with `user` acting once it runs; true
  // when the loop ended because the last window closed (the program would exit).
  bool RunProgram(const std::function<void()>& user) {
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, qApp, user);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    giveUp.start(30s);
    const int code = QApplication::exec();
    EXPECT_EQ(lastWindowClosed.count(), 1);
    return code == 0 && lastWindowClosed.count() == 1 && !window().isVisible();
  }

  std::optional<SimulatedDevice> device;
  std::optional<ScopedSerialPortMap> portMap;
};

class CloseDuringApplyTest : public WindowCloseTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseDuringApplyTest, EndsTheConfigurationWithoutRestartOrBoxAndTheProgramExits) {
  const bool serial = GetParam();
  if (serial && !devsim::PseudoTerminalsAvailable()) GTEST_SKIP() << "no pseudo-terminals";
  dir.Write("IPconfig.ini", "[Config]\r\nIPRadio=0\r\n");
  devsim::Simulator& sim = StartDevice(serial);
  TFernwick& w = window();
  w.WirelessNetEdt->setText(QStringLiteral("Office"));
  const CloseWatch watch(w, sim);
  // The user presses the close button while the third option is being written.
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (device->Requests(kWriteCode).size() < 3) return;
    user.stop();
    PressCloseButton(w);
  });
  boxes.onShow = [&](const FakeMessageBoxes::Box& box) {
    if (box.kind == FakeMessageBoxes::Kind::Confirm) user.start(0);
  };

  EXPECT_TRUE(RunProgram([&] { QTest::mouseClick(w.SetBitB, Qt::LeftButton); }));

  ASSERT_TRUE(watch.commandsAtClose.has_value());
  EXPECT_LT(device->Requests(kWriteCode).size(), kOpenNetworkOptions.size()) << "stopped midway";
  EXPECT_THAT(CodesFrom(*watch.commandsAtClose), ElementsAre(kEndCode, kEndCode, kEndSessionCode))
      << "after the close, only the end of the configuration";
  EXPECT_THAT(CodesFrom(0), Not(Contains(kRestartCode)));
  EXPECT_EQ(sim.Restarts(), 0u);
  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox(serial ? "Are you sure to set ？"
                                                               : "Are you  sure to set ？")));
  EXPECT_EQ(HALYARD_CLOSE(DeviceHandle), -1) << "the connection is closed";
  EXPECT_FALSE(w.DeviceActionRunning());
}

INSTANTIATE_TEST_SUITE_P(Roads, CloseDuringApplyTest, ::testing::Values(false, true),
                         [](const auto& testCase) { return testCase.param ? "RS232" : "TcpIp"; });

TEST_F(WindowCloseTest, ClosedWhileTheSuccessBoxIsOpenTheDeviceIsNotRestarted) {
  dir.Write("IPconfig.ini", "[Config]\r\nIPRadio=0\r\n");
  devsim::Simulator& sim = StartDevice(false);
  TFernwick& w = window();
  w.WirelessNetEdt->setText(QStringLiteral("Office"));
  std::optional<std::size_t> commandsAtBox;
  boxes.onShow = [&](const FakeMessageBoxes::Box& box) {
    if (box.kind == FakeMessageBoxes::Kind::Confirm) return;
    commandsAtBox = sim.Records().size();
    PressCloseButton(w);
  };

  EXPECT_TRUE(RunProgram([&] { QTest::mouseClick(w.SetBitB, Qt::LeftButton); }));

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox("Are you  sure to set ？"),
                          InformationBox("Set successfully! Device Will restart")));
  ASSERT_TRUE(commandsAtBox.has_value());
  EXPECT_THAT(CodesFrom(*commandsAtBox), ElementsAre(kEndCode, kEndCode, kEndSessionCode));
  EXPECT_EQ(sim.Restarts(), 0u);
  EXPECT_THAT(device->Held(kOpenNetworkOptions), ::testing::ElementsAreArray(kOpenNetworkOptions))
      << "every option was written";
}

// An ARP flush that stands for the user pressing the close button while the connection is
// being opened: the close waits among the window's messages until the action lets them run.
class CloseWhileConnecting : public ArpCacheFlusher {
 public:
  explicit CloseWhileConnecting(QWidget& window) : window_(window) {}
  void StartFlush(WindowId) override { PressCloseButton(window_); }

 private:
  QWidget& window_;
};

TEST_F(WindowCloseTest, TestConnectClosedWhileConnectingSendsNothingShowsNoBoxAndExits) {
  devsim::Simulator& sim = StartDevice(false);
  TFernwick& w = window();
  CloseWhileConnecting arp(w);
  LinkServices services = CurrentLinkServices();
  services.arp = &arp;
  const ScopedLinkServices closing(services);

  EXPECT_TRUE(RunProgram([&] { Click(w.TestConnectBtn); }));

  EXPECT_TRUE(device->WaitForHangUp());
  EXPECT_EQ(sim.Connections(), 1u);
  EXPECT_THAT(CodesFrom(0), ElementsAre()) << "never put into configuration mode";
  EXPECT_THAT(boxes.shown, ElementsAre());
  EXPECT_EQ(HALYARD_CLOSE(DeviceHandle), -1) << "the connection is closed";
}

TEST_F(WindowCloseTest, TestConnectClosedWhileItsBoxIsOpenEndsTheConfigurationAndExits) {
  devsim::Simulator& sim = StartDevice(false);
  TFernwick& w = window();
  boxes.onShow = [&](const FakeMessageBoxes::Box&) { PressCloseButton(w); };

  EXPECT_TRUE(RunProgram([&] { Click(w.TestConnectBtn); }));

  EXPECT_THAT(CodesFrom(0), ElementsAre(kBeginCode, kEndCode, kEndCode, kEndSessionCode));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"connect succeed"});
  EXPECT_TRUE(w.TestConnectBtn->property("pictureFile").toString().isEmpty())
      << "no result picture once the window is closing";
  EXPECT_TRUE(device->WaitForHangUp());
  EXPECT_EQ(sim.Restarts(), 0u);
}

// The device IP dialog is modal, so the window manager holds the main window's close button
// back while it is open; a close that reaches the window all the same (the end of the session)
// closes the dialog first, without saving, and then the window.
TEST_F(WindowCloseTest, ClosingTheWindowDuringTheDeviceIpDialogLeavesItUnsavedAndExits) {
  TFernwick& w = window();
  const auto dialogOpen = [] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<TIPconfigFrm*>(widget) && widget->isVisible()) return true;
    }
    return false;
  };
  struct HideWatch : QObject {
    std::function<void()> onHide;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Hide && onHide) onHide();
      return false;
    }
  } hideWatch;
  std::optional<bool> dialogOpenWhenWindowHid;
  hideWatch.onHide = [&] { dialogOpenWhenWindowHid = dialogOpen(); };
  w.installEventFilter(&hideWatch);

  EXPECT_TRUE(RunProgram([&] {
    QTimer::singleShot(0, qApp, [&] {
      auto* dialog = qobject_cast<TIPconfigFrm*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      Click(dialog->AssignIPRadio);
      dialog->IPAddressEdt->setText(QStringLiteral("10.1.2.3"));
      PressCloseButton(w);
    });
    Click(w.IPoptionsBitB);
  }));

  EXPECT_EQ(dialogOpenWhenWindowHid, std::optional<bool>(false)) << "the dialog went first";
  EXPECT_FALSE(dialogOpen());
  EXPECT_FALSE(dir.Exists("IPconfig.ini")) << "left without saving";
  EXPECT_THAT(boxes.shown, ElementsAre());
}

}  // namespace
}  // namespace quillstone::testing
