#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace quillstone::testing {

// A fresh folder under the system's temporary folder, removed with everything in it at the end
// of the test; unique so that test processes running in parallel never share one.
class TempFolder {
 public:
  TempFolder() {
    std::random_device entropy;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("quillstone-test-" + std::to_string(entropy()) + std::to_string(entropy()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace quillstone::testing
