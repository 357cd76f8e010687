#include "capstan/src/posix/SerialLine.h"

#include <termios.h>

#include <array>
#include <utility>

#include "capstan/src/posix/CustomBaud.h"

namespace quillstone::posixio {
namespace {

constexpr std::array<std::pair<std::int32_t, speed_t>, 30> kStandardRates = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

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
  for (const auto& [rate, code] : kStandardRates) {
    if (rate != baud) continue;
    if (::cfsetispeed(&settings, code) != 0 || ::cfsetospeed(&settings, code) != 0) return false;
    if (!ApplyRaw(fd, settings)) return false;
    termios check{};
    return ::tcgetattr(fd, &check) == 0 && ::cfgetospeed(&check) == code;
  }
  return ApplyRaw(fd, settings) && SetCustomBaud(fd, baud);
}

}  // namespace quillstone::posixio
