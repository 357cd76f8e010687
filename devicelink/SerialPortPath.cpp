#include "devicelink/SerialPortPath.h"

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

}  // namespace quillstone
