#include "cli/Fleet.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace quillstone::cli {
namespace {

// Job indices per line, lines in the order they first appear.
std::vector<std::vector<std::size_t>> GroupByLine(const std::vector<DeviceJob>& jobs) {
  std::vector<std::vector<std::size_t>> groups;
  std::map<std::string, std::size_t> groupOfLine;
  for (std::size_t index = 0; index < jobs.size(); ++index) {
    const auto [found, added] = groupOfLine.emplace(jobs[index].address.LineKey(), groups.size());
    if (added) groups.emplace_back();
    groups[found->second].push_back(index);
  }
  return groups;
}

}  // namespace

std::vector<DeviceReport> RunFleet(const std::vector<DeviceJob>& jobs, int parallel,
                                   const std::function<DeviceReport(const DeviceJob&)>& work,
                                   const FleetObserver& observer, const FleetControl& control) {
  const std::vector<std::vector<std::size_t>> groups = GroupByLine(jobs);
  std::vector<DeviceReport> reports(jobs.size());
  std::atomic<std::size_t> nextGroup{0};
  std::mutex observerMutex;
  const auto tell = [&](const auto& listener, const auto& what) {
    if (!listener) return;
    std::lock_guard lock(observerMutex);
    listener(what);
  };
  const auto runOne = [&](std::size_t index) {
    DeviceReport& report = reports[index];
    if (control.interrupted && control.interrupted()) {
      report.device = jobs[index].address.Name();
      report.options = static_cast<int>(jobs[index].options.size());
      report.outcome = Outcome::kNotStarted;
      report.problem = kNotStarted;
      return;
    }
    tell(observer.started, jobs[index]);
    try {
      report = work(jobs[index]);
    } catch (const std::exception& error) {
      report = {};
      report.device = jobs[index].address.Name();
      report.options = static_cast<int>(jobs[index].options.size());
      report.problem = std::string("internal error: ") + error.what();
    }
    tell(observer.finished, report);
  };
  // The workers wait until all of them are there. Started one by one while the first ones
  // already work, the last of a thousand would start a second late: each new thread competes
  // with the connections of all the others for the processor (see bench/cli_fleet_bench.cpp).
  std::atomic<bool> gateOpen{false};
  const auto worker = [&] {
    gateOpen.wait(false);
    for (std::size_t group = nextGroup++; group < groups.size(); group = nextGroup++) {
      for (const std::size_t index : groups[group]) runOne(index);
    }
  };
  const std::size_t workers =
      std::min(groups.size(), static_cast<std::size_t>(std::max(parallel, 1)));
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (std::size_t i = 1; i < workers; ++i) {
    try {
      threads.push_back(control.startWorker ? control.startWorker(worker) : std::thread(worker));
    } catch (const std::system_error&) {
      break;  // the ones running share the rest
    }
  }
  gateOpen = true;
  gateOpen.notify_all();
  if (workers > 0) worker();  // the calling thread is one of them
  for (std::thread& thread : threads) thread.join();
  return reports;
}

}  // namespace quillstone::cli
