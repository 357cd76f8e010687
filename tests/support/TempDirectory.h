#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace quillstone::testing {

// A path from UTF-8 text and back: the program keeps its paths as UTF-8 on every system.
inline std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string Utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A fresh directory for one test, removed afterwards. Path() ends with the system's separator,
// as the program directory does; paths are UTF-8 text. `name` (UTF-8) is a folder inside
// the fresh one, e.g. a program folder with a non-ASCII name.
class TempDirectory {
 public:
  explicit TempDirectory(const std::string& name = {}) {
    std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && base_.empty(); ++attempt) {
      std::filesystem::path candidate =
          temp / ("quillstone-" + std::to_string(random() % 1000000000));
      // create_directory is false for a folder that exists already: someone else's.
      if (std::filesystem::create_directory(candidate)) base_ = candidate;
    }
    if (base_.empty()) throw std::runtime_error("no fresh temporary directory");
    root_ = name.empty() ? base_ : base_ / Utf8Path(name);
    std::filesystem::create_directories(root_);
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(base_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  std::string Path() const {
    return Utf8Text(root_) + static_cast<char>(std::filesystem::path::preferred_separator);
  }
  std::string File(const std::string& name) const { return Utf8Text(root_ / Utf8Path(name)); }

  void Write(const std::string& name, const std::string& content) const {
    std::filesystem::create_directories((root_ / Utf8Path(name)).parent_path());
    std::ofstream(root_ / Utf8Path(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(root_ / Utf8Path(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }
  bool Exists(const std::string& name) const {
    return std::filesystem::exists(root_ / Utf8Path(name));
  }

 private:
  std::filesystem::path base_;
  std::filesystem::path root_;
};

}  // namespace quillstone::testing
