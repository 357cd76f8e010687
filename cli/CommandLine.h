#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/DeviceSession.h"
#include "devicelink/DeviceApi.h"

namespace quillstone::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDeviceFailed = 1;
inline constexpr int kExitUsage = 2;

// Everything a run reaches outside itself, so that tests run it in-process.
struct CliEnvironment {
  LinkServices services;
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  bool terminal = false;  // out is a terminal: live progress line
  ClockNow now = SteadyClock::now;
};

// quillstone-cli read | apply | test; args: the arguments after the program name. Returns the
// exit code: 0 every device succeeded, 1 one failed, 2 usage error or bad input (nothing sent).
int RunCommandLine(const std::vector<std::string>& args, CliEnvironment& environment);

}  // namespace quillstone::cli
