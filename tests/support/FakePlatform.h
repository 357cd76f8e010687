#pragma once

#include <algorithm>
#include <vector>

#include "devicelink/DeviceApi.h"
#include "platform/Platform.h"

namespace quillstone::testing {

// Records ARP flushes instead of starting the system's tool.
class FakeArpCacheFlusher : public ArpCacheFlusher {
 public:
  void StartFlush(WindowId owner) override { owners.push_back(owner); }
  std::vector<WindowId> owners;
};

// A process table with made-up processes; terminations are recorded, never real.
class FakeProcessTable : public ProcessTable {
 public:
  std::vector<ProcessEntry> Snapshot() override { return processes; }
  bool Terminate(std::int64_t id) override {
    terminated.push_back(id);
    return std::find(refuse.begin(), refuse.end(), id) == refuse.end();
  }
  std::vector<ProcessEntry> processes;
  std::vector<std::int64_t> refuse;
  std::vector<std::int64_t> terminated;
};

// Records pauses instead of waiting.
class FakeSleeper : public Sleeper {
 public:
  void SleepMs(int milliseconds) override { pauses.push_back(milliseconds); }
  std::vector<int> pauses;
};

// Installs the fakes for as long as it lives; the device stays the real library. The pause
// between options is the fake sleeper unless a real one is given (benchmarks). The scramble
// key is fixed so that scrambled options have one known form on the wire.
class FakeLinkPlatform {
 public:
  // Drawn 0 becomes the key C0, as in the library's worked examples.
  static constexpr int kFixedScrambleDraw = 0;

  explicit FakeLinkPlatform(Sleeper* realSleeper = nullptr)
      : scope_(Services(arp, processes, realSleeper ? *realSleeper : sleeper)) {}

  FakeArpCacheFlusher arp;
  FakeProcessTable processes;
  FakeSleeper sleeper;

 private:
  static LinkServices Services(ArpCacheFlusher& arpFake, ProcessTable& processFake,
                               Sleeper& pause) {
    LinkServices services = CurrentLinkServices();
    services.device = &CapstanDeviceApi();
    services.arp = &arpFake;
    services.processes = &processFake;
    services.sleeper = &pause;
    services.drawScrambleKey = [] { return kFixedScrambleDraw; };
    return services;
  }

  ScopedLinkServices scope_;
};

}  // namespace quillstone::testing
