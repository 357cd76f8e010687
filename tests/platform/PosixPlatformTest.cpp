#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/AppError.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/SettingsFolder.h"
#include "platform/posix/DetachedStart.h"
#include "tests/platform/SpawnedProcess.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/Environment.h"
#include "tests/support/UnwritableFolder.h"

namespace quillstone {
namespace {

namespace fs = std::filesystem;
using quillstone::testing::SpawnedProcess;
using quillstone::testing::TempFolder;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Polls for a file written by a detached program; the program's own work is the only wait.
bool WaitForFile(const fs::path& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (fs::exists(path) && ReadText(path).find('\n') != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

bool HasNoChildren() {
  return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

const ProcessEntry* FindProcess(const std::vector<ProcessEntry>& entries, std::int64_t id) {
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [id](const ProcessEntry& entry) { return entry.id == id; });
  return found == entries.end() ? nullptr : &*found;
}

std::string CopyOfSleep(const TempFolder& folder, const std::string& name) {
  const std::string path = folder.File(name);
  fs::copy_file("/bin/sleep", path);
  return path;
}

TEST(ProcFsProcessTableTest, SnapshotGivesFullExecutablePaths) {
  TempFolder folder;
  const std::string upper = CopyOfSleep(folder, "SERWATCH.DLL");
  const std::string other = CopyOfSleep(folder, "other name");
  SpawnedProcess first(upper, {"SERWATCH.DLL", "60"});
  SpawnedProcess second(other, {"other name", "60"});

  const std::vector<ProcessEntry> entries = SystemProcessTable().Snapshot();
  const ProcessEntry* firstEntry = FindProcess(entries, first.id());
  const ProcessEntry* secondEntry = FindProcess(entries, second.id());
  ASSERT_NE(firstEntry, nullptr);
  ASSERT_NE(secondEntry, nullptr);
  EXPECT_EQ(firstEntry->exeName, upper);
  EXPECT_EQ(secondEntry->exeName, other);

  const ProcessEntry* self = FindProcess(entries, ::getpid());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(self->exeName, fs::read_symlink("/proc/self/exe").string());
}

TEST(ProcFsProcessTableTest, TerminateKillsASpawnedProcessAtOnce) {
  TempFolder folder;
  SpawnedProcess child(CopyOfSleep(folder, "victim"), {"victim", "60"});
  ASSERT_TRUE(child.IsRunning());
  EXPECT_TRUE(SystemProcessTable().Terminate(child.id()));
  EXPECT_EQ(child.WaitForEnd(), SpawnedProcess::Ending::kTerminated);
}

TEST(ProcFsProcessTableTest, TerminateOfAnAbsentProcessFails) {
  // Beyond the largest process id the kernel hands out, so no process can be hit.
  const long pidMax = std::stol(ReadText("/proc/sys/kernel/pid_max"));
  EXPECT_FALSE(SystemProcessTable().Terminate(pidMax + 1));
  EXPECT_FALSE(SystemProcessTable().Terminate(std::int64_t{1} << 40));
}

TEST(ExecutableDirectoryTest, IsTheFolderOfTheRunningProgramWithSeparator) {
  const std::string folder = ExecutableDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(fs::path(folder + fs::read_symlink("/proc/self/exe").filename().string()),
            fs::read_symlink("/proc/self/exe"));
}

TEST(SystemSleeperTest, SleepsAtLeastTheTimeAsked) {
  const auto start = std::chrono::steady_clock::now();
  SystemSleeper().SleepMs(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(StartDetachedTest, ReturnsBeforeTheProgramEndsAndLeavesNoChild) {
  TempFolder folder;
  const fs::path go = folder.path() / "go";
  const fs::path out = folder.path() / "out";
  // The program waits for the test's signal file (giving up after about ten seconds), then
  // reports where its standard output went.
  const std::string script = "i=0; while [ ! -e '" + go.string() +
                             "' ] && [ $i -lt 2000 ]; do sleep 0.005; i=$((i+1)); done; "
                             "if [ -e '" +
                             go.string() +
                             "' ]; then r=released; else r=timeout; fi; "
                             "echo \"$r $(readlink /proc/$$/fd/1)\" > '" +
                             out.string() +
                             "'.part;"
                             "mv '" +
                             out.string() + "'.part '" + out.string() + "'";
  ASSERT_TRUE(posix::StartDetached({"sh", "-c", script}));
  EXPECT_FALSE(fs::exists(out));
  EXPECT_TRUE(HasNoChildren());

  std::ofstream(go) << "go";
  ASSERT_TRUE(WaitForFile(out));
  EXPECT_EQ(ReadText(out), "released /dev/null\n");
  EXPECT_TRUE(HasNoChildren());
}

TEST(StartDetachedTest, UnknownProgramIsReportedAndStartsNothing) {
  EXPECT_FALSE(posix::StartDetached({"quillstone-no-such-program-xyz"}));
  EXPECT_FALSE(posix::StartDetached({"/nonexistent/folder/tool"}));
  EXPECT_FALSE(posix::StartDetached({}));
  EXPECT_TRUE(HasNoChildren());
}

// A file size limit makes the write of the temporary fail even for root; the old file must
// stay whole and no temporary may remain.
TEST(PosixFileReplaceTest, FailedWriteKeepsTheOldContent) {
  TempFolder folder;
  const std::string path = folder.File("options.ini");
  const std::string old = "[Config]\r\nPort=4370\r\n";
  std::ofstream(path, std::ios::binary) << old;

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 64;
  const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    ini::WriteProfileString(path, "Config", "Port", std::string(200, '9'));
  } catch (const AppError& error) {
    threw = true;
    EXPECT_STREQ(error.what(), ("Unable to write to " + path).c_str());
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedHandler);

  EXPECT_TRUE(threw);
  EXPECT_EQ(ReadText(path), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

// The user folder follows the XDG rules: an absolute XDG_CONFIG_HOME, else ~/.config.
class UserSettingsDirectoryTest : public ::testing::Test {
 protected:
  UserSettingsDirectoryTest() {
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value != nullptr, value != nullptr ? value : ""});
    }
  }
  ~UserSettingsDirectoryTest() override {
    for (const Saved& entry : saved_) {
      if (entry.set) {
        testing::SetEnvVariable(entry.name, entry.value);
      } else {
        testing::UnsetEnvVariable(entry.name);
      }
    }
  }

 private:
  struct Saved {
    std::string name;
    bool set;
    std::string value;
  };
  std::vector<Saved> saved_;
};

TEST_F(UserSettingsDirectoryTest, FollowsTheXdgRules) {
  struct Case {
    const char* configHome;  // nullptr: unset
    const char* home;
    const char* expected;
  };
  const Case cases[] = {
      {"/srv/conf", "/home/tech", "/srv/conf/quillstone/"},
      {"/srv/conf/", "/home/tech", "/srv/conf/quillstone/"},
      {nullptr, "/home/tech", "/home/tech/.config/quillstone/"},
      {"", "/home/tech/", "/home/tech/.config/quillstone/"},
      {"relative/conf", "/home/tech", "/home/tech/.config/quillstone/"},
      {nullptr, "relative", ""},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    if (c.configHome != nullptr) {
      testing::SetEnvVariable("XDG_CONFIG_HOME", c.configHome);
    } else {
      testing::UnsetEnvVariable("XDG_CONFIG_HOME");
    }
    if (c.home != nullptr) {
      testing::SetEnvVariable("HOME", c.home);
    } else {
      testing::UnsetEnvVariable("HOME");
    }
    EXPECT_EQ(UserSettingsDirectory(), c.expected)
        << (c.configHome ? c.configHome : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

// New folders hold the user's settings and are the user's alone; existing ones are kept.
TEST(CreateFolderPathTest, MakesMissingLevelsPrivate) {
  TempFolder folder;
  fs::create_directory(folder.path() / "shared");
  fs::permissions(folder.path() / "shared", fs::perms(0755));
  const std::string target = (folder.path() / "shared" / "a" / "quillstone").string() + "/";

  EXPECT_TRUE(CreateFolderPath(target));
  EXPECT_TRUE(CreateFolderPath(target)) << "an existing folder is fine";

  EXPECT_EQ(fs::status(folder.path() / "shared").permissions(), fs::perms(0755));
  EXPECT_EQ(fs::status(folder.path() / "shared" / "a").permissions(), fs::perms(0700));
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0700));
}

// ---- Who may read the settings files ----

// The umask of most systems' users for the length of a test.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t old_;
};

unsigned ModeOf(const fs::path& path) {
  return static_cast<unsigned>(fs::status(path).permissions()) & 0777u;
}

struct FileModeCase {
  const char* what;
  unsigned folder;
  int existing;  // the file's mode before the write, -1 when there is none
  unsigned after;
};
void PrintTo(const FileModeCase& c, std::ostream* out) {
  *out << c.what;
}

class SettingsFileModeTest : public ::testing::TestWithParam<FileModeCase> {};

TEST_P(SettingsFileModeTest, ANewFileIsNoMoreOpenThanItsFolderAndAnOldOneKeepsItsMode) {
  const FileModeCase& c = GetParam();
  const ScopedUmask mask(022);
  // Both writers of the tool: a key into its section, and the whole file replaced.
  for (const bool wholeFile : {false, true}) {
    TempFolder top;
    const fs::path folder = top.path() / "settings";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(c.folder));
    const fs::path file = folder / "options.ini";
    if (c.existing >= 0) {
      std::ofstream(file) << "[Config]\r\nPort=1\r\n";
      fs::permissions(file, fs::perms(c.existing));
    }
    if (wholeFile) {
      ini::WriteLines(file.string(), {"WPAPSK=TopSecretPass", "[Config]", "Port=4370"});
    } else {
      ini::WriteProfileString(file.string(), "Config", "Port", "4370");
    }
    EXPECT_EQ(ModeOf(file), c.after)
        << std::oct << "whole file " << wholeFile << ": 0" << ModeOf(file);
    EXPECT_EQ(ModeOf(folder), c.folder) << "the folder's mode changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "a temporary file was left";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsFileModeTest,
    ::testing::Values(FileModeCase{"new in a private folder", 0700, -1, 0600},
                      FileModeCase{"new in an open program folder", 0755, -1, 0644},
                      FileModeCase{"new in a folder of the group", 0750, -1, 0644},
                      FileModeCase{"private in an open folder", 0755, 0600, 0600},
                      FileModeCase{"group-writable, wider than the umask", 0755, 0664, 0664},
                      FileModeCase{"group-readable", 0755, 0640, 0640},
                      FileModeCase{"readable by all in a private folder", 0700, 0644, 0644}));

class PrivateSettingsFolderTest : public ::testing::Test {
 protected:
  const ScopedUmask mask{022};
  TempFolder top;
  const fs::path program = top.path() / "program";
  const fs::path user = top.path() / "config" / "quillstone";
  std::string Folder(const fs::path& path) const { return path.string() + "/"; }
};

TEST_F(PrivateSettingsFolderTest, TheUsersFolderIsMadeTheUsersAloneAndSoAreTheFilesCopiedIntoIt) {
  fs::create_directory(program);
  std::ofstream(program / "options.ini") << "[Config]\r\nPort=5005\r\n";
  const testing::UnwritableFolder locked(Folder(program));
  ASSERT_FALSE(FolderAcceptsNewFiles(Folder(program)));

  EXPECT_EQ(ChooseSettingsDirectory(Folder(program), Folder(user), {"options.ini", "IPconfig.ini"}),
            Folder(user));
  EXPECT_EQ(ModeOf(user), 0700u);
  EXPECT_EQ(ModeOf(user / "options.ini"), 0600u) << "the copied settings";
  ini::WriteProfileString((user / "IPconfig.ini").string(), "Config", "IPRadio", "0");
  EXPECT_EQ(ModeOf(user / "IPconfig.ini"), 0600u) << "the first file written there";
}

TEST_F(PrivateSettingsFolderTest, AnOpenUsersFolderIsClosedItsFilesKeepTheirModes) {
  fs::create_directories(user);
  fs::permissions(user, fs::perms(0755));
  std::ofstream(user / "options.ini") << "WPAPSK=TopSecretPass\r\n";
  fs::permissions(user / "options.ini", fs::perms(0644));
  fs::create_directory(program);
  const testing::UnwritableFolder locked(Folder(program));
  ASSERT_FALSE(FolderAcceptsNewFiles(Folder(program)));

  EXPECT_EQ(ChooseSettingsDirectory(Folder(program), Folder(user), {"options.ini"}), Folder(user));
  EXPECT_EQ(ModeOf(user), 0700u) << "nobody else can reach the passphrase";
  EXPECT_EQ(ModeOf(user / "options.ini"), 0644u) << "a file's mode is the user's";
}

TEST_F(PrivateSettingsFolderTest, AProgramFolderTheSettingsLiveInIsLeftAsItIs) {
  fs::create_directory(program);
  fs::permissions(program, fs::perms(0775));
  EXPECT_EQ(ChooseSettingsDirectory(Folder(program), Folder(user), {"options.ini"}),
            Folder(program));
  EXPECT_EQ(ModeOf(program), 0775u);
  EXPECT_FALSE(fs::exists(user)) << "no user folder is made when it is not used";
  ini::WriteProfileString((program / "options.ini").string(), "Config", "Port", "4370");
  EXPECT_EQ(ModeOf(program / "options.ini"), 0644u) << "the umask decides";
}

TEST(MakeFolderPrivateTest, LeavesALinkAndAFileAlone) {
  TempFolder top;
  fs::create_directory(top.path() / "real");
  fs::permissions(top.path() / "real", fs::perms(0755));
  fs::create_directory_symlink(top.path() / "real", top.path() / "link");
  EXPECT_FALSE(MakeFolderPrivate((top.path() / "link").string() + "/"));
  EXPECT_EQ(ModeOf(top.path() / "real"), 0755u);
  std::ofstream(top.path() / "file") << "x";
  EXPECT_FALSE(MakeFolderPrivate((top.path() / "file").string() + "/"));
  EXPECT_TRUE(MakeFolderPrivate((top.path() / "real").string() + "/"));
  EXPECT_EQ(ModeOf(top.path() / "real"), 0700u);
}

}  // namespace
}  // namespace quillstone
