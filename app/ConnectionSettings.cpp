#include "app/ConnectionSettings.h"

#include "platform/IniFile.h"

namespace quillstone {

namespace {
constexpr const char* kSection = "Config";
}

std::string OptionsIniPath(const std::string& programDirectory) {
  return programDirectory + OptionsFileName;
}

std::string ReadSetting(const std::string& programDirectory, const std::string& key) {
  return ini::ReadProfileString(OptionsIniPath(programDirectory), kSection, key);
}

void SaveNetworkSettings(const std::string& programDirectory, const std::string& address,
                         const std::string& port) {
  const std::string path = OptionsIniPath(programDirectory);
  ini::WriteProfileString(path, kSection, "locatIP", address);
  ini::WriteProfileString(path, kSection, "Port", port);
}

void SaveSerialSettings(const std::string& programDirectory, const std::string& deviceId,
                        const std::string& comPort, const std::string& baudRate) {
  const std::string path = OptionsIniPath(programDirectory);
  ini::WriteProfileString(path, kSection, "DeviceID", deviceId);
  ini::WriteProfileString(path, kSection, "COMPort", comPort);
  // Written as "Baudrate", read at start-up as "BaudRate": key names match regardless of case.
  ini::WriteProfileString(path, kSection, "Baudrate", baudRate);
}

void StoreOptionLines(const std::string& programDirectory, const std::vector<std::string>& lines) {
  ini::WriteLines(OptionsIniPath(programDirectory), lines);
}

}  // namespace quillstone
