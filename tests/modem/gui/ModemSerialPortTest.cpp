// The modem page's RS232 road names its port from the two fields beside "COMPort".
#include "ModemPageFixture.h"
#include "tests/support/AcceptingDevice.h"

namespace quillstone::testing {
namespace {

TEST_F(ModemPageTest, SerialPortNameIsThePrefixFieldFollowedByTheNumber) {
  AcceptingDevice device;
  Window().RadioButton2->click();
  Window().Edit1->setText(QStringLiteral("TTY"));
  Window().EDTCOMNum->setText(QStringLiteral("3"));
  Window().EDTNum->setText(QStringLiteral("*99#"));  // the dial number the modem type needs

  Window().Button2->click();

  ASSERT_FALSE(device.calls.empty()) << ::testing::PrintToString(boxes.Texts());
  EXPECT_EQ(device.calls.front(), "open TTY3");
}

}  // namespace
}  // namespace quillstone::testing
