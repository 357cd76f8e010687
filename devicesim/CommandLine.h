#pragma once

#include <span>
#include <string>
#include <string_view>

#include "devicesim/Simulator.h"

namespace quillstone::devsim {

struct CommandLine {
  SimulatorConfig config;
  bool showHelp = false;
};

// The defaults of the command-line program: 127.0.0.1:4370, device 1.
SimulatorConfig DefaultProgramConfig();

// args: the arguments after the program name. Options take their value as the next argument or
// after "=". Throws std::invalid_argument naming the offending option.
CommandLine ParseCommandLine(std::span<const std::string_view> args);

std::string UsageText();

}  // namespace quillstone::devsim
