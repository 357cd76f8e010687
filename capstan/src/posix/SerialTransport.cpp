#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "capstan/src/PortMap.h"
#include "capstan/src/Transport.h"
#include "capstan/src/posix/FdTransport.h"
#include "capstan/src/posix/SerialLine.h"

namespace quillstone::capstan {

std::unique_ptr<Transport> OpenSerialTransport(const std::string& path, std::int32_t baud) {
  posixio::UniqueFd line(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!line.Valid() || !::isatty(line.Get())) return nullptr;
  if (!posixio::ConfigureRawSerial(line.Get(), baud)) return nullptr;
  ::tcflush(line.Get(), TCIOFLUSH);
  return std::make_unique<FdTransport>(std::move(line), posixio::FdKind::kTerminal);
}

std::optional<std::string> PlatformSerialPath(const std::string& name) {
  if (!name.empty() && name.front() == '/') return name;
  if (const auto number = ComPortNumber(name)) return "/dev/ttyS" + std::to_string(*number - 1);
  return std::nullopt;
}

}  // namespace quillstone::capstan
