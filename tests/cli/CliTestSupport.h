#pragma once

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <atomic>
#include <fstream>
#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "devicesim/Simulator.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LoopbackPort.h"
#include "tests/support/OpenNetworkOptions.h"

namespace quillstone::testing {

// Counts pauses without waiting; safe from every worker thread.
class CountingSleeper : public Sleeper {
 public:
  void SleepMs(int milliseconds) override { totalMs += milliseconds; }
  std::atomic<long long> totalMs{0};
};

// Each simulated device listens on a socket and holds its client's, and the tool holds one per
// device in flight: a fleet of hundreds needs more than the usual soft limit of open files.
inline void RaiseFileLimit() {
#ifndef _WIN32
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
#endif
}

// Simulated devices on loopback, each on its own free port with its own store.
class SimulatedFleet {
 public:
  explicit SimulatedFleet(int count, const devsim::SimulatorConfig& config = {}) {
    for (int i = 0; i < count; ++i) Add(config);
  }
  devsim::Simulator& Add(devsim::SimulatorConfig config) {
    devsim::Simulator& simulator = devices_.emplace_back(config);
    simulator.Start();
    return simulator;
  }
  std::vector<devsim::Simulator*> All() {
    std::vector<devsim::Simulator*> all;
    for (devsim::Simulator& device : devices_) all.push_back(&device);
    return all;
  }
  std::size_t CommandsReceived() const {
    std::size_t total = 0;
    for (const devsim::Simulator& device : devices_) total += device.CommandCount();
    return total;
  }

 private:
  std::list<devsim::Simulator> devices_;
};

inline std::string TcpName(const devsim::Simulator& device) {
  return "tcp:127.0.0.1:" + std::to_string(device.Port());
}

// Runs quillstone-cli in-process with the real library, the fake ARP flush and process table,
// no real pauses and the fixed scramble key; keeps what it printed.
class CliRunner {
 public:
  CliRunner() {
    environment.services = CurrentLinkServices();
    environment.services.device = &CapstanDeviceApi();
    environment.services.arp = &arp;
    environment.services.processes = &processes;
    environment.services.sleeper = &sleeper;
    environment.services.drawScrambleKey = [] { return FakeLinkPlatform::kFixedScrambleDraw; };
    environment.out = &out;
    environment.err = &err;
  }

  int Run(std::vector<std::string> args) {
    out.str({});
    err.str({});
    return cli::RunCommandLine(args, environment);
  }

  std::string Write(const std::string& name, const std::string& content) const {
    std::ofstream(folder.File(name), std::ios::binary) << content;
    return folder.File(name);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(folder.File(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  }

  FakeArpCacheFlusher arp;
  FakeProcessTable processes;
  CountingSleeper sleeper;
  std::ostringstream out;
  std::ostringstream err;
  cli::CliEnvironment environment;
  TempFolder folder;
};

// The sixteen options as the window's options.ini holds them after an apply over TCP/IP.
inline std::string WindowOptionsIni() {
  std::string ini;
  for (const std::string& option : kOpenNetworkOptions) ini += option + "\r\n";
  return ini + "[Config]\r\nlocatIP=127.0.0.1\r\nPort=4370\r\n";
}

}  // namespace quillstone::testing
