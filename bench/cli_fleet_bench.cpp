// quillstone-cli's apply of the sixteen-option list to a fleet of in-process simulated devices
// on loopback, with the real 100 ms pause after every option (the device relies on it, and it
// is the floor: sixteen options take at least 1.6 s). Each benchmark first times one device
// alone in the same run and sets its target from that:
//   - apply, jobs below the fleet: 1.1 x ceil(devices / jobs) x one device;
//   - apply, every device at once (1000 at --jobs 1000): 1.5 x one device;
//   - the plan (apply --check: reads only, no pause, no restart) of 1000 devices: 0.2 of an
//     apply of the same 1000 at the same --jobs, timed in the same run.
//
// Where the time goes (perf, strace -f, the reports' per-device start times; release build, 2
// shared cores): with 1000 workers started one by one, the last one started about 1 s after
// the first, as every new thread had to compete with the connections of those already working;
// the workers now start together (cli/Fleet.cpp). What is left is the commands themselves:
// about 19 round trips per device for the plan, 35 to 67 for the apply, each a wake-up of a
// tool thread and of a device thread and mostly time in the kernel's loopback TCP.
//
// What is the simulator's, not the tool's: the devices are 1000 in-process simulators, one
// thread and one listening socket each, on the same cores as the tool. Every command wakes a
// device thread, which answers it; that CPU (counted in process_cpu_ms, the tool's and the
// simulators' together) is taken from the tool, unlike a real site where each device has its
// own processor. Setting up the simulators is outside the timed part.
//
//   build/release/bin/cli_fleet_bench --benchmark_counters_tabular=true --benchmark_repetitions=3
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <list>
#include <sstream>
#include <thread>

#include "cli/CommandLine.h"
#include "devicesim/Simulator.h"
#include "tests/cli/CliTestSupport.h"

namespace {

using namespace quillstone;

using testing::kOpenNetworkOptions;

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// CPU time of the whole process: the tool and the in-process simulators together.
double ProcessCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1000 + static_cast<double>(time.tv_usec) / 1000;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct FleetRun {
  double wallMs = -1;  // negative when a device failed
  double cpuMs = 0;
};

// Applies the list to `count` fresh devices with `jobs` at once (or only checks it).
FleetRun ApplyToFleet(int count, int jobs, bool check = false) {
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
  std::vector<std::string> args = {"apply",
                                   "--options",
                                   folder.File("options.ini"),
                                   "--devices",
                                   folder.File("site.csv"),
                                   "--jobs",
                                   std::to_string(jobs)};
  if (check) args.push_back("--check");
  const double cpuBefore = ProcessCpuMs();
  const auto start = std::chrono::steady_clock::now();
  const int exitCode = cli::RunCommandLine(args, environment);
  FleetRun run;
  run.wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  run.cpuMs = ProcessCpuMs() - cpuBefore;
  if (exitCode != 0) {
    // The failed devices' lines, so that a failing run says why.
    std::istringstream lines(out.str() + err.str());
    for (std::string line; std::getline(lines, line);) {
      if (line.find("failed") != std::string::npos) std::fprintf(stderr, "%s\n", line.c_str());
    }
    run.wallMs = -1;
  }
  return run;
}

// The tool and every simulator share these cores.
std::string SharedCoresLabel(int count) {
  return "tool + " + std::to_string(count) + " in-process simulators on " +
         std::to_string(std::thread::hardware_concurrency()) + " cores";
}

void BM_CliFleetApply(benchmark::State& state) {
  testing::RaiseFileLimit();
  const int count = static_cast<int>(state.range(0));
  const int jobs = static_cast<int>(state.range(1));
  const FleetRun one = ApplyToFleet(1, 1);
  FleetRun fleet;
  for (auto _ : state) fleet = ApplyToFleet(count, jobs);
  if (one.wallMs < 0 || fleet.wallMs < 0) {
    state.SkipWithError("a device failed");
    return;
  }
  // Every device at once: the whole fleet in 1.5 times one device; in waves, 1.1 per wave.
  const double waves = std::ceil(static_cast<double>(count) / jobs);
  const double targetMs = jobs >= count ? 1.5 * one.wallMs : 1.1 * waves * one.wallMs;
  state.SetLabel(SharedCoresLabel(count));
  state.counters["one_device_ms"] = one.wallMs;
  state.counters["fleet_ms"] = fleet.wallMs;
  state.counters["target_ms"] = targetMs;
  state.counters["fleet_per_target"] = fleet.wallMs / targetMs;
  state.counters["fleet_per_one"] = fleet.wallMs / one.wallMs;
  state.counters["process_cpu_ms"] = fleet.cpuMs;
  state.counters["speedup"] = count * one.wallMs / fleet.wallMs;
  state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_CliFleetApply)
    ->Args({100, 32})
    ->Args({1000, 128})
    ->Args({1000, 1000})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The plan of a fleet against the apply of the same fleet, both in this run.
void BM_CliFleetCheck(benchmark::State& state) {
  testing::RaiseFileLimit();
  const int count = static_cast<int>(state.range(0));
  const int jobs = static_cast<int>(state.range(1));
  const FleetRun one = ApplyToFleet(1, 1, true);
  const FleetRun apply = ApplyToFleet(count, jobs);
  FleetRun fleet;
  for (auto _ : state) fleet = ApplyToFleet(count, jobs, true);
  if (one.wallMs < 0 || apply.wallMs < 0 || fleet.wallMs < 0) {
    state.SkipWithError("a device failed");
    return;
  }
  constexpr double kTargetShareOfApply = 0.2;
  state.SetLabel(SharedCoresLabel(count));
  state.counters["one_device_ms"] = one.wallMs;
  state.counters["fleet_ms"] = fleet.wallMs;
  state.counters["apply_ms"] = apply.wallMs;
  state.counters["check_per_apply"] = fleet.wallMs / apply.wallMs;
  state.counters["fleet_per_target"] = fleet.wallMs / (kTargetShareOfApply * apply.wallMs);
  state.counters["process_cpu_ms"] = fleet.cpuMs;
  state.counters["devices_per_s"] = count / (fleet.wallMs / 1000);
  state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_CliFleetCheck)
    ->Args({1000, 128})
    ->Args({1000, 1000})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
