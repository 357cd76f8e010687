#pragma once

#include <functional>
#include <thread>
#include <vector>

#include "cli/DeviceSession.h"

namespace quillstone::cli {

// Hears of every device as it starts and ends; calls come one at a time, from the workers.
struct FleetObserver {
  std::function<void(const DeviceJob&)> started;
  std::function<void(const DeviceReport&)> finished;
};

// How a run may be cut short, and how its workers start.
struct FleetControl {
  // Asked before each device: once true, no further device starts; those in flight finish.
  std::function<bool()> interrupted;
  // Starts one worker thread; throws std::system_error when the system cannot. std::thread by
  // default.
  std::function<std::thread(std::function<void()>)> startWorker;
};

inline constexpr const char* kNotStarted = "not started: the run was interrupted";

// Runs `work` for every job, up to `parallel` jobs at once. Jobs on the same serial line run
// one after another in list order, since the line is one bus; every other job has a line of
// its own. The reports come back in the order of the jobs. A worker that cannot start leaves
// its share to the others (the calling thread is always one); work that throws fails its own
// device only.
std::vector<DeviceReport> RunFleet(const std::vector<DeviceJob>& jobs, int parallel,
                                   const std::function<DeviceReport(const DeviceJob&)>& work,
                                   const FleetObserver& observer, const FleetControl& control = {});

}  // namespace quillstone::cli
