// The library against a simulator running as a program of its own, usually one built for the
// other system (scripts/test-windows.sh runs both directions): the Windows library under Wine
// against the Linux simulator, and the Linux library against the Windows simulator. Where it
// runs is named by the environment; without it the tests are skipped.
//   QUILLSTONE_EXTERNAL_DEVICE_TCP     127.0.0.1:PORT (loopback only)
//   QUILLSTONE_EXTERNAL_DEVICE_SERIAL  a serial port name such as COM5
// The simulator is expected with its defaults: device number 1 and an empty "~OS", so "~"
// options travel scrambled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "capstan/capstan.h"
#include "tests/capstan/TestSupport.h"

namespace quillstone {
namespace {

using namespace quillstone::testing;

constexpr std::int32_t kDeviceNumber = 1;
constexpr std::int32_t kBaud = 115200;
constexpr int kTimeoutMs = 2000;

std::string Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr ? value : "";
}

// What the tool does on one connection, checked end to end.
void ConfigureThroughTheLibrary(std::int32_t handle) {
  EXPECT_EQ(SendBare(handle, CAPSTAN_CMD_BEGIN_CONFIG, kTimeoutMs), CAPSTAN_REPLY_OK);
  EXPECT_EQ(WriteOption(handle, "SSID=cross build", kTimeoutMs), CAPSTAN_REPLY_OK);
  const ReadResult ssid = ReadOption(handle, "SSID", kTimeoutMs);
  EXPECT_EQ(ssid.reply, CAPSTAN_REPLY_OK);
  EXPECT_EQ(ssid.value, "cross build");
  const std::string longValue(150, 'x');
  EXPECT_EQ(WriteOption(handle, "Long=" + longValue, kTimeoutMs), CAPSTAN_REPLY_OK);
  EXPECT_EQ(ReadOption(handle, "Long", kTimeoutMs).value, longValue);
  EXPECT_EQ(WriteOption(handle, ScrambleOption("~MODEM=1", 0x5A), kTimeoutMs), CAPSTAN_REPLY_OK);
  EXPECT_EQ(ReadOption(handle, "~MODEM", kTimeoutMs).value, "1") << "stored plain";
  EXPECT_EQ(ReadOption(handle, "NoSuchOption", kTimeoutMs).reply, CAPSTAN_REPLY_NOT_FOUND);
  EXPECT_EQ(SendBare(handle, CAPSTAN_CMD_END_CONFIG, kTimeoutMs), CAPSTAN_REPLY_OK);
  EXPECT_EQ(SendBare(handle, CAPSTAN_CMD_END_CONFIG, kTimeoutMs), CAPSTAN_REPLY_OK);
  EXPECT_EQ(SendBare(handle, CAPSTAN_CMD_END_SESSION, kTimeoutMs), CAPSTAN_REPLY_OK);
}

TEST(ExternalDevice, AnswersOverTcp) {
  const std::string where = Named("QUILLSTONE_EXTERNAL_DEVICE_TCP");
  if (where.empty()) GTEST_SKIP() << "QUILLSTONE_EXTERNAL_DEVICE_TCP names no simulator";
  const std::size_t colon = where.rfind(':');
  ASSERT_NE(colon, std::string::npos) << where;
  const std::string address = where.substr(0, colon);
  ASSERT_EQ(address.rfind("127.", 0), 0U) << "tests talk to loopback only: " << where;
  HandleGuard handle(HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, address.c_str(),
                                  std::stoi(where.substr(colon + 1)), 0, 0, 0));
  ASSERT_NE(handle.Get(), 0) << where;
  ConfigureThroughTheLibrary(handle.Get());
}

TEST(ExternalDevice, AnswersOverASerialLine) {
  const std::string port = Named("QUILLSTONE_EXTERNAL_DEVICE_SERIAL");
  if (port.empty()) GTEST_SKIP() << "QUILLSTONE_EXTERNAL_DEVICE_SERIAL names no serial line";
  {
    HandleGuard handle(
        HALYARD_INIT(CAPSTAN_TRANSPORT_SERIAL, port.c_str(), kDeviceNumber, kBaud, 0, 0));
    ASSERT_NE(handle.Get(), 0) << port;
    ConfigureThroughTheLibrary(handle.Get());
  }
  // With the line free again, another device number on it gets no answer.
  EXPECT_EQ(HALYARD_INIT(CAPSTAN_TRANSPORT_SERIAL, port.c_str(), kDeviceNumber + 1, kBaud, 0, 0),
            0);
}

}  // namespace
}  // namespace quillstone
