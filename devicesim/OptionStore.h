#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace quillstone::devsim {

using OptionMap = std::map<std::string, std::string>;

// The device's options, optionally kept in a state file: one "name=value" line per option,
// with backslash, line feed and carriage return escaped as \\, \n and \r.
class OptionStore {
 public:
  // An empty path keeps the options in memory only.
  explicit OptionStore(std::filesystem::path stateFile = {});

  // Reads the state file when it exists. Throws std::runtime_error when it cannot be read.
  void Load();

  std::optional<std::string> Get(const std::string& name) const;
  // Stores the value and, when it changed, rewrites the state file atomically (a temporary file
  // renamed over it). Throws std::runtime_error when the file cannot be written.
  void Set(const std::string& name, const std::string& value);
  // Forgets the option, and rewrites the state file when it was there.
  void Remove(const std::string& name);
  // In memory only; the file takes it with the next change.
  void Preset(const std::string& name, const std::string& value) { options_[name] = value; }
  const OptionMap& All() const { return options_; }

  static std::string Serialise(const OptionMap& options);
  static OptionMap Parse(const std::string& text);

 private:
  void Save(const OptionMap& options) const;

  std::filesystem::path stateFile_;
  OptionMap options_;
};

}  // namespace quillstone::devsim
