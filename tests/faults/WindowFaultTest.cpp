// The main window's wireless apply against misbehaving devices and an unwritable settings
// folder: the real window, the real library and the in-process simulator, with fakes for the
// ARP flush, the process table, the pauses and the message boxes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/FernwickMain.h"
#include "app/IpAddressEdit.h"
#include "devicelink/PunParam.h"
#include "platform/SettingsFolder.h"
#include "tests/faults/FaultHarness.h"
#include "tests/support/DeviceWindowHarness.h"
#include "tests/support/UnwritableFolder.h"
#include "tests/wireless/WirelessTestSupport.h"

namespace quillstone::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const char* const kQuestion = "Are you  sure to set ？";
const char* const kSuccess = "Set successfully! Device Will restart";
const char* const kFailure = "Set fali!";

// Disable and the device IP by DHCP: the shortest apply there is.
const OptionList kShortApply = {"WIFI=0", "wifidhcp=1"};

std::set<std::string> FileNames(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class WindowFaultTest : public ::testing::Test {
 protected:
  WindowFaultTest() {
    test_support::ResetWirelessState();
    DeviceHandle = 0;
    window_ = std::make_unique<TFernwick>(
        FernwickEnvironment{programDir.Path(), &boxes, programDir.Path()});
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  ~WindowFaultTest() override { DeviceHandle = 0; }

  TFernwick& Window() { return *window_; }

  // The window again, as the program starts it with the settings in `settingsDirectory`.
  void ReopenWindow(const std::string& settingsDirectory) {
    window_ = std::make_unique<TFernwick>(
        FernwickEnvironment{programDir.Path(), &boxes, settingsDirectory});
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  // A device on loopback holding other values than `options`, entered in the TCP/IP fields.
  SimulatedDevice& StartTcpDevice(const OptionList& options) {
    devsim::SimulatorConfig config;
    config.defaults = StaleValuesFor(options);
    device_.emplace(config);
    Window().AddressIP->setText(QStringLiteral("127.0.0.1"));
    Window().PortEdtWire->setText(QString::number((*device_)->Port()));
    return *device_;
  }
  std::string NetworkKeys() const { return "Port=" + std::to_string((*device_)->Port()); }

  void ChooseShortApply() {
    Window().DisableRadio->click();
    programDir.Write("IPconfig.ini", "[Config]\r\nIPRadio=0\r\n");
  }

  // Runs `action` while the confirmation question is open, before the connection opens.
  void OnConfirm(std::function<void()> action) {
    boxes.onShow = [action](const FakeMessageBoxes::Box& box) {
      if (box.kind == FakeMessageBoxes::Kind::Confirm) action();
    };
  }

  std::chrono::milliseconds ClickSet() {
    const Stopwatch watch;
    QTest::mouseClick(Window().SetBitB, Qt::LeftButton);
    return watch.Elapsed();
  }

  // The last apply closed its connection: the library no longer knows it.
  static bool ConnectionClosedByTool() {
    return DeviceHandle != 0 && HALYARD_CLOSE(DeviceHandle) == -1;
  }

  // A second apply against the well-behaved device: it succeeds and restarts the device.
  void ExpectTheNextApplySucceeds(SimulatedDevice& device, const OptionList& options) {
    boxes.shown.clear();
    boxes.onShow = nullptr;
    ClickSet();
    EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox(kQuestion), InformationBox(kSuccess)));
    EXPECT_THAT(device.Held(options), ElementsAreArray(options));
    EXPECT_TRUE(device->WaitForRestarts(1, 5s));
    EXPECT_EQ(device->Connections(), 2u);
  }

  TempDirectory programDir;
  FakeMessageBoxes boxes;
  FakeLinkPlatform platform;
  ScopedRecordingLibrary recorder;

 private:
  std::optional<SimulatedDevice> device_;
  std::unique_ptr<TFernwick> window_;
};

TEST_F(WindowFaultTest, CorruptAnswersGiveSetFaliAndEndTheBracketThenTheNextApplySucceeds) {
  SimulatedDevice& device = StartTcpDevice(kShortApply);
  ChooseShortApply();
  // The begin, both probes and every answer about "WIFI" come with a broken checksum.
  OnConfirm([&] { device->CorruptReplies(7); });

  const auto took = ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox(kQuestion), InformationBox(kFailure)));
  RecordingDeviceApi& library = recorder.library;
  EXPECT_THAT(library.Codes(),
              ElementsAreArray<std::uint16_t>({kBeginCode, kReadCode, kReadCode, kReadCode,
                                               kWriteCode, kReadCode, kWriteCode, kReadCode,
                                               kWriteCode, kEndCode, kEndCode, kEndSessionCode}));
  EXPECT_THAT(library.Replies(),
              ElementsAreArray<std::uint16_t>(
                  {4003, 4003, 4003, 4003, 4003, 4003, 4003, 2000, 2000, 2000, 2000, 2000}));
  EXPECT_EQ(device->Restarts(), 0u);
  EXPECT_TRUE(ConnectionClosedByTool());
  EXPECT_TRUE(device.WaitForHangUp());
  EXPECT_LT(took, 2s) << "an unreadable answer on TCP fails at once";
  EXPECT_FALSE(Window().DeviceActionRunning());

  ExpectTheNextApplySucceeds(device, kShortApply);
}

