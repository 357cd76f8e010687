#include "wireless/IpSettings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "WirelessTestSupport.h"
#include "platform/AppError.h"

namespace quillstone {
namespace {

using test_support::TempDirectory;

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
}

// Splits at CR LF; fails the test on a bare line end or an unterminated last line.
std::vector<std::string> CrLfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last line not ended by CR LF: " << bytes.substr(start);
      break;
    }
    const std::string line = bytes.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "bare line end in " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

class IpSettingsFile : public ::testing::Test {
 protected:
  TempDirectory directory;
  std::string programDirectory = directory.WithSeparator();
  std::string path = IpConfigPath(programDirectory);
};

TEST_F(IpSettingsFile, LivesBesideTheProgram) {
  EXPECT_EQ(path, programDirectory + "IPconfig.ini");
}

TEST_F(IpSettingsFile, MissingFileReadsEmpty) {
  const IpSettings settings = LoadIpSettings(programDirectory);
  EXPECT_EQ(settings.address, "");
  EXPECT_EQ(settings.mask, "");
  EXPECT_EQ(settings.gateway, "");
  EXPECT_EQ(settings.radio, "");
  EXPECT_FALSE(std::filesystem::exists(path));  // reading creates nothing
}

TEST_F(IpSettingsFile, FixedAddressIsWrittenInKeyOrder) {
  SaveIpSettings(programDirectory, "10.1.2.3", "255.0.0.0", "10.1.2.254");
  EXPECT_EQ(CrLfLines(ReadBytes(path)),
            (std::vector<std::string>{"[Config]", "IPaddress=10.1.2.3", "subMask=255.0.0.0",
                                      "GateWay=10.1.2.254", "IPRadio=1"}));
  const IpSettings settings = LoadIpSettings(programDirectory);
  EXPECT_EQ(settings.address, "10.1.2.3");
  EXPECT_EQ(settings.mask, "255.0.0.0");
  EXPECT_EQ(settings.gateway, "10.1.2.254");
  EXPECT_EQ(settings.radio, "1");
}

TEST_F(IpSettingsFile, DhcpWritesOnlyTheRadioKey) {
  SaveDhcpSettings(programDirectory);
  EXPECT_EQ(CrLfLines(ReadBytes(path)), (std::vector<std::string>{"[Config]", "IPRadio=0"}));
  EXPECT_EQ(LoadIpSettings(programDirectory).radio, "0");
}

TEST_F(IpSettingsFile, DhcpKeepsAnEarlierFixedAddress) {
  SaveIpSettings(programDirectory, "192.168.1.9", "255.255.255.0", "192.168.1.1");
  SaveDhcpSettings(programDirectory);
  EXPECT_EQ(CrLfLines(ReadBytes(path)),
            (std::vector<std::string>{"[Config]", "IPaddress=192.168.1.9", "subMask=255.255.255.0",
                                      "GateWay=192.168.1.1", "IPRadio=0"}));
  const IpSettings settings = LoadIpSettings(programDirectory);
  EXPECT_EQ(settings.radio, "0");
  EXPECT_EQ(settings.address, "192.168.1.9");
  EXPECT_EQ(settings.mask, "255.255.255.0");
  EXPECT_EQ(settings.gateway, "192.168.1.1");
}

TEST_F(IpSettingsFile, FixedAddressAfterDhcpReplacesTheRadioInPlace) {
  SaveDhcpSettings(programDirectory);
  SaveIpSettings(programDirectory, "172.16.0.5", "255.255.0.0", "172.16.0.1");
  EXPECT_EQ(CrLfLines(ReadBytes(path)),
            (std::vector<std::string>{"[Config]", "IPRadio=1", "IPaddress=172.16.0.5",
                                      "subMask=255.255.0.0", "GateWay=172.16.0.1"}));
}

TEST_F(IpSettingsFile, NamesMatchWithoutRegardToCase) {
  WriteBytes(path,
             "[config]\r\nipaddress=10.0.0.7\r\nSUBMASK=255.0.0.0\r\ngateway=10.0.0.1\r\n"
             "ipradio=1\r\n");
  const IpSettings settings = LoadIpSettings(programDirectory);
  EXPECT_EQ(settings.address, "10.0.0.7");
  EXPECT_EQ(settings.mask, "255.0.0.0");
  EXPECT_EQ(settings.gateway, "10.0.0.1");
  EXPECT_EQ(settings.radio, "1");
}

TEST_F(IpSettingsFile, OtherSectionsAreNotRead) {
  WriteBytes(path, "[Other]\r\nIPRadio=1\r\nIPaddress=10.0.0.7\r\n");
  const IpSettings settings = LoadIpSettings(programDirectory);
  EXPECT_EQ(settings.radio, "");
  EXPECT_EQ(settings.address, "");
}

TEST_F(IpSettingsFile, UnwritableFileRaisesTheApplicationError) {
  const std::string missingDirectory = programDirectory + "no-such-folder/";
  const std::string expected = "Unable to write to " + IpConfigPath(missingDirectory);
  try {
    SaveIpSettings(missingDirectory, "10.0.0.1", "255.0.0.0", "10.0.0.254");
    ADD_FAILURE() << "no error raised";
  } catch (const AppError& error) {
    EXPECT_EQ(error.what(), expected);
  }
  EXPECT_THROW(SaveDhcpSettings(missingDirectory), AppError);
}

