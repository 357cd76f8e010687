#include "tests/platform/SpawnedProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/Platform.h"

extern char** environ;

namespace quillstone::testing {

struct SpawnedProcess::Native {
  pid_t pid = 0;
  bool reaped = false;
  Ending ending = Ending::kByItself;

  void Record(int status) {
    reaped = true;
    ending = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? Ending::kTerminated
                                                                : Ending::kByItself;
  }
};

std::string SleeperProgram() {
  return ExecutableDirectory() + QUILLSTONE_TEST_SLEEPER_NAME;
}

SpawnedProcess::SpawnedProcess(const std::string& executable,
                               const std::vector<std::string>& arguments)
    : native_(std::make_unique<Native>()) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  // glibc's posix_spawn returns after the exec, so /proc already shows the new program.
  if (posix_spawn(&native_->pid, executable.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + executable);
  }
}

SpawnedProcess::~SpawnedProcess() {
  if (!native_->reaped) {
    ::kill(native_->pid, SIGKILL);
    WaitForEnd();
  }
}

std::int64_t SpawnedProcess::id() const {
  return native_->pid;
}

bool SpawnedProcess::IsRunning() {
  if (native_->reaped) return false;
  int status = 0;
  const pid_t result = ::waitpid(native_->pid, &status, WNOHANG);
  if (result == native_->pid) native_->Record(status);
  return result == 0;
}

SpawnedProcess::Ending SpawnedProcess::WaitForEnd() {
  int status = 0;
  while (!native_->reaped && ::waitpid(native_->pid, &status, 0) == native_->pid) {
    native_->Record(status);
  }
  return native_->ending;
}

}  // namespace quillstone::testing