TEST_F(WindowFaultTest, ConnectionDroppedMidApplyGivesSetFaliAtOnceThenTheNextApplySucceeds) {
  SimulatedDevice& device = StartTcpDevice(kShortApply);
  ChooseShortApply();
  // The begin, both probes and the first option's read and write are answered, then the
  // device hangs up.
  OnConfirm([&] { device->CloseAfterCommands(5); });

  const auto took = ClickSet();

  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox(kQuestion), InformationBox(kFailure)));
  EXPECT_THAT(device.Codes(), ElementsAre(kBeginCode, kReadCode, kReadCode, kReadCode, kWriteCode));
  // The second option (both attempts) and the whole bracket were still tried, each failing at
  // once, and the connection was closed.
  RecordingDeviceApi& library = recorder.library;
  EXPECT_THAT(library.Codes(),
              ElementsAreArray<std::uint16_t>({kBeginCode, kReadCode, kReadCode, kReadCode,
                                               kWriteCode, kReadCode, kWriteCode, kReadCode,
                                               kWriteCode, kEndCode, kEndCode, kEndSessionCode}));
  for (std::size_t i = 5; i < library.commands.size(); ++i) {
    EXPECT_EQ(library.commands[i].reply, CAPSTAN_REPLY_TRANSPORT_ERROR) << i;
    EXPECT_LT(library.commands[i].took, 250ms) << i;
  }
  EXPECT_THAT(library.closed, ElementsAre(DeviceHandle));
  EXPECT_TRUE(ConnectionClosedByTool());
  EXPECT_LT(took, 2s);
  EXPECT_EQ(programDir.Read("options.ini"),
            OptionsIniBytes(kShortApply, {"locatIP=127.0.0.1", NetworkKeys()}));

  ExpectTheNextApplySucceeds(device, kShortApply);
}

TEST_F(WindowFaultTest, ClosingTheWindowMidBatchStopsTheApplyAndLeavesAWholeOptionsIni) {
  Window().WirelessNetEdt->setText(QStringLiteral("Office"));
  programDir.Write("IPconfig.ini", "[Config]\r\nIPRadio=0\r\n");
  SimulatedDevice& device = StartTcpDevice(kOpenNetworkOptions);
  const std::string wholeFile =
      OptionsIniBytes(kOpenNetworkOptions, {"locatIP=127.0.0.1", NetworkKeys()});
  // While the batch runs the user presses the device buttons again and closes the window: it
  // all arrives through the batch's own message processing, after the third option.
  std::optional<std::size_t> writesAtClose;
  std::string fileAtClose;
  bool closedAtOnce = true;
  QTimer userInput;
  QObject::connect(&userInput, &QTimer::timeout, [&] {
    const std::size_t writes = device.Requests(kWriteCode).size();
    if (writes < 3) return;
    userInput.stop();
    writesAtClose = writes;
    fileAtClose = programDir.Read("options.ini");
    QTest::mouseClick(Window().SetBitB, Qt::LeftButton);
    QTest::mouseClick(Window().TestConnectBtn, Qt::LeftButton);
    Window().Button2->click();  // the hidden modem page's apply
    closedAtOnce = Window().close();
  });
  OnConfirm([&] { userInput.start(0); });

  ClickSet();

  ASSERT_TRUE(writesAtClose.has_value()) << "the close came during the batch";
  EXPECT_LT(*writesAtClose, kOpenNetworkOptions.size());
  EXPECT_FALSE(closedAtOnce);
  EXPECT_EQ(fileAtClose, wholeFile);
  // The apply stopped there, without a box or a restart; the presses started nothing.
  EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox(kQuestion)));
  EXPECT_EQ(device.Requests(kWriteCode).size(), *writesAtClose);
  EXPECT_THAT(device.Codes(), ::testing::Not(::testing::Contains(kRestartCode)));
  const std::vector<std::uint16_t> codes = recorder.library.Codes();
  ASSERT_GE(codes.size(), 4u);
  EXPECT_THAT(std::vector<std::uint16_t>(codes.end() - 4, codes.end()),
              ElementsAre(kWriteCode, kEndCode, kEndCode, kEndSessionCode))
      << "the configuration ended right after the option in flight";
  EXPECT_EQ(device->Connections(), 1u);
  EXPECT_TRUE(ConnectionClosedByTool());
  EXPECT_EQ(programDir.Read("options.ini"), wholeFile);
  EXPECT_EQ(FileNames(programDir.Path()), (std::set<std::string>{"IPconfig.ini", "options.ini"}))
      << "no temporary file left behind";
  EXPECT_TRUE(Window().isVisible()) << "still open when the apply returns";
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(Window().isVisible()) << "closed once the apply has ended";
}

