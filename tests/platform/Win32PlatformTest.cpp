// The Windows back ends, under Windows or Wine. Termination is tried only on processes the test
// started itself; the ARP flush is never run.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/AppError.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/SettingsFolder.h"
#include "tests/platform/SpawnedProcess.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/Environment.h"

namespace quillstone {
namespace {

namespace fs = std::filesystem;
using quillstone::testing::SleeperProgram;
using quillstone::testing::SpawnedProcess;
using quillstone::testing::TempFolder;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const ProcessEntry* FindProcess(const std::vector<ProcessEntry>& entries, std::int64_t id) {
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [id](const ProcessEntry& entry) { return entry.id == id; });
  return found == entries.end() ? nullptr : &*found;
}

std::string FileNamePart(const std::string& path) {
  return fs::path(path).filename().string();
}

std::string OwnExecutable() {
  char path[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length);
}

// A copy of the sleeper under `name` in its own folder: Windows file names ignore letter case,
// so "SERWATCH.DLL" and "serwatch.dll" cannot share one.
std::string CopyOfSleeper(const TempFolder& folder, const std::string& name) {
  const fs::path copy = folder.path() / name;
  fs::copy_file(SleeperProgram(), copy);
  return copy.string();
}

TEST(ToolhelpProcessTableTest, SnapshotNamesProcessesByTheirExecutableFile) {
  TempFolder upperFolder;
  TempFolder otherFolder;
  SpawnedProcess upper(CopyOfSleeper(upperFolder, "SERWATCH.DLL"), {"SERWATCH.DLL", "60"});
  SpawnedProcess other(CopyOfSleeper(otherFolder, "other name.exe"), {"other name", "60"});

  const std::vector<ProcessEntry> entries = SystemProcessTable().Snapshot();
  const ProcessEntry* upperEntry = FindProcess(entries, upper.id());
  const ProcessEntry* otherEntry = FindProcess(entries, other.id());
  ASSERT_NE(upperEntry, nullptr);
  ASSERT_NE(otherEntry, nullptr);
  EXPECT_EQ(FileNamePart(upperEntry->exeName), "SERWATCH.DLL");
  EXPECT_EQ(FileNamePart(otherEntry->exeName), "other name.exe");

  const ProcessEntry* self = FindProcess(entries, ::GetCurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(FileNamePart(self->exeName), FileNamePart(OwnExecutable()));
}

TEST(ToolhelpProcessTableTest, TerminateEndsASpawnedProcessWithExitCodeZero) {
  TempFolder folder;
  SpawnedProcess child(CopyOfSleeper(folder, "victim.exe"), {"victim", "60"});
  ASSERT_TRUE(child.IsRunning());
  EXPECT_TRUE(SystemProcessTable().Terminate(child.id()));
  EXPECT_EQ(child.WaitForEnd(), SpawnedProcess::Ending::kTerminated);
}

TEST(ToolhelpProcessTableTest, TerminateRefusesIdsOutsideTheSystemsRange) {
  EXPECT_FALSE(SystemProcessTable().Terminate(-4));
  EXPECT_FALSE(SystemProcessTable().Terminate(std::int64_t{1} << 40));
}

TEST(ExecutableDirectoryTest, IsTheFolderOfTheRunningProgramWithSeparator) {
  const std::string folder = ExecutableDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_EQ(folder + FileNamePart(OwnExecutable()), OwnExecutable());
}

TEST(SystemSleeperTest, SleepsAtLeastTheTimeAsked) {
  const auto start = std::chrono::steady_clock::now();
  SystemSleeper().SleepMs(30);
  // The system timer may end a sleep up to a millisecond before the performance counter agrees.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
}

TEST(SystemSleeperTest, NegativeTimeDoesNotWrapAroundToAnEndlessSleep) {
  const auto start = std::chrono::steady_clock::now();
  SystemSleeper().SleepMs(-5);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(Win32FileReplaceTest, FailedReplaceKeepsTheOldContentAndLeavesNoTemporary) {
  TempFolder folder;
  const std::string path = folder.File("options.ini");
  const std::string old = "[Config]\r\nPort=4370\r\n";
  std::ofstream(path, std::ios::binary) << old;
  // Held open without sharing, as an editor may hold it: it can be neither replaced nor deleted.
  const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(ini::WriteWholeFile(path, "[Config]\r\nPort=1\r\n"), AppError);
  ::CloseHandle(held);
  EXPECT_EQ(ReadText(path), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

// The shell's roaming application-data folder, which the APPDATA variable also names when
// the user's environment is intact, with the tool's own folder below it.
TEST(UserSettingsDirectoryTest, IsTheToolsFolderInTheRoamingApplicationData) {
  const std::string folder = UserSettingsDirectory();
  const wchar_t* appData = _wgetenv(L"APPDATA");
  ASSERT_NE(appData, nullptr);
  const std::wstring expected = std::wstring(appData) + L"\\Quillstone\\";
  const std::wstring actual = fs::path(std::u8string(folder.begin(), folder.end())).wstring();
  EXPECT_EQ(CompareStringOrdinal(actual.c_str(), -1, expected.c_str(), -1, TRUE), CSTR_EQUAL)
      << folder;
}

}  // namespace
}  // namespace quillstone
