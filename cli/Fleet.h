#pragma once

#include <functional>
#include <vector>

#include "cli/DeviceSession.h"

namespace quillstone::cli {

// Hears of every device as it starts and ends; calls come one at a time, from the workers.
struct FleetObserver {
  std::function<void(const DeviceJob&)> started;
  std::function<void(const DeviceReport&)> finished;
};

// Runs `work` for every job, up to `parallel` jobs at once. Jobs on the same serial line run
// one after another in list order, since the line is one bus; every other job has a line of
// its own. The reports come back in the order of the jobs.
std::vector<DeviceReport> RunFleet(const std::vector<DeviceJob>& jobs, int parallel,
                                   const std::function<DeviceReport(const DeviceJob&)>& work,
                                   const FleetObserver& observer);

}  // namespace quillstone::cli
