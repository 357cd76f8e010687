// POSIX back ends of the operating-system services.
//
// ARP flush: the Windows tool deletes the IPv4 ARP entries. The least invasive equivalent here
// is `ip -4 neigh flush nud stale`: it drops only IPv4 entries that the kernel no longer
// considers confirmed, so a device that changed its hardware address is resolved afresh while
// live neighbours are left alone. It needs administrator rights; without them it fails
// silently, as a missing or failing ARP tool is not detected by the caller either.
//
// Process table: /proc. The executable name is the full path of /proc/<pid>/exe where it can
// be read, else argv[0] from /proc/<pid>/cmdline, else /proc/<pid>/comm. Termination is
// SIGKILL, the unconditional end that matches terminating a process on Windows.
#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include "platform/Platform.h"
#include "platform/posix/DetachedStart.h"

namespace quillstone {
namespace {

namespace fs = std::filesystem;

class PosixArpCacheFlusher final : public ArpCacheFlusher {
 public:
  void StartFlush(WindowId /*owner*/) override {
    posix::StartDetached({"ip", "-4", "neigh", "flush", "nud", "stale"});
  }
};

std::string ReadSmallFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsProcessId(const std::string& name) {
  return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
         name.size() < 10;
}

std::string ExecutableOf(const fs::path& processFolder) {
  std::error_code error;
  std::string exe = fs::read_symlink(processFolder / "exe", error).string();
  if (!error && !exe.empty()) {
    // The kernel marks an executable that was removed after its start.
    constexpr std::string_view kDeleted = " (deleted)";
    if (exe.ends_with(kDeleted) && !fs::exists(exe, error)) {
      exe.resize(exe.size() - kDeleted.size());
    }
    return exe;
  }
  std::string commandLine = ReadSmallFile(processFolder / "cmdline");
  commandLine = commandLine.substr(0, commandLine.find('\0'));
  if (!commandLine.empty()) return commandLine;
  std::string command = ReadSmallFile(processFolder / "comm");
  while (!command.empty() && command.back() == '\n') command.pop_back();
  return command;
}

class ProcFsProcessTable final : public ProcessTable {
 public:
  std::vector<ProcessEntry> Snapshot() override {
    std::vector<ProcessEntry> entries;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
      const std::string name = entry.path().filename().string();
      if (!IsProcessId(name)) continue;
      ProcessEntry process;
      process.id = std::stoll(name);
      process.exeName = ExecutableOf(entry.path());
      // Nothing readable: the process ended while the snapshot was taken.
      if (!process.exeName.empty()) entries.push_back(std::move(process));
    }
    return entries;
  }

  bool Terminate(std::int64_t id) override {
    // 0 and negative ids would address process groups or every process.
    if (id <= 0 || static_cast<pid_t>(id) != id) return false;
    return ::kill(static_cast<pid_t>(id), SIGKILL) == 0;
  }
};

class ThreadSleeper final : public Sleeper {
 public:
  void SleepMs(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

ArpCacheFlusher& SystemArpCacheFlusher() {
  static PosixArpCacheFlusher flusher;
  return flusher;
}

ProcessTable& SystemProcessTable() {
  static ProcFsProcessTable table;
  return table;
}

Sleeper& SystemSleeper() {
  static ThreadSleeper sleeper;
  return sleeper;
}

std::string ExecutableDirectory() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) exe = fs::current_path(error) / "unknown";
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

void UseUtf8ConsoleOutput() {}

}  // namespace quillstone
