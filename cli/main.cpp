// quillstone-cli: reads, applies and verifies device options from the command line.
#include <atomic>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define QUILLSTONE_ISATTY _isatty
#define QUILLSTONE_FILENO _fileno
#else
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#define QUILLSTONE_ISATTY isatty
#define QUILLSTONE_FILENO fileno
#endif

#include "cli/CommandLine.h"
#include "cli/Journal.h"
#include "platform/Platform.h"

namespace {

// The first stop request's signal number; a second request ends the process at once.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr char kStopping[] =
    "\nquillstone-cli: stopping: the devices in flight finish their option and end their "
    "configuration; no new device starts (again to stop at once)\n";

// The second stop request: the journal gets its last record and is synced, then the process
// ends without finishing the devices in flight; the exit code says it was cut short.
[[noreturn]] void StopAtOnce(int signal) {
  quillstone::cli::JournalStoppedAtOnce(signal);
#ifdef _WIN32
  ExitProcess(quillstone::cli::kExitStoppedAtOnce);
#else
  _exit(quillstone::cli::kExitStoppedAtOnce);
#endif
}

// Connections the process keeps open besides the devices': standard streams, the library's
// own, the report and input files, and some room.
constexpr int kSpareDescriptors = 32;

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const int signal = event == CTRL_C_EVENT ? 2 : 15;
  int none = 0;
  if (!stopSignal.compare_exchange_strong(none, signal)) StopAtOnce(signal);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kStopping, sizeof kStopping - 1, &written, nullptr);
  return TRUE;
}

void WatchForStopRequests() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::string JobsDoNotFit(int) {
  return {};  // sockets are not file descriptors there
}

#else

extern "C" void OnStopSignal(int signal) {
  int none = 0;
  if (!stopSignal.compare_exchange_strong(none, signal)) StopAtOnce(signal);
  const ssize_t ignored = write(STDERR_FILENO, kStopping, sizeof kStopping - 1);
  (void)ignored;
}

void WatchForStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A dropped ssh session: the same stop, so that the report and the journal are written.
  sigaction(SIGHUP, &action, nullptr);
  // A closed stdout (| head) shows as failed writes, handled, not as the end of the process.
  std::signal(SIGPIPE, SIG_IGN);
}

// As many descriptors as the system lets this process have.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

std::string JobsDoNotFit(int jobs) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return {};
  const auto needed = static_cast<rlim_t>(jobs + kSpareDescriptors);
  if (needed <= limit.rlim_cur) return {};
  return "--jobs " + std::to_string(jobs) + " needs about " + std::to_string(needed) +
         " open files; this process may have " + std::to_string(limit.rlim_cur) +
         " (ulimit -n): use --jobs " +
         std::to_string(limit.rlim_cur > kSpareDescriptors + 1 ? limit.rlim_cur - kSpareDescriptors
                                                               : 1) +
         " or less";
}

#endif

}  // namespace

int main(int argc, char** argv) {
  try {
    quillstone::UseUtf8ConsoleOutput();
    WatchForStopRequests();
#ifndef _WIN32
    RaiseDescriptorLimit();
#endif
    quillstone::cli::CliEnvironment environment;
    environment.services = quillstone::CurrentLinkServices();
    environment.out = &std::cout;
    environment.err = &std::cerr;
    environment.terminal = QUILLSTONE_ISATTY(QUILLSTONE_FILENO(stdout)) != 0;
    environment.interruption = [] { return stopSignal.load(); };
    environment.jobsDoNotFit = JobsDoNotFit;
    return quillstone::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                           environment);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillstone-cli: internal error: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "quillstone-cli: internal error\n");
  }
  return quillstone::cli::kExitDeviceFailed;
}
