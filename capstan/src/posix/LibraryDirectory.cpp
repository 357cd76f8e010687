#include <dlfcn.h>

#include <system_error>

#include "capstan/src/Transport.h"

namespace quillstone::capstan {

std::optional<std::filesystem::path> ModuleDirectory(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return std::nullopt;
  std::error_code error;
  const auto file = std::filesystem::absolute(info.dli_fname, error);
  if (error) return std::nullopt;
  return file.parent_path();
}

std::optional<std::filesystem::path> LibraryDirectory() {
  // Any address inside this library names the file it was loaded from.
  return ModuleDirectory(reinterpret_cast<const void*>(&LibraryDirectory));
}

}  // namespace quillstone::capstan
