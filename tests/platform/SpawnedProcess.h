#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillstone::testing {

// The test helper program (in the folder of the running test program) that sleeps for the
// seconds given as its one argument and then exits with kSleeperExitCode. Tests that end
// processes start copies of it under the names they need.
std::string SleeperProgram();
inline constexpr int kSleeperExitCode = 3;

// A child process started by the test itself, ended and reaped at the latest by the destructor,
// so a test never leaves a process or a zombie behind.
class SpawnedProcess {
 public:
  // Starts `executable`, whatever its name and extension; `arguments` (UTF-8) begin with the
  // name the program sees as its own. With an `outputFile`, the program's standard output and
  // error both go to it (created or emptied).
  SpawnedProcess(const std::string& executable, const std::vector<std::string>& arguments,
                 const std::string& outputFile = {});
  ~SpawnedProcess();
  SpawnedProcess(const SpawnedProcess&) = delete;
  SpawnedProcess& operator=(const SpawnedProcess&) = delete;

  // The id the system's process table knows it by.
  std::int64_t id() const;

  // True while the process has not ended.
  bool IsRunning();

  enum class Ending {
    kByItself,
    // Ended from outside the way ProcessTable::Terminate ends a process: by SIGKILL on POSIX,
    // with exit code 0 on Windows (the sleeper never exits with 0 by itself).
    kTerminated,
  };
  Ending WaitForEnd();
  // Waits for the end; the program's exit code (128 + the signal on POSIX when one ended it).
  int ExitCode();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace quillstone::testing
