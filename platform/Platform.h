#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Operating-system services, each behind a small interface so that tests inject fakes and
// never touch the machine's ARP cache or processes they did not start.
namespace quillstone {

// Native handle of the window that owns a shell start; 0 for none.
using WindowId = std::uintptr_t;

// Starts the system's ARP tool to flush the ARP cache, without waiting for it; its result is
// ignored.
class ArpCacheFlusher {
 public:
  virtual ~ArpCacheFlusher() = default;
  virtual void StartFlush(WindowId owner) = 0;
};

struct ProcessEntry {
  std::int64_t id = 0;
  // The executable's name as the snapshot gives it (a full path where the system has one).
  std::string exeName;
};

class ProcessTable {
 public:
  virtual ~ProcessTable() = default;
  virtual std::vector<ProcessEntry> Snapshot() = 0;
  // Opens the process with the right to terminate only and ends it (exit code 0 where the
  // system lets the caller choose). Returns false when it could not be opened or ended.
  virtual bool Terminate(std::int64_t id) = 0;
};

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void SleepMs(int milliseconds) = 0;
};

// The back ends of the running system.
ArpCacheFlusher& SystemArpCacheFlusher();
ProcessTable& SystemProcessTable();
Sleeper& SystemSleeper();

// Directory of the running executable, ending with the path separator.
std::string ExecutableDirectory();

// Makes the console show the program's output as UTF-8, the encoding all its text is in. On
// Windows the console otherwise decodes it with the OEM code page; POSIX terminals take the
// bytes as they are, so there it does nothing.
void UseUtf8ConsoleOutput();

}  // namespace quillstone
