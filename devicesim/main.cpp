// quillstone-devsim: the device simulator as a program.
#include <cstdio>
#include <exception>
#include <iostream>
#include <vector>

#include "devicesim/CommandLine.h"
#include "devicesim/Simulator.h"
#include "devicesim/StopRequest.h"

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

  PrepareForStopRequest();

  Simulator simulator(commandLine.config);
  try {
    simulator.Start();
  } catch (const std::exception& error) {
    std::cerr << "quillstone-devsim: " << error.what() << '\n';
    return 1;
  }
  std::cout << "quillstone-devsim: " << simulator.Describe() << std::endl;

  WaitForStopRequest();
  simulator.Stop();
  std::cout << "quillstone-devsim: stopped" << std::endl;
  return 0;
}
