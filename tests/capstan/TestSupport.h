#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "capstan/capstan.h"
#include "tests/support/Environment.h"
#include "tests/support/LoopbackPort.h"

// Helpers shared by the capstan and devicesim suites.
namespace quillstone::testing {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline milliseconds ElapsedSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// A fresh folder per test process and call, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::random_device entropy;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      path_ = base / ("quillstone-test-" + std::to_string(entropy()) + std::to_string(entropy()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A text file such as a log, read in text mode: its line ends read as "\n" on every system.
inline std::string ReadTextLines(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    SetEnvVariable(name, value);
  }
  ~ScopedEnv() {
    if (saved_) {
      SetEnvVariable(name_, *saved_);
    } else {
      UnsetEnvVariable(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

inline std::int32_t OpenTcp(std::uint16_t port) {
  return HALYARD_INIT(CAPSTAN_TRANSPORT_TCP, "127.0.0.1", port, 0, 0, 0);
}

// Closes a library handle when the test ends, whatever it asserted.
class HandleGuard {
 public:
  explicit HandleGuard(std::int32_t handle) : handle_(handle) {}
  ~HandleGuard() { HALYARD_CLOSE(handle_); }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  std::int32_t Get() const { return handle_; }

 private:
  std::int32_t handle_;
};

struct ReadResult {
  std::uint16_t reply = 0;
  std::string value;
};

// Reads an option the way the tool does: a zero-filled 200-byte buffer holding the name, the
// value taken from one byte past the name up to the first zero byte.
inline ReadResult ReadOption(std::int32_t handle, const std::string& name, int timeoutMs = 300) {
  std::vector<char> buffer(200, '\0');
  name.copy(buffer.data(), name.size());
  std::uint16_t command = CAPSTAN_CMD_READ_OPTION;
  HALYARD_SENDCMD(handle, &command, buffer.data(), static_cast<std::int32_t>(buffer.size()),
                  static_cast<std::int32_t>(name.size() + 1), timeoutMs);
  ReadResult result{command, {}};
  if (command == CAPSTAN_REPLY_OK) {
    const std::string reply(buffer.data() + name.size() + 1, buffer.size() - name.size() - 1);
    result.value = reply.substr(0, reply.find('\0'));
  }
  return result;
}

// Writes an option text the way the tool does: the text and a zero byte, capacity 100 even
// when the request is longer.
inline std::uint16_t WriteOption(std::int32_t handle, const std::string& text,
                                 int timeoutMs = 300) {
  std::vector<char> buffer(std::max<std::size_t>(100, text.size() + 1), '\0');
  text.copy(buffer.data(), text.size());
  std::uint16_t command = CAPSTAN_CMD_WRITE_OPTION;
  HALYARD_SENDCMD(handle, &command, buffer.data(), 100, static_cast<std::int32_t>(text.size() + 1),
                  timeoutMs);
  return command;
}

inline std::uint16_t SendBare(std::int32_t handle, std::uint16_t code, int timeoutMs = 300) {
  std::uint16_t command = code;
  HALYARD_SENDCMD(handle, &command, nullptr, 0, 0, timeoutMs);
  return command;
}

// The chained exclusive-or form of an option text with a chosen key, as a client sends it.
inline std::string ScrambleOption(std::string_view text, std::uint8_t key) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::string(text);
  std::string scrambled(text.substr(0, equals + 1));
  std::uint8_t chained = key;
  const auto appendPair = [&] {
    scrambled += kHex[chained >> 4];
    scrambled += kHex[chained & 0x0F];
  };
  appendPair();
  for (const char c : text.substr(equals + 1)) {
    chained = static_cast<std::uint8_t>(chained ^ static_cast<std::uint8_t>(c));
    appendPair();
  }
  return scrambled;
}

}  // namespace quillstone::testing
