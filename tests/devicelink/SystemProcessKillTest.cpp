// KillProcessByName against the real process table, acting only on processes this test
// started: every other termination is refused by a filter around the system table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "devicelink/DeviceApi.h"
#include "devicelink/DeviceConnection.h"
#include "tests/platform/SpawnedProcess.h"
#include "tests/platform/TempFolder.h"

namespace quillstone {
namespace {

using quillstone::testing::SpawnedProcess;
using quillstone::testing::TempFolder;

class OwnProcessesOnly final : public ProcessTable {
 public:
  explicit OwnProcessesOnly(ProcessTable& system) : system_(system) {}
  std::vector<ProcessEntry> Snapshot() override { return system_.Snapshot(); }
  bool Terminate(std::int64_t id) override {
    if (allowed.count(id) == 0) {
      refused.insert(id);
      return false;
    }
    return system_.Terminate(id);
  }
  std::set<std::int64_t> allowed;
  std::set<std::int64_t> refused;

 private:
  ProcessTable& system_;
};

class SystemProcessKillTest : public ::testing::Test {
 protected:
  SystemProcessKillTest() : scope_(Services()) {}

  std::string CopyOfSleep(const std::string& name) {
    const std::string path = folder_.File(name);
    std::filesystem::copy_file("/bin/sleep", path);
    return path;
  }

  OwnProcessesOnly table{SystemProcessTable()};

 private:
  LinkServices Services() {
    LinkServices services = CurrentLinkServices();
    services.device = nullptr;
    services.arp = nullptr;
    services.processes = &table;
    return services;
  }

  TempFolder folder_;
  ScopedLinkServices scope_;
};

TEST_F(SystemProcessKillTest, EndsBothSpellingsAndSparesAnUnrelatedProcess) {
  SpawnedProcess upper(CopyOfSleep("SERWATCH.DLL"), {"SERWATCH.DLL", "60"});
  SpawnedProcess lower(CopyOfSleep("serwatch.dll"), {"serwatch.dll", "60"});
  SpawnedProcess unrelated(CopyOfSleep("serwatch.dll.old"), {"serwatch.dll", "60"});
  table.allowed = {upper.pid(), lower.pid(), unrelated.pid()};

  EXPECT_TRUE(KillProcessByName("serwatch.dll"));

  EXPECT_EQ(upper.WaitForEnd(), SIGKILL);
  EXPECT_EQ(lower.WaitForEnd(), SIGKILL);
  EXPECT_TRUE(unrelated.IsRunning());
  // No other process on this machine carries the name.
  EXPECT_TRUE(table.refused.empty());
}

TEST_F(SystemProcessKillTest, AFullExecutablePathMatchesToo) {
  const std::string path = CopyOfSleep("watcher");
  SpawnedProcess target(path, {"watcher", "60"});
  SpawnedProcess other(CopyOfSleep("watcher2"), {"watcher", "60"});
  table.allowed = {target.pid(), other.pid()};

  EXPECT_TRUE(KillProcessByName(path));

  EXPECT_EQ(target.WaitForEnd(), SIGKILL);
  EXPECT_TRUE(other.IsRunning());
}

}  // namespace
}  // namespace quillstone
