// quillstone-devsim: the device simulator as a program.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <list>
#include <string>
#include <vector>

#include "devicesim/CommandLine.h"
#include "devicesim/Simulator.h"
#include "devicesim/StopRequest.h"

int main(int argc, char** argv) {
  using namespace quillstone::devsim;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  CommandLine commandLine;
  std::vector<SimulatorConfig> configs;
  try {
    commandLine = ParseCommandLine(args);
    if (!commandLine.showHelp && !commandLine.showVersion) configs = DeviceConfigs(commandLine);
  } catch (const std::exception& error) {
    std::cerr << "quillstone-devsim: " << error.what() << "\nTry --help.\n";
    return 2;
  }
  if (commandLine.showHelp) {
    std::cout << UsageText();
    return 0;
  }
  if (commandLine.showVersion) {
    std::cout << VersionText();
    return 0;
  }

  PrepareForStopRequest();

  // A list, as simulators neither copy nor move.
  std::list<Simulator> simulators;
  try {
    if (commandLine.devices > 1 && !commandLine.config.stateFile.empty()) {
      std::filesystem::create_directories(commandLine.config.stateFile);
    }
    for (const SimulatorConfig& config : configs) simulators.emplace_back(config).Start();
  } catch (const std::exception& error) {
    std::cerr << "quillstone-devsim: " << error.what() << '\n';
    return 1;
  }
  if (simulators.size() == 1) {
    std::cout << "quillstone-devsim: " << simulators.front().Describe() << std::endl;
  } else {
    std::cout << "quillstone-devsim: " << simulators.size() << " devices, "
              << simulators.front().Describe() << " to port " << simulators.back().Port()
              << std::endl;
  }
  if (const std::string chaos = ChaosSummary(commandLine); !chaos.empty()) {
    std::cout << "quillstone-devsim: " << chaos << std::endl;
  }

  WaitForStopRequest();
  for (Simulator& simulator : simulators) simulator.Stop();
  std::cout << "quillstone-devsim: stopped" << std::endl;
  return 0;
}
