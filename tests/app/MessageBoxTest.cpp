// The real message boxes, offscreen and closed by a key as the user closes them, and the busy
// cursor of a device action, which is off while any box waits for the user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "app/IpAddressEdit.h"
#include "app/QtMessageBoxes.h"
#include "tests/support/AcceptingDevice.h"
#include "tests/support/GuiTestSupport.h"

namespace quillstone::testing {
namespace {

using ::testing::ElementsAre;

bool CursorBusy() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

struct SeenBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool cursorBusy = false;
  const QWidget* parent = nullptr;
  const QWindow* transientParent = nullptr;  // the window the system is told owns the box
};

// Runs `act`; each modal box it opens is looked at and then closed by the next of `keys`.
std::vector<SeenBox> AnswerBoxes(const std::vector<Qt::Key>& keys,
                                 const std::function<void()>& act) {
  std::vector<SeenBox> seen;
  QTimer poll;
  poll.setInterval(0);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || seen.size() >= keys.size()) return;
    seen.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                    CursorBusy(), box->parentWidget(), box->windowHandle()->transientParent()});
    QTest::keyClick(box, keys[seen.size() - 1]);
  });
  poll.start();
  act();
  return seen;
}

struct BoxCase {
  const char* name;
  std::function<bool(MessageBoxes&)> show;  // the box's answer; true for a box without one
  Qt::Key key;
  const char* caption;
  const char* text;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  bool answer;
};

// The boxes of a program whose main window is on screen but not active: another program is.
class RealBoxTest : public ::testing::TestWithParam<BoxCase> {
 protected:
  void SetUp() override {
    boxes.SetMainWindow(&mainWindow);
    ShowActive(mainWindow);
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
  }
  QWidget mainWindow;
  QtMessageBoxes boxes;
};

TEST_P(RealBoxTest, ShowsItsCaptionIconAndButtonsAndAnswersTheKey) {
  const BoxCase& c = GetParam();
  bool answer = !c.answer;
  const auto seen = AnswerBoxes({c.key}, [&] { answer = c.show(boxes); });
  ASSERT_EQ(seen.size(), 1u) << "one box, closed by the key";
  EXPECT_EQ(seen[0].caption.toStdString(), c.caption);
  EXPECT_EQ(seen[0].text.toStdString(), c.text);
  EXPECT_EQ(seen[0].icon, c.icon);
  EXPECT_EQ(seen[0].buttons, c.buttons);
  EXPECT_EQ(answer, c.answer);
}

TEST_P(RealBoxTest, BelongsToTheMainWindowThoughNoWindowIsActive) {
  const auto seen = AnswerBoxes({GetParam().key}, [&] { GetParam().show(boxes); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].parent, &mainWindow);
  EXPECT_EQ(seen[0].transientParent, mainWindow.windowHandle());
}

TEST_P(RealBoxTest, OfAnOpenDialogBelongsToThatDialog) {
  QDialog dialog(&mainWindow);
  std::vector<SeenBox> seen;
  QTimer::singleShot(0, &dialog, [&] {
    QApplication::setActiveWindow(nullptr);
    seen = AnswerBoxes({GetParam().key}, [&] { GetParam().show(boxes); });
    dialog.accept();
  });
  dialog.exec();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].parent, &dialog);
  EXPECT_EQ(seen[0].transientParent, dialog.windowHandle());
}

bool ShownOnly(const std::function<void()>& show) {
  show();
  return true;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RealBoxTest,
    ::testing::Values(
        BoxCase{
            "Information",
            [](MessageBoxes& b) { return ShownOnly([&] { b.Information("connect succeed"); }); },
            Qt::Key_Return, "Information", "connect succeed", QMessageBox::Information,
            QMessageBox::Ok, true},
        BoxCase{
            "WarningClosedByEscape",
            [](MessageBoxes& b) { return ShownOnly([&] { b.Warning("Set fali!", "notice"); }); },
            Qt::Key_Escape, "notice", "Set fali!", QMessageBox::Warning, QMessageBox::Ok, true},
        BoxCase{"ConfirmOkByEnter", [](MessageBoxes& b) { return b.Confirm("Are you sure?"); },
                Qt::Key_Return, "Confirm", "Are you sure?", QMessageBox::Question,
                QMessageBox::Ok | QMessageBox::Cancel, true},
        BoxCase{"ConfirmEscapeIsCancel", [](MessageBoxes& b) { return b.Confirm("Are you sure?"); },
                Qt::Key_Escape, "Confirm", "Are you sure?", QMessageBox::Question,
                QMessageBox::Ok | QMessageBox::Cancel, false},
        BoxCase{
            "Plain",
            [](MessageBoxes& b) { return ShownOnly([&] { b.Plain("Do not select any config"); }); },
            Qt::Key_Return, "Quillstone", "Do not select any config", QMessageBox::NoIcon,
            QMessageBox::Ok, true},
        BoxCase{"ErrorGetsItsFullStop",
                [](MessageBoxes& b) { return ShownOnly([&] { b.Error("Range check error"); }); },
                Qt::Key_Escape, "Quillstone", "Range check error.", QMessageBox::Critical,
                QMessageBox::Ok, true}),
    [](const auto& named) { return std::string(named.param.name); });