// ---- Subnet mask by address class ----

struct MaskCase {
  const char* address;
  std::optional<std::string> mask;
};

// Readable case names in the test listing instead of the object's bytes.
void PrintTo(const MaskCase& c, std::ostream* out) {
  *out << '"' << c.address << "\" -> " << (c.mask ? *c.mask : std::string("unchanged"));
}

class SubnetMask : public ::testing::TestWithParam<MaskCase> {};

TEST_P(SubnetMask, FollowsTheAddressClass) {
  EXPECT_EQ(SubnetMaskForAddress(GetParam().address), GetParam().mask)
      << "address \"" << GetParam().address << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    ClassTable, SubnetMask,
    ::testing::Values(MaskCase{"10.1.2.3", "255.0.0.0"}, MaskCase{"1.0.0.0", "255.0.0.0"},
                      MaskCase{"126.255.255.255", "255.0.0.0"},
                      MaskCase{"172.16.0.5", "255.255.0.0"}, MaskCase{"128.0.0.1", "255.255.0.0"},
                      MaskCase{"191.1.1.1", "255.255.0.0"},
                      MaskCase{"192.168.1.9", "255.255.255.0"},
                      MaskCase{"223.1.1.1", "255.255.255.0"}, MaskCase{"224.1.1.1", std::nullopt},
                      MaskCase{"240.1.1.1", std::nullopt},
                      MaskCase{"255.255.255.255", std::nullopt}, MaskCase{"0.1.2.3", std::nullopt},
                      MaskCase{"0.0.0.0", std::nullopt}, MaskCase{"127.0.0.1", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(SurroundingBlanks, SubnetMask,
                         ::testing::Values(MaskCase{"  10.1.2.3  ", "255.0.0.0"},
                                           MaskCase{"\t192.168.1.9\r\n", "255.255.255.0"},
                                           MaskCase{" 172.16.0.5", "255.255.0.0"}));

INSTANTIATE_TEST_SUITE_P(
    UnreadableText, SubnetMask,
    ::testing::Values(MaskCase{"", std::nullopt}, MaskCase{"   ", std::nullopt},
                      MaskCase{".1.2.3", std::nullopt}, MaskCase{"abc.1.2.3", std::nullopt},
                      MaskCase{"1 0.1.2.3", std::nullopt}, MaskCase{"-10.1.2.3", std::nullopt},
                      MaskCase{"300.1.2.3", std::nullopt},
                      MaskCase{"99999999999999999999.1.2.3", std::nullopt}));

// ---- First-octet guard ----

class OctetGuard : public ::testing::Test {
 protected:
  void SetUp() override { test_support::ResetWirelessState(); }
  void TearDown() override { test_support::ResetWirelessState(); }
};

TEST_F(OctetGuard, RejectsBroadcastAndLoopbackInTheFirstField) {
  const struct {
    int value;
    const char* message;
  } rejections[] = {{255, "Do not set first octet of address to 255!"},
                    {127, "Do not set first octet of address to 127!"}};
  for (const auto& rejection : rejections) {
    SCOPED_TRACE(rejection.value);
    OctetWarningActive = false;
    const OctetVerdict verdict = JudgeFieldChange(0, rejection.value);
    EXPECT_EQ(verdict.action, OctetVerdict::Action::WarnAndReplace);
    EXPECT_EQ(verdict.value, 1);
    EXPECT_EQ(verdict.message, rejection.message);
    EXPECT_TRUE(OctetWarningActive);
  }
}

TEST_F(OctetGuard, SecondReportClearsTheFlagSilently) {
  ASSERT_EQ(JudgeFieldChange(0, 127).action, OctetVerdict::Action::WarnAndReplace);
  const OctetVerdict second = JudgeFieldChange(0, 255);
  EXPECT_EQ(second.action, OctetVerdict::Action::ClearSilently);
  EXPECT_EQ(second.value, 255);  // not replaced
  EXPECT_EQ(second.message, "");
  EXPECT_FALSE(OctetWarningActive);

  // With the flag clear again the next rejected value warns once more.
  EXPECT_EQ(JudgeFieldChange(0, 255).action, OctetVerdict::Action::WarnAndReplace);
}

TEST_F(OctetGuard, OtherFieldsAreAcceptedWithoutTouchingTheFlag) {
  for (bool flag : {false, true}) {
    OctetWarningActive = flag;
    for (int field : {1, 2, 3}) {
      const OctetVerdict verdict = JudgeFieldChange(field, 127);
      EXPECT_EQ(verdict.action, OctetVerdict::Action::Accept);
      EXPECT_EQ(verdict.value, 127);
      EXPECT_EQ(verdict.message, "");
      EXPECT_EQ(OctetWarningActive, flag);
    }
  }
}

TEST_F(OctetGuard, OrdinaryFirstOctetsAreAcceptedWithoutTouchingTheFlag) {
  for (bool flag : {false, true}) {
    OctetWarningActive = flag;
    for (int value : {0, 1, 126, 128, 192, 254}) {
      const OctetVerdict verdict = JudgeFieldChange(0, value);
      EXPECT_EQ(verdict.action, OctetVerdict::Action::Accept);
      EXPECT_EQ(verdict.value, value);
      EXPECT_EQ(OctetWarningActive, flag);
    }
  }
}

}  // namespace
}  // namespace quillstone
