// Sleeps for the seconds given as its one argument (60 without one), then exits with 3: the
// process the termination tests start under other names and end.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/platform/SpawnedProcess.h"

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return quillstone::testing::kSleeperExitCode;
}
