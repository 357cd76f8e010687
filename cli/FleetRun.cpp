#include "cli/FleetRun.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "cli/Report.h"

namespace quillstone::cli {
namespace {

// Redraws the live line on a timer while it lives.
class Ticker {
 public:
  Ticker(ProgressDisplay& progress, bool active, std::chrono::milliseconds every) {
    if (!active) return;
    try {
      thread_ = std::thread([this, &progress, every] {
        std::unique_lock lock(mutex_);
        while (!changed_.wait_for(lock, every, [this] { return over_; })) progress.Tick();
      });
    } catch (const std::system_error&) {
      // Without the timer the line still moves with every device.
    }
  }
  ~Ticker() {
    {
      std::lock_guard lock(mutex_);
      over_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  Ticker(const Ticker&) = delete;
  Ticker& operator=(const Ticker&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool over_ = false;
  std::thread thread_;
};

}  // namespace

std::vector<DeviceReport> RunWithProgress(const std::vector<DeviceJob>& jobs, int parallel,
                                          const std::function<DeviceReport(const DeviceJob&)>& work,
                                          const ProgressShown& shown, const LinkServices& services,
                                          const ClockNow& now,
                                          const std::function<bool()>& interrupted,
                                          const FleetObserver& also) {
  std::vector<DeviceAddress> addresses;
  for (const DeviceJob& job : jobs) addresses.push_back(job.address);
  RunHousekeeping(addresses, services);
  std::ostream nowhere(nullptr);
  ProgressDisplay progress(shown.out ? *shown.out : nowhere, shown.live, shown.quiet, jobs.size(),
                           now);
  std::vector<DeviceReport> reports;
  {
    const Ticker ticker(progress, shown.live, shown.redrawEvery);
    reports = RunFleet(jobs, parallel, work,
                       {.started =
                            [&](const DeviceJob& job) {
                              if (also.started) also.started(job);
                              progress.Started();
                            },
                        .finished =
                            [&](const DeviceReport& report) {
                              if (also.finished) also.finished(report);
                              progress.Finished(report);
                            }},
                       {.interrupted = interrupted, .startWorker = {}});
  }
  progress.Close();
  return reports;
}

}  // namespace quillstone::cli
