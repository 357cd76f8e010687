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
                                          const std::function<bool()>& interrupted) {
  std::vector<DeviceAddress> addresses;
  for (const DeviceJob& job : jobs) addresses.push_back(job.address);
  RunHousekeeping(addresses, services);
  std::ostream nowhere(nullptr);
  ProgressDisplay progress(shown.out ? *shown.out : nowhere, shown.live, shown.quiet, jobs.size(),
                           now);
  bool told = false;  // under the fleet's observer lock
  const auto sawFailure = [&] {
    if (told || !shown.out || !progress.Failed()) return;
    told = true;
    if (shown.outputFailed) shown.outputFailed();
  };
  std::vector<DeviceReport> reports;
  {
    const Ticker ticker(progress, shown.live, shown.redrawEvery);
    reports = RunFleet(jobs, parallel, work,
                       {.started =
                            [&](const DeviceJob&) {
                              progress.Started();
                              sawFailure();
                            },
                        .finished =
                            [&](const DeviceReport& report) {
                              progress.Finished(report);
                              sawFailure();
                            }},
                       {.interrupted = interrupted, .startWorker = {}});
  }
  progress.Close();
  return reports;
}

}  // namespace quillstone::cli
