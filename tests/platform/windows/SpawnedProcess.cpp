#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <stdexcept>

#include "platform/Platform.h"
#include "tests/platform/SpawnedProcess.h"

namespace quillstone::testing {
namespace {

// One command line, each argument quoted as the C runtime splits them.
std::wstring CommandLine(const std::vector<std::string>& arguments) {
  std::wstring line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += L' ';
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : std::filesystem::path(argument).wstring()) {
      if (c == L'\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled, and the quote escaped.
      line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
  }
  return line;
}

}  // namespace

struct SpawnedProcess::Native {
  PROCESS_INFORMATION process{};
};

std::string SleeperProgram() {
  return ExecutableDirectory() + QUILLSTONE_TEST_SLEEPER_NAME;
}

SpawnedProcess::SpawnedProcess(const std::string& executable,
                               const std::vector<std::string>& arguments)
    : native_(std::make_unique<Native>()) {
  // Naming the file as the application starts it whatever its extension, "serwatch.dll" too.
  // Detached from the console: the test's console host must not wait for it.
  const std::wstring application = std::filesystem::path(executable).wstring();
  std::wstring commandLine = CommandLine(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS, nullptr, nullptr, &startup, &native_->process)) {
    throw std::runtime_error("cannot start " + executable + " (error " +
                             std::to_string(::GetLastError()) + ")");
  }
}

SpawnedProcess::~SpawnedProcess() {
  if (IsRunning()) {
    ::TerminateProcess(native_->process.hProcess, 1);
    ::WaitForSingleObject(native_->process.hProcess, INFINITE);
  }
  ::CloseHandle(native_->process.hThread);
  ::CloseHandle(native_->process.hProcess);
}

std::int64_t SpawnedProcess::id() const {
  return native_->process.dwProcessId;
}

bool SpawnedProcess::IsRunning() {
  return ::WaitForSingleObject(native_->process.hProcess, 0) == WAIT_TIMEOUT;
}

SpawnedProcess::Ending SpawnedProcess::WaitForEnd() {
  ::WaitForSingleObject(native_->process.hProcess, INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(native_->process.hProcess, &exitCode);
  return exitCode == 0 ? Ending::kTerminated : Ending::kByItself;
}

}  // namespace quillstone::testing
