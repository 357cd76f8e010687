#include "devicelink/SerialPortPath.h"

#include <cerrno>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>

#include "platform/win32/WideText.h"
#else
#include <sys/stat.h>
#endif

#include "capstan/capstan.h"
#include "capstan/src/PortMap.h"
#include "capstan/src/Transport.h"

namespace quillstone {

std::optional<std::string> SerialPortPath(const std::string& portName) {
  // The mapping file lives beside the loaded communication library, not beside this program:
  // one of the library's entry points names its file.
  const auto libraryFolder = capstan::ModuleDirectory(reinterpret_cast<const void*>(&HALYARD_INIT));
  return capstan::ResolveSerialPort(portName, capstan::LoadPortMap(libraryFolder));
}

namespace {

enum class LineState { kMayBeOne, kMissing, kNotALine };

#ifdef _WIN32
// The port's device name without the "\\.\" prefix, as the system's device table knows it.
LineState StateOf(const std::string& path) {
  constexpr std::string_view kDevicePrefix = "\\\\.\\";
  std::string name = path;
  if (std::string_view(name).starts_with(kDevicePrefix)) name.erase(0, kDevicePrefix.size());
  std::array<wchar_t, 512> target{};
  if (::QueryDosDeviceW(win32::WideFromUtf8(name).c_str(), target.data(),
                        static_cast<DWORD>(target.size())) != 0) {
    return LineState::kMayBeOne;
  }
  return ::GetLastError() == ERROR_FILE_NOT_FOUND ? LineState::kMissing : LineState::kMayBeOne;
}
#else
LineState StateOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? LineState::kMissing : LineState::kMayBeOne;
  }
  return S_ISCHR(status.st_mode) ? LineState::kMayBeOne : LineState::kNotALine;
}
#endif

}  // namespace

std::string SerialLineFault(const std::string& portName) {
  const auto path = SerialPortPath(portName);
  if (!path) return "the device library cannot open port " + portName;
  const std::string named =
      "serial port " + portName + (*path == portName ? std::string() : " (" + *path + ")");
  switch (StateOf(*path)) {
    case LineState::kMissing:
      return named + " does not exist";
    case LineState::kNotALine:
      return named + " is not a serial line";
    case LineState::kMayBeOne:
      break;
  }
  return {};
}

}  // namespace quillstone
