// Kept apart from the termios users: the kernel's termios2 header clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdlib>

#include "capstan/src/posix/CustomBaud.h"

namespace quillstone::posixio {

bool SetCustomBaud(int fd, std::int32_t baud) {
  struct termios2 settings {};
  if (::ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = static_cast<speed_t>(baud);
  settings.c_ospeed = static_cast<speed_t>(baud);
  if (::ioctl(fd, TCSETS2, &settings) != 0) return false;
  struct termios2 check {};
  if (::ioctl(fd, TCGETS2, &check) != 0) return false;
  const long difference = std::labs(static_cast<long>(check.c_ospeed) - baud);
  return difference * 100 <= static_cast<long>(baud) * 3;
}

}  // namespace quillstone::posixio
