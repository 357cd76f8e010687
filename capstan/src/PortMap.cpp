#include "capstan/src/PortMap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "capstan/src/Transport.h"

namespace quillstone::capstan {
namespace {

std::string_view Trim(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

PortMap ParsePortMap(std::string_view text) {
  PortMap map;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '[') {
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = Trim(line.substr(0, equals));
    const std::string_view path = Trim(line.substr(equals + 1));
    if (!name.empty() && !path.empty()) map[UpperAscii(name)] = std::string(path);
  }
  return map;
}

PortMap LoadPortMap(const std::optional<std::filesystem::path>& libraryFolder) {
  std::filesystem::path file;
  if (const char* named = std::getenv(kPortMapVariable); named != nullptr && *named != '\0') {
    file = named;
  } else if (libraryFolder) {
    file = *libraryFolder / kPortMapFileName;
  } else {
    return {};
  }
  const auto text = ReadFile(file);
  return text ? ParsePortMap(*text) : PortMap{};
}

PortMap LoadPortMap() {
  return LoadPortMap(LibraryDirectory());
}

std::optional<int> ComPortNumber(std::string_view name) {
  if (name.size() < 4 || UpperAscii(name.substr(0, 3)) != "COM") return std::nullopt;
  int number = 0;
  for (const char c : name.substr(3)) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
    if (number > 65535) return std::nullopt;
  }
  if (number < 1) return std::nullopt;
  return number;
}

std::optional<std::string> ResolveSerialPort(const std::string& name, const PortMap& map) {
  if (const auto mapped = map.find(UpperAscii(name)); mapped != map.end()) return mapped->second;
  return PlatformSerialPath(name);
}

}  // namespace quillstone::capstan
