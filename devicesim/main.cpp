// quillstone-devsim: the device simulator as a program.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <vector>

#include "devicesim/CommandLine.h"
#include "devicesim/Simulator.h"

int main(int argc, char** argv) {
  using namespace quillstone::devsim;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  CommandLine commandLine;
  try {
    commandLine = ParseCommandLine(args);
  } catch (const std::exception& error) {
    std::cerr << "quillstone-devsim: " << error.what() << "\nTry --help.\n";
    return 2;
  }
  if (commandLine.showHelp) {
    std::cout << UsageText();
    return 0;
  }

  // Blocked before the serving thread starts, so that only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  Simulator simulator(commandLine.config);
  try {
    simulator.Start();
  } catch (const std::exception& error) {
    std::cerr << "quillstone-devsim: " << error.what() << '\n';
    return 1;
  }
  std::cout << "quillstone-devsim: " << simulator.Describe() << std::endl;

  int received = 0;
  sigwait(&stopSignals, &received);
  simulator.Stop();
  std::cout << "quillstone-devsim: stopped" << std::endl;
  return 0;
}
