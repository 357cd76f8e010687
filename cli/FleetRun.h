#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <vector>

#include "cli/DeviceSession.h"
#include "cli/Fleet.h"

// A fleet command's devices worked through with what the user sees meanwhile: the opening's
// housekeeping once, then the progress (a line per device, or a live line on a terminal).
namespace quillstone::cli {

struct ProgressShown {
  std::ostream* out = nullptr;  // where the progress goes; null for none
  bool live = false;            // a terminal: one line redrawn in place
  bool quiet = false;
  std::chrono::milliseconds redrawEvery{500};
  // Called once, from a worker, when the progress could not be written (a closed stdout).
  std::function<void()> outputFailed;
};

// Runs `work` for every job (see RunFleet).
std::vector<DeviceReport> RunWithProgress(const std::vector<DeviceJob>& jobs, int parallel,
                                          const std::function<DeviceReport(const DeviceJob&)>& work,
                                          const ProgressShown& shown, const LinkServices& services,
                                          const ClockNow& now,
                                          const std::function<bool()>& interrupted);

}  // namespace quillstone::cli
