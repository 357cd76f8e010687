#include "devicesim/Device.h"

#include <gtest/gtest.h>

#include "capstan/capstan.h"
#include "tests/capstan/TestSupport.h"

namespace quillstone::devsim {
namespace {

Device MakeDevice(std::string osValue = "", OptionMap defaults = {{"SSID", "office"}}) {
  return Device(OptionStore{}, defaults, std::move(osValue));
}

std::uint16_t Write(Device& device, const std::string& text) {
  return device.Handle(CAPSTAN_CMD_WRITE_OPTION, text).reply;
}

TEST(Device, ReadsAnOptionAsZeroTerminatedNameEqualsValue) {
  Device device = MakeDevice();
  const Answer answer = device.Handle(CAPSTAN_CMD_READ_OPTION, "SSID");
  EXPECT_EQ(answer.reply, CAPSTAN_REPLY_OK);
  EXPECT_EQ(answer.payload, std::string("SSID=office\0", 12));
}

TEST(Device, AnswersReadsOfUnknownOrEmptyNames) {
  Device device = MakeDevice();
  EXPECT_EQ(device.Handle(CAPSTAN_CMD_READ_OPTION, "ssid").reply, CAPSTAN_REPLY_NOT_FOUND);
  EXPECT_EQ(device.Handle(CAPSTAN_CMD_READ_OPTION, "").reply, CAPSTAN_REPLY_BAD_REQUEST);
}

TEST(Device, ReadsItsOsOption) {
  Device device = MakeDevice("V2");
  EXPECT_EQ(device.Handle(CAPSTAN_CMD_READ_OPTION, "~OS").payload, std::string("~OS=V2\0", 7));
}

TEST(Device, SplitsAWriteAtTheFirstEquals) {
  Device device = MakeDevice();
  EXPECT_EQ(Write(device, "Key1Str=a=b"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(device.Store().Get("Key1Str"), "a=b");
  EXPECT_EQ(Write(device, "NoEquals"), CAPSTAN_REPLY_BAD_REQUEST);
  EXPECT_EQ(Write(device, "=value"), CAPSTAN_REPLY_BAD_REQUEST);
}

TEST(Device, TakesOnlyOptionsThatCanBeReadBackInOneReply) {
  Device device = MakeDevice();
  // "name=value" and the zero byte fill a reply's 4096 payload bytes exactly.
  const std::string longest(4096 - std::string("Key1Str=").size() - 1, 'v');
  EXPECT_EQ(Write(device, "Key1Str=" + longest), CAPSTAN_REPLY_OK);
  EXPECT_EQ(device.Handle(CAPSTAN_CMD_READ_OPTION, "Key1Str").payload.size(), 4096u);
  // One byte more could never be answered: refused, the old value kept.
  EXPECT_EQ(Write(device, "Key1Str=" + longest + "v"), CAPSTAN_REPLY_BAD_REQUEST);
  EXPECT_EQ(device.Store().Get("Key1Str"), longest);
}

TEST(Device, RefusesToReadAStoredValueTooLongForOneReply) {
  Device device = MakeDevice("", {{"SSID", std::string(4096, 'v')}});
  const Answer answer = device.Handle(CAPSTAN_CMD_READ_OPTION, "SSID");
  EXPECT_EQ(answer.reply, CAPSTAN_REPLY_REFUSED);
  EXPECT_TRUE(answer.payload.empty());
}

TEST(Device, NeverLetsAWriteChangeItsOs) {
  Device device = MakeDevice("NONE");
  EXPECT_EQ(Write(device, "~OS=" + testing::ScrambleOption("~OS=V2", 0x11).substr(4)),
            CAPSTAN_REPLY_REFUSED);
  EXPECT_EQ(Write(device, "~OS=V2"), CAPSTAN_REPLY_REFUSED);
  EXPECT_EQ(device.Store().Get("~OS"), "NONE");
}

TEST(Device, RefusesANamedOptionTheGivenNumberOfTimes) {
  Device device = MakeDevice();
  device.RefuseOption("SSID", 2);
  EXPECT_EQ(Write(device, "SSID=lab"), CAPSTAN_REPLY_REFUSED);
  EXPECT_EQ(Write(device, "WIFI=1"), CAPSTAN_REPLY_OK) << "other options are not affected";
  EXPECT_EQ(Write(device, "SSID=lab"), CAPSTAN_REPLY_REFUSED);
  EXPECT_EQ(device.Store().Get("SSID"), "office");
  EXPECT_EQ(Write(device, "SSID=lab"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(device.Store().Get("SSID"), "lab");
}

TEST(Device, ExpectsScrambledTildeValuesOnlyForAnEmptyOrNoneOs) {
  EXPECT_TRUE(MakeDevice("").ExpectsScrambledValues());
  EXPECT_TRUE(MakeDevice("NONE").ExpectsScrambledValues());
  EXPECT_FALSE(MakeDevice("none").ExpectsScrambledValues());
  EXPECT_FALSE(MakeDevice("V2").ExpectsScrambledValues());
}

TEST(Device, RecoversScrambledTildeValuesAndRefusesMalformedOnes) {
  Device device = MakeDevice("NONE");
  EXPECT_EQ(Write(device, "~AuthServer=C0F1"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(device.Store().Get("~AuthServer"), "1");
  EXPECT_EQ(Write(device, "~MODEM=1"), CAPSTAN_REPLY_BAD_REQUEST);
  EXPECT_FALSE(device.Store().Get("~MODEM").has_value());
  EXPECT_EQ(Write(device, "SSID=C0F1"), CAPSTAN_REPLY_OK) << "only names with ~ are scrambled";
  EXPECT_EQ(device.Store().Get("SSID"), "C0F1");
}

TEST(Device, StoresTildeValuesPlainWhenItHasAnOs) {
  Device device = MakeDevice("V2");
  EXPECT_EQ(Write(device, "~MODEM=1"), CAPSTAN_REPLY_OK);
  EXPECT_EQ(device.Store().Get("~MODEM"), "1");
}

TEST(Device, AnswersTheSessionCommandsAndFlagsARestartOnce) {
  Device device = MakeDevice();
  for (const std::uint16_t code :
       {CAPSTAN_CMD_BEGIN_CONFIG, CAPSTAN_CMD_END_CONFIG, CAPSTAN_CMD_END_SESSION}) {
    EXPECT_EQ(device.Handle(code, "").reply, CAPSTAN_REPLY_OK);
  }
  EXPECT_FALSE(device.TakePendingRestart());
  EXPECT_EQ(device.Handle(CAPSTAN_CMD_RESTART, "").reply, CAPSTAN_REPLY_OK);
  EXPECT_TRUE(device.TakePendingRestart());
  EXPECT_FALSE(device.TakePendingRestart());
  EXPECT_EQ(device.Handle(9, "").reply, CAPSTAN_REPLY_UNKNOWN_COMMAND);
}

TEST(Device, IsInConfigurationModeFromTheBeginCommandToTheNextEndCommand) {
  Device device = MakeDevice();
  EXPECT_FALSE(device.Configuring());
  device.Handle(CAPSTAN_CMD_BEGIN_CONFIG, "");
  EXPECT_TRUE(device.Configuring());
  device.Handle(CAPSTAN_CMD_READ_OPTION, "SSID");
  device.Handle(CAPSTAN_CMD_END_SESSION, "");
  EXPECT_TRUE(device.Configuring()) << "only the end-configuration command ends it";
  device.Handle(CAPSTAN_CMD_END_CONFIG, "");
  EXPECT_FALSE(device.Configuring());
  EXPECT_FALSE(device.EndSession());
  device.Handle(CAPSTAN_CMD_BEGIN_CONFIG, "");
  EXPECT_TRUE(device.EndSession()) << "a session that ends in configuration mode says so";
  EXPECT_FALSE(device.Configuring());
}

TEST(Device, KeepsStoredOptionsOverDefaultsButNotOverItsOs) {
  OptionStore store;
  store.Preset("SSID", "stored");
  store.Preset("~OS", "stale");
  Device device(std::move(store), {{"SSID", "default"}, {"WIFI", "0"}}, "V2");
  EXPECT_EQ(device.Store().Get("SSID"), "stored");
  EXPECT_EQ(device.Store().Get("WIFI"), "0");
  EXPECT_EQ(device.Store().Get("~OS"), "V2");
}

}  // namespace
}  // namespace quillstone::devsim
