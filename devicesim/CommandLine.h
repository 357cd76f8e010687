#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devicesim/Chaos.h"
#include "devicesim/Simulator.h"

namespace quillstone::devsim {

struct CommandLine {
  SimulatorConfig config;
  bool showHelp = false;
  bool showVersion = false;
  // How many devices, on consecutive TCP ports from config.port; with more than one,
  // config.stateFile names a folder.
  int devices = 1;
  // A chaos fleet: each device's fault drawn from this seed (Chaos.h) in place of the fault
  // options, which it does not combine with.
  std::optional<std::uint64_t> chaosSeed;
  std::chrono::milliseconds chaosDelay = kDefaultChaosDelay;  // a slow device's reply delay
};

// One configuration per device of the command line: the given one alone, or for a fleet one
// per port with its own state file "<folder>/device-<port>.state" and the port on every log
// line; with --chaos each with the fault drawn for its place in the fleet. Throws
// std::invalid_argument when the ports would not fit or the link is not TCP.
std::vector<SimulatorConfig> DeviceConfigs(const CommandLine& commandLine);

// "chaos seed 7: 2 healthy, 1 slow, ..." for every kind of fault the fleet holds; empty without
// --chaos.
std::string ChaosSummary(const CommandLine& commandLine);

// The defaults of the command-line program: 127.0.0.1:4370, device 1.
SimulatorConfig DefaultProgramConfig();

// args: the arguments after the program name. Options take their value as the next argument or
// after "=". Throws std::invalid_argument naming the offending option.
CommandLine ParseCommandLine(std::span<const std::string_view> args);

std::string UsageText();

// "quillstone-devsim <version>" and a line end, from the project's one version.
std::string VersionText();

}  // namespace quillstone::devsim
