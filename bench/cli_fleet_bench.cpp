// quillstone-cli's apply of the sixteen-option list to a fleet of in-process simulated devices
// on loopback, with the real 100 ms pause after every option. The same run first times one
// device alone; the fleet's target is 1.1 x ceil(devices / jobs) x that time. Then the plan
// (apply --check) on 1000 devices: reads only, no pause, no restart.
//
//   build/dev/bin/cli_fleet_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <list>
#include <sstream>

#include "cli/CommandLine.h"
#include "devicesim/Simulator.h"
#include "tests/cli/CliTestSupport.h"

namespace {

using namespace quillstone;

using testing::kOpenNetworkOptions;

// Each simulator listens on one socket and the tool holds one per device in flight.
void RaiseFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Applies the list to `count` fresh devices with `jobs` at once (or only checks it); returns the
// wall time in ms, or a negative value when a device failed.
double ApplyToFleet(int count, int jobs, bool check = false) {
  devsim::SimulatorConfig config;
  config.keepRecords = false;
  for (const std::string& option : kOpenNetworkOptions) {
    config.defaults[option.substr(0, option.find('='))] = "stale";  // every option a write
  }
  std::list<devsim::Simulator> devices;
  testing::TempFolder folder;
  std::string csv = "device\n";
  for (int i = 0; i < count; ++i) {
    devices.emplace_back(config).Start();
    csv += "tcp:127.0.0.1:" + std::to_string(devices.back().Port()) + "\n";
  }
  std::ofstream(folder.File("site.csv")) << csv;
  std::string options;
  for (const std::string& option : kOpenNetworkOptions) options += option + "\r\n";
  std::ofstream(folder.File("options.ini")) << options;

  // No real ARP flush or process termination from a benchmark.
  testing::FakeArpCacheFlusher arp;
  testing::FakeProcessTable processes;
  std::ostringstream out;
  std::ostringstream err;
  cli::CliEnvironment environment;
  environment.services = CurrentLinkServices();  // the real library and the real pause
  environment.services.arp = &arp;
  environment.services.processes = &processes;
  environment.out = &out;
  environment.err = &err;
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> args = {"apply",
                                   "--options",
                                   folder.File("options.ini"),
                                   "--devices",
                                   folder.File("site.csv"),
                                   "--jobs",
                                   std::to_string(jobs)};
  if (check) args.push_back("--check");
  const int exitCode = cli::RunCommandLine(args, environment);
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (exitCode != 0) {
    // The failed devices' lines, so that a failing run says why.
    std::istringstream lines(out.str() + err.str());
    for (std::string line; std::getline(lines, line);) {
      if (line.find("failed") != std::string::npos) std::fprintf(stderr, "%s\n", line.c_str());
    }
    return -1;
  }
  return wallMs;
}

void BM_CliFleetApply(benchmark::State& state) {
  RaiseFileLimit();
  const int count = static_cast<int>(state.range(0));
  const int jobs = static_cast<int>(state.range(1));
  const double oneMs = ApplyToFleet(1, 1);
  double fleetMs = 0;
  for (auto _ : state) fleetMs = ApplyToFleet(count, jobs);
  if (oneMs < 0 || fleetMs < 0) {
    state.SkipWithError("a device failed");
    return;
  }
  const double waves = std::ceil(static_cast<double>(count) / jobs);
  const double targetMs = 1.1 * waves * oneMs;
  state.counters["one_device_ms"] = oneMs;
  state.counters["fleet_ms"] = fleetMs;
  state.counters["target_ms"] = targetMs;
  state.counters["fleet_per_target"] = fleetMs / targetMs;
  state.counters["speedup"] = count * oneMs / fleetMs;
  state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_CliFleetApply)
    ->Args({100, 32})
    ->Args({1000, 128})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_CliFleetCheck(benchmark::State& state) {
  RaiseFileLimit();
  const int count = static_cast<int>(state.range(0));
  const int jobs = static_cast<int>(state.range(1));
  const double oneMs = ApplyToFleet(1, 1, true);
  double fleetMs = 0;
  for (auto _ : state) fleetMs = ApplyToFleet(count, jobs, true);
  if (oneMs < 0 || fleetMs < 0) {
    state.SkipWithError("a device failed");
    return;
  }
  state.counters["one_device_ms"] = oneMs;
  state.counters["fleet_ms"] = fleetMs;
  state.counters["devices_per_s"] = count / (fleetMs / 1000);
  state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_CliFleetCheck)
    ->Args({1000, 128})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
