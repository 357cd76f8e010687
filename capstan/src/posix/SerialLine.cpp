#include "capstan/src/posix/SerialLine.h"

#include <termios.h>

#include <array>

#include "capstan/src/SerialRates.h"
#include "capstan/src/posix/CustomBaud.h"

namespace quillstone::posixio {
namespace {

// The termios code of each of the standard rates, in their order.
constexpr std::array<speed_t, capstan::kStandardBaudRates.size()> kStandardRateCodes = {
    B50,      B75,      B110,     B134,     B150,     B200,     B300,     B600,
    B1200,    B1800,    B2400,    B4800,    B9600,    B19200,   B38400,   B57600,
    B115200,  B230400,  B460800,  B500000,  B576000,  B921600,  B1000000, B1152000,
    B1500000, B2000000, B2500000, B3000000, B3500000, B4000000,
};
// A rate added to the list without its code would leave B0 (hang up) in its place.
static_assert(kStandardRateCodes.back() != B0);

bool ApplyRaw(int fd, termios& settings) {
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

}  // namespace

bool MakeTerminalRaw(int fd) {
  termios settings{};
  return ::tcgetattr(fd, &settings) == 0 && ApplyRaw(fd, settings);
}

bool ConfigureRawSerial(int fd, std::int32_t baud) {
  if (baud <= 0) return false;
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return false;
  for (std::size_t index = 0; index < kStandardRateCodes.size(); ++index) {
    if (capstan::kStandardBaudRates[index] != baud) continue;
    const speed_t code = kStandardRateCodes[index];
    if (::cfsetispeed(&settings, code) != 0 || ::cfsetospeed(&settings, code) != 0) return false;
    if (!ApplyRaw(fd, settings)) return false;
    termios check{};
    return ::tcgetattr(fd, &check) == 0 && ::cfgetospeed(&check) == code;
  }
  return ApplyRaw(fd, settings) && SetCustomBaud(fd, baud);
}

}  // namespace quillstone::posixio
