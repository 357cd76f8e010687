#include "devicelink/SerialPortPath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "tests/platform/TempFolder.h"
#include "tests/support/Environment.h"

namespace quillstone {
namespace {

// A mapping file named by the library's variable, for as long as the test runs.
class PortMapFile {
 public:
  explicit PortMapFile(const std::string& lines) {
    std::ofstream(folder_.File("ports.ini"), std::ios::binary) << lines;
    testing::SetEnvVariable("CAPSTAN_PORT_MAP", folder_.File("ports.ini"));
  }
  ~PortMapFile() { testing::UnsetEnvVariable("CAPSTAN_PORT_MAP"); }
  PortMapFile(const PortMapFile&) = delete;
  PortMapFile& operator=(const PortMapFile&) = delete;

 private:
  testing::TempFolder folder_;
};

struct PortCase {
  const char* name;
  std::optional<std::string> path;
};

void PrintTo(const PortCase& c, std::ostream* os) {
  *os << c.name;
}

class SerialPortPathTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(SerialPortPathTest, MapsAsTheLibraryOpens) {
  const PortMapFile map("# bench\n[Ports]\nCOM7=/dev/pts/77\ncom8 = /dev/ttyUSB4\n");
  EXPECT_EQ(SerialPortPath(GetParam().name), GetParam().path);
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Names, SerialPortPathTest,
                         ::testing::Values(PortCase{"COM7", "/dev/pts/77"},
                                           PortCase{"com7", "/dev/pts/77"},
                                           PortCase{"COM8", "/dev/ttyUSB4"},
                                           PortCase{"COM1", "\\\\.\\COM1"},
                                           PortCase{"ttyS0", std::nullopt}));
#else
INSTANTIATE_TEST_SUITE_P(
    Names, SerialPortPathTest,
    ::testing::Values(PortCase{"COM7", "/dev/pts/77"}, PortCase{"com7", "/dev/pts/77"},
                      PortCase{"COM8", "/dev/ttyUSB4"}, PortCase{"COM1", "/dev/ttyS0"},
                      PortCase{"com12", "/dev/ttyS11"}, PortCase{"/dev/pts/9", "/dev/pts/9"},
                      PortCase{"COM0", std::nullopt}, PortCase{"ttyS0", std::nullopt},
                      PortCase{"", std::nullopt}));
#endif

}  // namespace
}  // namespace quillstone
