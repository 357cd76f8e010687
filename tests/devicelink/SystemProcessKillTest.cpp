// KillProcessByName against the real process table, acting only on processes this test
// started: every other termination is refused by a filter around the system table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <set>
#include <string>

#include "devicelink/DeviceApi.h"
#include "devicelink/DeviceConnection.h"
#include "tests/platform/SpawnedProcess.h"
#include "tests/platform/TempFolder.h"

namespace quillstone {
namespace {

using quillstone::testing::SleeperProgram;
using quillstone::testing::SpawnedProcess;
using quillstone::testing::TempFolder;
using Ending = SpawnedProcess::Ending;

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

  // A copy of the sleeper under `name`, each in its own folder: on Windows "SERWATCH.DLL" and
  // "serwatch.dll" would be one file.
  std::string CopyOfSleeper(const std::string& name) {
    const std::string path = folders_.emplace_back().File(name);
    std::filesystem::copy_file(SleeperProgram(), path);
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

  std::list<TempFolder> folders_;
  ScopedLinkServices scope_;
};

TEST_F(SystemProcessKillTest, EndsBothSpellingsAndSparesAnUnrelatedProcess) {
  SpawnedProcess upper(CopyOfSleeper("SERWATCH.DLL"), {"SERWATCH.DLL", "60"});
  SpawnedProcess lower(CopyOfSleeper("serwatch.dll"), {"serwatch.dll", "60"});
  SpawnedProcess unrelated(CopyOfSleeper("serwatch.dll.old"), {"serwatch.dll", "60"});
  table.allowed = {upper.id(), lower.id(), unrelated.id()};

  EXPECT_TRUE(KillProcessByName("serwatch.dll"));

  EXPECT_EQ(upper.WaitForEnd(), Ending::kTerminated);
  EXPECT_EQ(lower.WaitForEnd(), Ending::kTerminated);
  EXPECT_TRUE(unrelated.IsRunning());
  // No other process on this machine carries the name.
  EXPECT_TRUE(table.refused.empty());
}

TEST_F(SystemProcessKillTest, AFullExecutablePathMatchesToo) {
  const std::string path = CopyOfSleeper("watcher");
  SpawnedProcess target(path, {"watcher", "60"});
  SpawnedProcess other(CopyOfSleeper("watcher2"), {"watcher", "60"});
  table.allowed = {target.id(), other.id()};
  const std::vector<ProcessEntry> snapshot = SystemProcessTable().Snapshot();
  const auto entry =
      std::find_if(snapshot.begin(), snapshot.end(),
                   [&](const ProcessEntry& process) { return process.id == target.id(); });
  ASSERT_NE(entry, snapshot.end());
  if (!std::filesystem::path(entry->exeName).has_parent_path()) {
    GTEST_SKIP() << "this system's snapshot names executables without their folder";
  }

  EXPECT_TRUE(KillProcessByName(path));

  EXPECT_EQ(target.WaitForEnd(), Ending::kTerminated);
  EXPECT_TRUE(other.IsRunning());
}

}  // namespace
}  // namespace quillstone
