#include "tests/platform/SpawnedProcess.h"

#include <fcntl.h>
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
  int exitCode = 0;

  void Record(int status) {
    reaped = true;
    ending = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? Ending::kTerminated
                                                                : Ending::kByItself;
    exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  }
};

std::string SleeperProgram() {
  return ExecutableDirectory() + QUILLSTONE_TEST_SLEEPER_NAME;
}

SpawnedProcess::SpawnedProcess(const std::string& executable,
                               const std::vector<std::string>& arguments,
                               const std::string& outputFile)
    : native_(std::make_unique<Native>()) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!outputFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  }
  // glibc's posix_spawn returns after the exec, so /proc already shows the new program.
  const int failed =
      posix_spawn(&native_->pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + executable);
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

int SpawnedProcess::ExitCode() {
  WaitForEnd();
  return native_->exitCode;
}

}  // namespace quillstone::testing
