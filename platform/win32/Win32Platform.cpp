// Windows back ends of the operating-system services. The shell start and the toolhelp
// structures are the ANSI ones (process names are compared as the device link knows them);
// the program's own folder comes through the wide API as UTF-8.
#ifdef UNICODE
#undef UNICODE
#endif
#ifdef _UNICODE
#undef _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first: these need its types.
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

#include "platform/Platform.h"
#include "platform/win32/WideText.h"

namespace quillstone {
namespace {

class ShellArpCacheFlusher final : public ArpCacheFlusher {
 public:
  void StartFlush(WindowId owner) override {
    // The shell's result is ignored: a missing or failing ARP tool is not detected.
    ShellExecuteA(reinterpret_cast<HWND>(owner), "OPEN", "ARP.EXE", "-d", nullptr, SW_HIDE);
  }
};

class ToolhelpProcessTable final : public ProcessTable {
 public:
  std::vector<ProcessEntry> Snapshot() override {
    std::vector<ProcessEntry> entries;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return entries;
    PROCESSENTRY32 process{};
    process.dwSize = sizeof process;
    for (BOOL more = Process32First(snapshot, &process); more;
         more = Process32Next(snapshot, &process)) {
      entries.push_back(ProcessEntry{static_cast<std::int64_t>(process.th32ProcessID),
                                     std::string(process.szExeFile)});
    }
    CloseHandle(snapshot);
    return entries;
  }

  bool Terminate(std::int64_t id) override {
    if (id < 0 || id > static_cast<std::int64_t>(MAXDWORD)) return false;
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) return false;
    const bool ended = TerminateProcess(process, 0) != FALSE;
    CloseHandle(process);
    return ended;
  }
};

class WindowsSleeper final : public Sleeper {
 public:
  void SleepMs(int milliseconds) override {
    Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
  }
};

}  // namespace

ArpCacheFlusher& SystemArpCacheFlusher() {
  static ShellArpCacheFlusher flusher;
  return flusher;
}

ProcessTable& SystemProcessTable() {
  static ToolhelpProcessTable table;
  return table;
}

Sleeper& SystemSleeper() {
  static WindowsSleeper sleeper;
  return sleeper;
}

std::string ExecutableDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return ".\\";
    // A full buffer means the path was cut; try again with more room.
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? ".\\"
                                         : win32::Utf8FromWide(path.substr(0, separator + 1));
}

void UseUtf8ConsoleOutput() {
  // Fails harmlessly without a console (output to a pipe or a file takes the bytes as they are).
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace quillstone