// ---- The busy cursor around the boxes of a device action ----

class BusyCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessWideState();
    window_ = std::make_unique<TFernwick>(FernwickEnvironment{dir_.Path(), &boxes_, dir_.Path()});
    ShowActive(*window_);
    window_->WirelessNetEdt->setText(QStringLiteral("Lab"));
    window_->AddressIP->setText(QStringLiteral("127.0.0.1"));
    device_.onCall = [this](const std::string&) { timeline_.push_back(Moment("device")); };
  }

  // Presses " Set" and answers its boxes with Enter; the moments where the cursor was looked
  // at, consecutive repeats merged.
  std::vector<std::string> PressSet(int boxCount) {
    const auto seen =
        AnswerBoxes(std::vector<Qt::Key>(static_cast<std::size_t>(boxCount), Qt::Key_Return),
                    [this] { Click(window_->SetBitB); });
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(boxCount));
    // Each box was seen before its key closed it, so its moment is recorded from the poll.
    for (const SeenBox& box : seen) texts_.push_back(box.text.toStdString());
    return Merged();
  }

  std::string Moment(const char* what) const {
    return std::string(what) + (CursorBusy() ? " busy" : " normal");
  }
  std::vector<std::string> Merged() const {
    std::vector<std::string> merged;
    for (const std::string& moment : timeline_) {
      if (merged.empty() || merged.back() != moment) merged.push_back(moment);
    }
    return merged;
  }

  TFernwick& Window() { return *window_; }
  std::vector<std::string> texts_;
  std::vector<std::string> timeline_;

 private:
  TempDirectory dir_;
  QtMessageBoxes realBoxes_;
  // The real boxes, with each one's moment recorded as it opens.
  class RecordingBoxes : public MessageBoxes {
   public:
    RecordingBoxes(MessageBoxes& real, std::vector<std::string>& timeline)
        : real_(real), timeline_(timeline) {}
    void Information(const std::string& t) override { Note(), real_.Information(t); }
    void Warning(const std::string& t, const std::string& c) override {
      Note(), real_.Warning(t, c);
    }
    bool Confirm(const std::string& t) override { return Note(), real_.Confirm(t); }
    void Plain(const std::string& t) override { Note(), real_.Plain(t); }
    void Error(const std::string& t) override { Note(), real_.Error(t); }

   private:
    void Note() { timeline_.push_back(CursorBusy() ? "box busy" : "box normal"); }
    MessageBoxes& real_;
    std::vector<std::string>& timeline_;
  };
  RecordingBoxes boxes_{realBoxes_, timeline_};
  FakeLinkPlatform platform_;
  AcceptingDevice device_;
  std::unique_ptr<TFernwick> window_;  // last: destroyed before the fakes it uses
};

TEST_F(BusyCursorTest, BoxesOfASuccessfulApplyShowTheNormalCursorAndTheWorkTheBusyOne) {
  EXPECT_THAT(PressSet(2), ElementsAre("box normal", "device busy", "box normal", "device busy"));
  EXPECT_THAT(texts_,
              ElementsAre("Are you  sure to set ？", "Set successfully! Device Will restart"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "nothing left behind";
}

TEST_F(BusyCursorTest, FormCheckWarningAndErrorBoxShowTheNormalCursor) {
  Window().PortEdtWire->clear();
  EXPECT_THAT(PressSet(1), ElementsAre("box normal"));
  Window().PortEdtWire->setText(QStringLiteral("70000"));
  timeline_.clear();
  EXPECT_THAT(PressSet(2), ElementsAre("box normal"));  // the question, then the error
  EXPECT_THAT(texts_, ElementsAre("PortEdtWire can not be null,you must input it ,pls!",
                                  "Are you  sure to set ？", "Range check error."));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace quillstone::testing
