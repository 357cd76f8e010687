// "Test Connect" end to end: the window, the device link and the real communication library
// against the in-process device simulator, on loopback and on a pseudo-terminal. The ARP flush
// and the process table are fakes; nothing leaves the machine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/IpAddressEdit.h"
#include "capstan/capstan.h"
#include "devicelink/PunParam.h"
#include "devicesim/Link.h"
#include "devicesim/Simulator.h"
#include "tests/support/Environment.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/LoopbackPort.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = FakeMessageBoxes::Kind;

// A loopback port that refuses connections.
class ClosedPort {
 public:
  QString Text() const { return QString::number(port_); }

 private:
  std::uint16_t port_ = ClosedLoopbackPort();
};

// Sets an environment variable for the object's lifetime.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    SetEnvVariable(name, value);
  }
  ~ScopedEnvironment() {
    if (saved_) {
      SetEnvVariable(name_, *saved_);
    } else {
      UnsetEnvVariable(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

class TestConnectTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    DeviceHandle = 0;
    InstallPicture("textconnetOK.bmp");
    InstallPicture("textconncet.bmp");
    ShowWindow();
  }
  void TearDown() override { DeviceHandle = 0; }

  // The shipped result pictures, beside the program as the build installs them.
  void InstallPicture(const char* name) {
    std::filesystem::create_directories(dir.File("bmp"));
    std::filesystem::copy_file(std::filesystem::path(QUILLSTONE_PICTURE_DIR) / name,
                               dir.File("bmp") + "/" + name);
  }
  std::string PicturePath(const char* name) const {
    return QDir::toNativeSeparators(QString::fromStdString(dir.Path() + "bmp/" + name))
        .toStdString();
  }
  // The picture file last loaded into the button; empty while it shows the form's picture.
  std::string ShownPicture() {
    return window().TestConnectBtn->property("pictureFile").toString().toStdString();
  }

  devsim::Simulator& StartSimulator(devsim::SimulatorConfig config = {}) {
    simulator.emplace(std::move(config));
    simulator->Start();
    return *simulator;
  }
  // A simulator on a loopback port, entered in the TCP/IP fields.
  devsim::Simulator& StartTcpDevice() {
    devsim::Simulator& device = StartSimulator();
    window().AddressIP->setText(QStringLiteral("127.0.0.1"));
    window().PortEdtWire->setText(QString::number(device.Port()));
    return device;
  }
  std::vector<std::uint16_t> DeviceCodes() const {
    std::vector<std::uint16_t> codes;
    for (const devsim::CommandRecord& record : simulator->Records()) codes.push_back(record.code);
    return codes;
  }
  // The library no longer knows the last connection opened: it has been closed.
  static bool LastConnectionClosed() { return HALYARD_CLOSE(DeviceHandle) == -1; }

  void ClickTestConnect() {
    Click(window().TestConnectBtn);
    EXPECT_FALSE(window().DeviceActionRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "busy cursor restored";
  }

  std::optional<devsim::Simulator> simulator;
};

TEST_F(TestConnectTest, ReachableDeviceOverTcpIpHoldsTheConfigurationWhileTheBoxIsOpen) {
  devsim::Simulator& device = StartTcpDevice();
  std::vector<std::uint16_t> codesWhileBoxOpen;
  bool actionRunningWhileBoxOpen = false;
  boxes.onShow = [&](const FakeMessageBoxes::Box&) {
    codesWhileBoxOpen = DeviceCodes();
    actionRunningWhileBoxOpen = window().DeviceActionRunning();
  };

  ClickTestConnect();

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, Kind::Information);
  EXPECT_EQ(boxes.shown[0].text, "connect succeed");
  EXPECT_THAT(codesWhileBoxOpen, ElementsAre(1003));
  EXPECT_TRUE(actionRunningWhileBoxOpen);
  EXPECT_THAT(DeviceCodes(), ElementsAre(1003, 1002, 1002, 1014));
  EXPECT_TRUE(LastConnectionClosed());
  EXPECT_EQ(device.Connections(), 1u);
  EXPECT_EQ(ShownPicture(), PicturePath("textconnetOK.bmp"));
  EXPECT_FALSE(window().TestConnectBtn->icon().isNull());
  EXPECT_THAT(platform.arp.owners, ElementsAre(static_cast<WindowId>(window().winId())));
  EXPECT_THAT(platform.processes.terminated, IsEmpty());
}

TEST_F(TestConnectTest, ReachableDeviceOverAPseudoTerminalBehavesTheSame) {
  if (!devsim::PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
  devsim::SimulatorConfig config;
  config.link = devsim::LinkKind::kPty;
  config.baud = 57600;
  config.deviceNumber = 1;
  devsim::Simulator& device = StartSimulator(config);
  // The library maps the panel's port name to the pseudo-terminal.
  dir.Write("ports.ini", "COM7=" + device.PtyPath() + "\n");
  ScopedEnvironment portMap("CAPSTAN_PORT_MAP", dir.File("ports.ini"));
  platform.processes.processes = {{41, "/opt/tools/SerWatch.DLL"}, {42, "editor"}};

  TFernwick& w = window();
  Click(w.RS232Radio);
  w.ComIDEdit->setText(QStringLiteral("7"));
  ASSERT_EQ(w.DeviceIdEdt->text(), "1");
  ASSERT_EQ(w.BaudRateEdit->text(), "57600");
  std::vector<std::uint16_t> codesWhileBoxOpen;
  boxes.onShow = [&](const FakeMessageBoxes::Box&) { codesWhileBoxOpen = DeviceCodes(); };

  ClickTestConnect();

  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"connect succeed"});
  EXPECT_THAT(codesWhileBoxOpen, ElementsAre(1003));
  EXPECT_THAT(DeviceCodes(), ElementsAre(1003, 1002, 1002, 1014));
  EXPECT_TRUE(LastConnectionClosed());
  EXPECT_EQ(ShownPicture(), PicturePath("textconnetOK.bmp"));
  EXPECT_THAT(platform.processes.terminated, ElementsAre(41));
  EXPECT_THAT(platform.arp.owners, IsEmpty());
}

