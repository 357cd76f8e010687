#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quillstone::testing {

// A fresh directory for one test, removed afterwards. Path() ends with a separator, as the
// program directory does.
class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillstone-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  std::string Path() const { return root_.string() + "/"; }
  std::string File(const std::string& name) const { return (root_ / name).string(); }

  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(root_ / name); }

 private:
  std::filesystem::path root_;
};

}  // namespace quillstone::testing
