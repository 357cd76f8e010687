#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace quillstone::testing {

// A child process started by the test itself, ended and reaped at the latest by the destructor,
// so a test never leaves a process or a zombie behind.
class SpawnedProcess {
 public:
  SpawnedProcess(const std::string& executable, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // glibc's posix_spawn returns after the exec, so /proc already shows the new program.
    if (posix_spawn(&pid_, executable.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("cannot start " + executable);
    }
  }
  ~SpawnedProcess() {
    if (!reaped_) {
      ::kill(pid_, SIGKILL);
      WaitForEnd();
    }
  }
  SpawnedProcess(const SpawnedProcess&) = delete;
  SpawnedProcess& operator=(const SpawnedProcess&) = delete;

  pid_t pid() const { return pid_; }

  // True while the process has not ended (a zombie counts as ended).
  bool IsRunning() {
    if (reaped_) return false;
    int status = 0;
    const pid_t result = ::waitpid(pid_, &status, WNOHANG);
    if (result == pid_) Record(status);
    return result == 0;
  }

  // Waits for the end; returns the signal that ended the process, 0 for a normal exit.
  int WaitForEnd() {
    int status = 0;
    while (!reaped_ && ::waitpid(pid_, &status, 0) == pid_) Record(status);
    return signal_;
  }

 private:
  void Record(int status) {
    reaped_ = true;
    signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }

  pid_t pid_ = 0;
  bool reaped_ = false;
  int signal_ = 0;
};

}  // namespace quillstone::testing
