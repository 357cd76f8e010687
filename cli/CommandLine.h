#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/DeviceSession.h"
#include "devicelink/DeviceApi.h"

namespace quillstone::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDeviceFailed = 1;
inline constexpr int kExitUsage = 2;
// A second stop request ended the process at once (main.cpp).
inline constexpr int kExitStoppedAtOnce = 3;
// 128 + the signal's number, as shells report a program ended by it.
inline constexpr int kExitInterruptedBase = 128;
// The standard output was closed (| head): the run stopped as on SIGTERM. 128 + SIGPIPE.
inline constexpr int kExitOutputClosed = kExitInterruptedBase + 13;

// Everything a run reaches outside itself, so that tests run it in-process.
struct CliEnvironment {
  LinkServices services;
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  bool terminal = false;  // out is a terminal: live progress line
  ClockNow now = SteadyClock::now;
  // The number of the signal that asked the run to stop (2 SIGINT, 15 SIGTERM, 1 SIGHUP), 0
  // while none.
  std::function<int()> interruption;
  // An explanation when `jobs` connections at once cannot be open in this process (too few
  // file descriptors); empty when they fit.
  std::function<std::string(int jobs)> jobsDoNotFit;
  // How often the live line is redrawn while devices are busy.
  std::chrono::milliseconds redrawEvery{500};
};

// quillstone-cli read | apply | test; args: the arguments after the program name. Returns the
// exit code: 0 every device succeeded, 1 one failed, 2 usage error or bad input (nothing sent),
// 128 + the signal's number when a signal interrupted the run.
int RunCommandLine(const std::vector<std::string>& args, CliEnvironment& environment);

}  // namespace quillstone::cli
