#include "devicelink/SerialPortPath.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "capstan/capstan.h"
#include "capstan/src/PortMap.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace quillstone {
namespace {

// The folder of the loaded communication library, named by one of its entry points: the
// mapping file lives there, not beside this program.
std::optional<std::filesystem::path> CapstanLibraryFolder() {
  const auto entryPoint = reinterpret_cast<const void*>(&HALYARD_INIT);
#ifdef _WIN32
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(entryPoint), &module)) {
    return std::nullopt;
  }
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::nullopt;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path();
#else
  Dl_info info{};
  if (::dladdr(entryPoint, &info) == 0 || info.dli_fname == nullptr) return std::nullopt;
  std::error_code error;
  const auto file = std::filesystem::canonical(info.dli_fname, error);
  if (error) return std::nullopt;
  return file.parent_path();
#endif
}

capstan::PortMap LoadLibraryPortMap() {
  std::filesystem::path file;
  const char* named = std::getenv(capstan::kPortMapVariable);
  if (named != nullptr && *named != '\0') {
    file = named;
  } else if (const auto folder = CapstanLibraryFolder()) {
    file = *folder / capstan::kPortMapFileName;
  } else {
    return {};
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return capstan::ParsePortMap(text.str());
}

}  // namespace

std::optional<std::string> SerialPortPath(const std::string& portName) {
  return capstan::ResolveSerialPort(portName, LoadLibraryPortMap());
}

}  // namespace quillstone
