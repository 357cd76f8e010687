#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "wireless/IpSettings.h"
#include "wireless/WirelessKeys.h"

namespace quillstone::test_support {

// The per-key values and the octet flag are process-wide; every test starts from the state
// at program start.
inline void ResetWirelessState() {
  WepKeyText.fill("");
  WepKeyFormat.fill(NoKeyFormat);
  WepKeyFlag.fill("0");
  OctetWarningActive = false;
}

// A fresh directory per test, removed with its content afterwards.
class TempDirectory {
 public:
  TempDirectory() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto candidate = std::filesystem::temp_directory_path() /
                             ("quillstone-wireless-" + std::to_string(random()));
      // create_directory is false when the name is taken, so parallel tests never share one.
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
        return;
      }
    }
    throw std::runtime_error("no unique temporary directory");
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  // With the trailing separator, as the program directory is passed around.
  std::string WithSeparator() const { return path_.string() + "/"; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace quillstone::test_support
