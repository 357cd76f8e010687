#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Serial port names: "COMn" as the tool's panel builds them, mapped to device paths by an
// optional file (see capstan/README.md).
namespace quillstone::capstan {

inline constexpr const char* kPortMapFileName = "capstan-ports.ini";
inline constexpr const char* kPortMapVariable = "CAPSTAN_PORT_MAP";

// Port name in upper case -> device path.
using PortMap = std::map<std::string, std::string>;

// Lines "NAME=PATH"; blank lines, "#" and ";" comments and "[section]" lines are skipped, blanks
// around name and path trimmed.
PortMap ParsePortMap(std::string_view text);

// The file named by CAPSTAN_PORT_MAP when set, else capstan-ports.ini in `libraryFolder`.
// A missing or unreadable file, or no folder, is an empty map.
PortMap LoadPortMap(const std::optional<std::filesystem::path>& libraryFolder);

// The same, beside this library.
PortMap LoadPortMap();

// n of "COMn" (letter case ignored, n from 1); nothing for other names.
std::optional<int> ComPortNumber(std::string_view name);

// The mapping first, then the platform's own convention.
std::optional<std::string> ResolveSerialPort(const std::string& name, const PortMap& map);

}  // namespace quillstone::capstan