TEST_F(TestConnectTest, RefusedLoopbackPortGivesTheFailureBoxAndPicture) {
  ClosedPort closed;
  window().AddressIP->setText(QStringLiteral("127.0.0.1"));
  window().PortEdtWire->setText(closed.Text());

  ClickTestConnect();

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, Kind::Information);
  EXPECT_EQ(boxes.shown[0].text, "can not connect with device");
  EXPECT_EQ(ShownPicture(), PicturePath("textconncet.bmp"));
  EXPECT_FALSE(window().TestConnectBtn->icon().isNull());
  EXPECT_EQ(DeviceHandle, 0);
  EXPECT_EQ(platform.arp.owners.size(), 1u);
}

TEST_F(TestConnectTest, FailureThenSuccessLeavesTheSuccessPicture) {
  {
    ClosedPort closed;
    window().AddressIP->setText(QStringLiteral("127.0.0.1"));
    window().PortEdtWire->setText(closed.Text());
    ClickTestConnect();
    ASSERT_EQ(ShownPicture(), PicturePath("textconncet.bmp"));
  }
  StartTcpDevice();
  ClickTestConnect();
  EXPECT_EQ(boxes.Texts(),
            (std::vector<std::string>{"can not connect with device", "connect succeed"}));
  EXPECT_EQ(ShownPicture(), PicturePath("textconnetOK.bmp"));
}

TEST_F(TestConnectTest, DeviceNumberOutOfRangeOnSerialEndsInTheErrorBoxAlone) {
  platform.processes.processes = {{7, "serwatch.dll"}};
  TFernwick& w = window();
  Click(w.RS232Radio);
  w.DeviceIdEdt->setText(QStringLiteral("70000"));
  DeviceHandle = 4321;  // any opening would overwrite it

  ClickTestConnect();

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].kind, Kind::Error);
  EXPECT_EQ(boxes.shown[0].text, "Range check error.");
  EXPECT_EQ(boxes.shown[0].caption, "Quillstone");
  EXPECT_EQ(ShownPicture(), "") << "the picture stays as it was";
  EXPECT_EQ(DeviceHandle, 4321) << "the library was not called";
  EXPECT_THAT(platform.processes.terminated, ElementsAre(7)) << "the housekeeping ran first";
}

TEST_F(TestConnectTest, MissingSuccessPictureShowsTheErrorAndStillEndsAndCloses) {
  std::filesystem::remove(dir.File("bmp/textconnetOK.bmp"));
  StartTcpDevice();

  ClickTestConnect();

  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, "connect succeed");
  EXPECT_EQ(boxes.shown[1].kind, Kind::Error);
  EXPECT_THAT(boxes.shown[1].text, ::testing::HasSubstr(PicturePath("textconnetOK.bmp")));
  EXPECT_THAT(DeviceCodes(), ElementsAre(1003, 1002, 1002, 1014));
  EXPECT_TRUE(LastConnectionClosed());
  EXPECT_EQ(ShownPicture(), "");
}

TEST_F(TestConnectTest, ButtonsClickedWhileTheTestRunsAreRefused) {
  devsim::Simulator& device = StartTcpDevice();
  TFernwick& w = window();
  bool dialogOpened = false;
  int boxesSeen = 0;
  boxes.onShow = [&](const FakeMessageBoxes::Box&) {
    if (++boxesSeen > 1) return;
    // A refused button shows nothing; should the device IP dialog open anyway, close it.
    QTimer::singleShot(0, &w, [&dialogOpened] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        dialogOpened = true;
        modal->close();
      }
    });
    Click(w.TestConnectBtn);
    Click(w.SetBitB);
    Click(w.IPoptionsBitB);
  };

  ClickTestConnect();

  EXPECT_EQ(boxesSeen, 1);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"connect succeed"});
  EXPECT_FALSE(dialogOpened);
  EXPECT_EQ(device.Connections(), 1u);
  EXPECT_THAT(DeviceCodes(), ElementsAre(1003, 1002, 1002, 1014));

  // Once it has finished, the buttons work again.
  boxes.onShow = nullptr;
  ClickTestConnect();
  EXPECT_EQ(device.Connections(), 2u);
  EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(TestConnectTest, ClosingTheWindowDuringTheTestEndsItAndThenCloses) {
  StartTcpDevice();
  TFernwick& w = window();
  bool closedAtOnce = true;
  boxes.onShow = [&](const FakeMessageBoxes::Box&) { closedAtOnce = w.close(); };

  ClickTestConnect();

  EXPECT_FALSE(closedAtOnce);
  EXPECT_THAT(DeviceCodes(), ElementsAre(1003, 1002, 1002, 1014));
  EXPECT_EQ(ShownPicture(), "") << "the test ended with the box";
  EXPECT_TRUE(w.isVisible()) << "still open when the handler returns";
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(w.isVisible()) << "closed once the test has finished";
}

TEST_F(TestConnectTest, ClosingTheWindowWhileIdleClosesAtOnce) {
  EXPECT_TRUE(window().close());
  EXPECT_FALSE(window().isVisible());
}

}  // namespace
}  // namespace quillstone::testing
