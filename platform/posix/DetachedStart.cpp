#include "platform/posix/DetachedStart.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace quillstone::posix {
namespace {

bool IsExecutable(const std::string& path) {
  return ::access(path.c_str(), X_OK) == 0;
}

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return IsExecutable(name) ? name : std::string();
  const char* pathVariable = std::getenv("PATH");
  std::string searchPath = pathVariable != nullptr ? pathVariable : "/usr/bin:/bin";
  // Administration tools often live outside an ordinary user's PATH.
  searchPath += ":/usr/sbin:/sbin";
  std::string_view rest = searchPath;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (folder.empty()) continue;
    std::string candidate = std::string(folder) + "/" + name;
    if (IsExecutable(candidate)) return candidate;
  }
  return {};
}

// Runs in the grandchild: only async-signal-safe calls, since the parent may have threads.
[[noreturn]] void BecomeProgram(const char* program, char* const argv[]) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  setsid();
  const int nullFd = open("/dev/null", O_RDWR);
  if (nullFd >= 0) {
    dup2(nullFd, STDIN_FILENO);
    dup2(nullFd, STDOUT_FILENO);
    dup2(nullFd, STDERR_FILENO);
    if (nullFd > STDERR_FILENO) close(nullFd);
  }
  execve(program, argv, environ);
  _exit(127);
}

}  // namespace

bool StartDetached(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return false;
  const std::string program = FindProgram(arguments.front());
  if (program.empty()) return false;
  // Everything the children need is prepared before forking.
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const pid_t grandchild = fork();
    if (grandchild == 0) BecomeProgram(program.c_str(), argv.data());
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillstone::posix
