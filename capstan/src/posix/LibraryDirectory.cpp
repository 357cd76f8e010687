#include <dlfcn.h>

#include <system_error>

#include "capstan/src/Transport.h"

namespace quillstone::capstan {

std::optional<std::filesystem::path> LibraryDirectory() {
  Dl_info info{};
  // Any address inside this library names the file it was loaded from.
  if (::dladdr(reinterpret_cast<const void*>(&LibraryDirectory), &info) == 0 ||
      info.dli_fname == nullptr) {
    return std::nullopt;
  }
  std::error_code error;
  const auto file = std::filesystem::absolute(info.dli_fname, error);
  if (error) return std::nullopt;
  return file.parent_path();
}

}  // namespace quillstone::capstan