TEST_F(WindowFaultTest, SettingsFolderThatCannotBeWrittenGivesTheErrorAndLosesNothing) {
  SimulatedDevice& device = StartTcpDevice(kShortApply);
  ChooseShortApply();
  const std::string earlier = "WIFI=1\r\n[Config]\r\nDeviceID=3\r\nCOMPort=2\r\nBaudrate=9600\r\n";
  programDir.Write("options.ini", earlier);
  const std::string ipConfig = programDir.Read("IPconfig.ini");
  const std::set<std::string> names = FileNames(programDir.Path());
  {
    const UnwritableFolder folder(programDir.Path());
    ASSERT_TRUE(folder.RefusesToReplace("options.ini"));

    ClickSet();
  }

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kQuestion),
                          ErrorBox("Unable to write to " + programDir.File("options.ini") + ".")));
  // The settings are stored before any option goes out: nothing was written to the device,
  // but the bracket was ended and the connection closed.
  EXPECT_THAT(device.Codes(),
              ElementsAre(kBeginCode, kReadCode, kEndCode, kEndCode, kEndSessionCode));
  EXPECT_TRUE(ConnectionClosedByTool());
  EXPECT_TRUE(device.WaitForHangUp());
  EXPECT_EQ(programDir.Read("options.ini"), earlier);
  EXPECT_EQ(programDir.Read("IPconfig.ini"), ipConfig);
  EXPECT_EQ(FileNames(programDir.Path()), names);
  EXPECT_FALSE(Window().DeviceActionRunning());

  ExpectTheNextApplySucceeds(device, kShortApply);
  EXPECT_EQ(programDir.Read("options.ini"),
            OptionsIniBytes(kShortApply, {"locatIP=127.0.0.1", NetworkKeys()}));
}

// An installed program's folder: the settings go to the user's folder, seeded from what the
// administrator shipped, and the apply reaches the device.
TEST_F(WindowFaultTest, ReadOnlyProgramFolderKeepsTheSettingsInTheUserFolderAndTheApplyWorks) {
  const std::string shipped = "[Config]\r\nlocatIP=127.0.0.1\r\nPort=5005\r\nDeviceID=3\r\n";
  programDir.Write("options.ini", shipped);
  programDir.Write("IPconfig.ini", "[Config]\r\nIPRadio=0\r\n");
  const TempDirectory home;
  const std::string userDir = home.Path() + "quillstone" + home.Path().back();
  {
    const UnwritableFolder folder(programDir.Path());
    ReopenWindow(
        ChooseSettingsDirectory(programDir.Path(), userDir, {"options.ini", "IPconfig.ini"}));
    EXPECT_EQ(Window().PortEdtWire->text(), QStringLiteral("5005")) << "the shipped start values";
    EXPECT_EQ(Window().DeviceIdEdt->text(), QStringLiteral("3"));
    SimulatedDevice& device = StartTcpDevice(kShortApply);
    Window().DisableRadio->click();

    ClickSet();

    EXPECT_THAT(ShownBoxes(boxes), ElementsAre(ConfirmBox(kQuestion), InformationBox(kSuccess)));
    EXPECT_THAT(device.Held(kShortApply), ElementsAreArray(kShortApply));
    EXPECT_TRUE(device->WaitForRestarts(1, 5s));
  }
  EXPECT_EQ(home.Read("quillstone/options.ini"),
            OptionsIniBytes(kShortApply, {"locatIP=127.0.0.1", NetworkKeys()}));
  EXPECT_EQ(programDir.Read("options.ini"), shipped);
}

// Every message about a settings file names the file actually used.
TEST_F(WindowFaultTest, UnwritableUserFolderNamesTheUsersFileInTheError) {
  programDir.Write("IPconfig.ini", "[Config]\r\nIPRadio=0\r\n");
  const TempDirectory home;
  const std::string userDir = home.Path();
  home.Write("options.ini", "[Config]\r\n");
  {
    const UnwritableFolder program(programDir.Path());
    ReopenWindow(
        ChooseSettingsDirectory(programDir.Path(), userDir, {"options.ini", "IPconfig.ini"}));
  }
  SimulatedDevice& device = StartTcpDevice(kShortApply);
  Window().DisableRadio->click();
  {
    const UnwritableFolder user(userDir);
    ASSERT_TRUE(user.RefusesToReplace("options.ini"));
    ClickSet();
  }

  EXPECT_THAT(ShownBoxes(boxes),
              ElementsAre(ConfirmBox(kQuestion),
                          ErrorBox("Unable to write to " + userDir + "options.ini.")));
  EXPECT_EQ(device->Restarts(), 0u);
  EXPECT_EQ(home.Read("options.ini"), "[Config]\r\n");
}

}  // namespace
}  // namespace quillstone::testing
