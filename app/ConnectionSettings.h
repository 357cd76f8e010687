#pragma once

#include <string>
#include <vector>

// "options.ini": the wireless connection panel's keys in section Config, and the option lines
// of the last wireless apply above them. Each function opens, reads or writes, and closes.
namespace quillstone {

inline constexpr const char* OptionsFileName = "options.ini";

// `programDirectory` ends with the path separator.
std::string OptionsIniPath(const std::string& programDirectory);

// Value of `key` in section Config, empty when the file, section or key is missing.
std::string ReadSetting(const std::string& programDirectory, const std::string& key);

// locatIP, then Port. Throws AppError("Unable to write to <path>").
void SaveNetworkSettings(const std::string& programDirectory, const std::string& address,
                         const std::string& port);

// DeviceID, then COMPort, then Baudrate. Throws like SaveNetworkSettings.
void SaveSerialSettings(const std::string& programDirectory, const std::string& deviceId,
                        const std::string& comPort, const std::string& baudRate);

// Replaces the whole file by the option lines, each ended by CR LF.
void StoreOptionLines(const std::string& programDirectory, const std::vector<std::string>& lines);

}  // namespace quillstone
