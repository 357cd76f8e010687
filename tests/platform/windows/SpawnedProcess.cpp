#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdexcept>

#include "platform/Platform.h"
#include "platform/win32/WideText.h"
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
    for (const wchar_t c : win32::WideFromUtf8(argument)) {
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
                               const std::vector<std::string>& arguments,
                               const std::string& outputFile)
    : native_(std::make_unique<Native>()) {
  // Naming the file as the application starts it whatever its extension, "serwatch.dll" too.
  // Detached from the console: the test's console host must not wait for it.
  const std::wstring application = win32::WideFromUtf8(executable);
  std::wstring commandLine = CommandLine(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    output = ::CreateFileW(win32::WideFromUtf8(outputFile).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + outputFile);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  const BOOL started = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr,
                                        output != INVALID_HANDLE_VALUE, DETACHED_PROCESS, nullptr,
                                        nullptr, &startup, &native_->process);
  const DWORD error = ::GetLastError();
  // The child holds its own copy of the output handle.
  if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
  if (!started) {
    throw std::runtime_error("cannot start " + executable + " (error " + std::to_string(error) +
                             ")");
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

int SpawnedProcess::ExitCode() {
  ::WaitForSingleObject(native_->process.hProcess, INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(native_->process.hProcess, &exitCode);
  return static_cast<int>(exitCode);
}

}  // namespace quillstone::testing
