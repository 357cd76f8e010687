#pragma once

#include <algorithm>
#include <vector>

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

}  // namespace quillstone::testing
