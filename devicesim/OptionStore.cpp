#include "devicesim/OptionStore.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/FileReplace.h"

namespace quillstone::devsim {
namespace {

std::string Escape(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string Unescape(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const char next = text[++i];
    plain += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return plain;
}

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path) {
  throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

}  // namespace

OptionStore::OptionStore(std::filesystem::path stateFile) : stateFile_(std::move(stateFile)) {}

void OptionStore::Load() {
  if (stateFile_.empty() || !std::filesystem::exists(stateFile_)) return;
  std::ifstream in(stateFile_, std::ios::binary);
  if (!in) Fail("cannot read", stateFile_);
  std::ostringstream text;
  text << in.rdbuf();
  options_ = Parse(text.str());
}

std::optional<std::string> OptionStore::Get(const std::string& name) const {
  const auto found = options_.find(name);
  if (found == options_.end()) return std::nullopt;
  return found->second;
}

void OptionStore::Set(const std::string& name, const std::string& value) {
  if (const auto found = options_.find(name); found != options_.end() && found->second == value) {
    return;
  }
  // Saved first, so a failed save leaves memory and file alike.
  OptionMap updated = options_;
  updated[name] = value;
  Save(updated);
  options_ = std::move(updated);
}

void OptionStore::Remove(const std::string& name) {
  if (!options_.contains(name)) return;
  OptionMap updated = options_;
  updated.erase(name);
  Save(updated);
  options_ = std::move(updated);
}

std::string OptionStore::Serialise(const OptionMap& options) {
  std::string text = "# quillstone-devsim option store\n";
  for (const auto& [name, value] : options) {
    // A name starting with '#' would read back as a comment: escape its first character.
    const std::string line = Escape(name) + "=" + Escape(value);
    text += (name.starts_with('#') ? "\\" : "") + line + "\n";
  }
  return text;
}

OptionMap OptionStore::Parse(const std::string& text) {
  OptionMap options;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line.front() == '#') continue;
    // Names never hold "=": a write splits at the first one.
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    options[Unescape(std::string_view(line).substr(0, equals))] =
        Unescape(std::string_view(line).substr(equals + 1));
  }
  return options;
}

void OptionStore::Save(const OptionMap& options) const {
  if (stateFile_.empty()) return;
  // Written beside the target and renamed over it, so a reader never sees half a file.
  if (!detail::ReplaceFileAtomically(stateFile_.string(), Serialise(options))) {
    throw std::runtime_error("cannot write " + stateFile_.string());
  }
}

}  // namespace quillstone::devsim
