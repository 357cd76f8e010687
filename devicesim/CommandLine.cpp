#include "devicesim/CommandLine.h"

#include <quillstone/Version.h>
#include <charconv>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>

namespace quillstone::devsim {
namespace {

constexpr std::uint16_t kDefaultPort = 4370;

template <typename Number>
Number ParseNumber(std::string_view option, std::string_view text, Number lowest, Number highest) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < lowest ||
      value > highest) {
    throw std::invalid_argument(std::string(option) + ": expected a number from " +
                                std::to_string(lowest) + " to " + std::to_string(highest) +
                                ", got '" + std::string(text) + "'");
  }
  return static_cast<Number>(value);
}

void ParseListen(std::string_view text, SimulatorConfig& config) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    throw std::invalid_argument("--listen: expected ADDR:PORT, got '" + std::string(text) + "'");
  }
  config.listenAddress = std::string(text.substr(0, colon));
  config.port = ParseNumber<std::uint16_t>("--listen", text.substr(colon + 1), 0, 65535);
}

void ParseRefusal(std::string_view text, SimulatorConfig& config) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    throw std::invalid_argument("--refuse: expected NAME:COUNT, got '" + std::string(text) + "'");
  }
  config.faults.refusals[std::string(text.substr(0, colon))] =
      ParseNumber<int>("--refuse", text.substr(colon + 1), 0, std::numeric_limits<int>::max());
}

}  // namespace

SimulatorConfig DefaultProgramConfig() {
  SimulatorConfig config;
  config.port = kDefaultPort;
  return config;
}

CommandLine ParseCommandLine(std::span<const std::string_view> args) {
  CommandLine parsed;
  SimulatorConfig& config = parsed.config;
  config = DefaultProgramConfig();
  std::string faultOption;  // the last fault option given, which --chaos excludes
  bool chaosDelayGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view option = args[i];
    std::optional<std::string_view> attached;
    if (const std::size_t equals = option.find('=');
        option.starts_with("--") && equals != std::string_view::npos) {
      attached = option.substr(equals + 1);
      option = option.substr(0, equals);
    }
    const auto value = [&]() -> std::string_view {
      if (attached) return *attached;
      if (i + 1 >= args.size()) {
        throw std::invalid_argument(std::string(option) + ": missing value");
      }
      return args[++i];
    };
    const auto noValue = [&] {
      if (attached) throw std::invalid_argument(std::string(option) + " takes no value");
    };

    if (option == "--help" || option == "-h") {
      noValue();
      parsed.showHelp = true;
    } else if (option == "--version") {
      noValue();
      parsed.showVersion = true;
    } else if (option == "--listen") {
      ParseListen(value(), config);
      config.link = LinkKind::kTcp;
    } else if (option == "--serial") {
      config.serialPath = std::string(value());
      config.link = LinkKind::kSerialDevice;
    } else if (option == "--pty") {
      noValue();
      config.link = LinkKind::kPty;
    } else if (option == "--baud") {
      config.baud =
          ParseNumber<std::int32_t>(option, value(), 1, std::numeric_limits<std::int32_t>::max());
    } else if (option == "--device-number") {
      config.deviceNumber = ParseNumber<std::uint16_t>(option, value(), 0, 65535);
    } else if (option == "--os") {
      config.osValue = std::string(value());
    } else if (option == "--state") {
      config.stateFile = std::string(value());
    } else if (option == "--log") {
      config.logFile = std::string(value());
    } else if (option == "--refuse") {
      faultOption = option;
      ParseRefusal(value(), config);
    } else if (option == "--delay") {
      faultOption = option;
      config.faults.replyDelay = std::chrono::milliseconds(
          ParseNumber<int>(option, value(), 0, std::numeric_limits<int>::max()));
    } else if (option == "--silent") {
      faultOption = option;
      noValue();
      config.faults.silent = true;
    } else if (option == "--close-after") {
      faultOption = option;
      config.faults.closeAfterCommands =
          ParseNumber<int>(option, value(), 1, std::numeric_limits<int>::max());
    } else if (option == "--devices") {
      parsed.devices = ParseNumber<int>(option, value(), 1, 65535);
    } else if (option == "--drop-at-restart") {
      faultOption = option;
      config.faults.dropAtRestart.emplace_back(value());
    } else if (option == "--corrupt-replies") {
      faultOption = option;
      config.faults.corruptReplies =
          ParseNumber<int>(option, value(), 0, std::numeric_limits<int>::max());
    } else if (option == "--chaos") {
      parsed.chaosSeed = static_cast<std::uint64_t>(
          ParseNumber<long long>(option, value(), 0, std::numeric_limits<long long>::max()));
    } else if (option == "--chaos-delay") {
      parsed.chaosDelay = std::chrono::milliseconds(
          ParseNumber<int>(option, value(), 0, std::numeric_limits<int>::max()));
      chaosDelayGiven = true;
    } else {
      throw std::invalid_argument("unknown option '" + std::string(args[i]) + "'");
    }
  }
  if (parsed.chaosSeed && !faultOption.empty()) {
    throw std::invalid_argument("--chaos draws every device's fault; it does not combine with " +
                                faultOption);
  }
  if (chaosDelayGiven && !parsed.chaosSeed) {
    throw std::invalid_argument("--chaos-delay: only with --chaos");
  }
  return parsed;
}

std::string ChaosSummary(const CommandLine& commandLine) {
  if (!commandLine.chaosSeed) return {};
  std::map<ChaosKind, int> counts;
  for (int index = 0; index < commandLine.devices; ++index) {
    ++counts[DrawChaosFault(*commandLine.chaosSeed, static_cast<std::size_t>(index)).kind];
  }
  std::string summary = "chaos seed " + std::to_string(*commandLine.chaosSeed) + ":";
  const char* separator = " ";
  for (const ChaosKind kind : AllChaosKinds()) {
    if (counts[kind] == 0) continue;
    summary += separator + std::to_string(counts[kind]) + " " + std::string(ChaosKindName(kind));
    separator = ", ";
  }
  return summary;
}

namespace {

// The device at this place in the fleet with its drawn fault, when the fleet is a chaos one.
SimulatorConfig WithChaos(SimulatorConfig config, const CommandLine& commandLine,
                          std::size_t index) {
  if (!commandLine.chaosSeed) return config;
  const ChaosFault fault = DrawChaosFault(*commandLine.chaosSeed, index, commandLine.chaosDelay);
  config.faults = fault.Settings();
  config.faultNote = fault.Describe();
  return config;
}

}  // namespace

std::vector<SimulatorConfig> DeviceConfigs(const CommandLine& commandLine) {
  const SimulatorConfig& base = commandLine.config;
  if (commandLine.devices == 1) return {WithChaos(base, commandLine, 0)};
  if (base.link != LinkKind::kTcp) throw std::invalid_argument("--devices: TCP only");
  if (base.port == 0 || base.port + commandLine.devices - 1 > 65535) {
    throw std::invalid_argument("--devices: " + std::to_string(commandLine.devices) +
                                " consecutive ports from " + std::to_string(base.port) +
                                " do not fit in 1..65535");
  }
  std::vector<SimulatorConfig> configs;
  for (int index = 0; index < commandLine.devices; ++index) {
    SimulatorConfig config = base;
    config.port = static_cast<std::uint16_t>(base.port + index);
    if (!base.stateFile.empty()) {
      config.stateFile = base.stateFile / ("device-" + std::to_string(config.port) + ".state");
    }
    config.logNamesPort = true;
    configs.push_back(WithChaos(std::move(config), commandLine, static_cast<std::size_t>(index)));
  }
  return configs;
}

std::string UsageText() {
  return R"(Usage: quillstone-devsim [OPTIONS]

Simulates a device (or a fleet of them) speaking the capstan wire protocol (see capstan/PROTOCOL.md), over TCP or
a serial line, until SIGINT or SIGTERM.

Link (one of; TCP by default):
  --listen ADDR:PORT    listen on this IPv4 address and TCP port (default 127.0.0.1:4370;
                        port 0 picks a free one). One client at a time: a second client is
                        accepted and closed at once.
  --pty                 create a pseudo-terminal and print the path clients open
  --serial PATH         serve on an existing terminal device
  --baud N              rate for --serial (default 115200)

Device:
  --device-number N     the device's number, 0 to 65535 (default 1); over a serial line it
                        answers only requests addressed to it
  --os VALUE            value of the "~OS" option (default empty). When empty or NONE, values of
                        options named "~..." arrive scrambled and are recovered before storing
  --devices N           serve N devices on N consecutive ports from the --listen port, each
                        with its own option store; the log names the port on every line
  --state FILE          option store: loaded at start, rewritten atomically after every change;
                        with --devices a folder holding one file per port, device-PORT.state
  --log FILE            append one line per command (time, code, request text, reply code) and
                        per event (connect, disconnect, restart)

Faults, for testing clients:
  --refuse NAME:N       refuse the next N writes of option NAME (repeatable)
  --delay MS            delay every reply by MS milliseconds
  --silent              receive commands but never answer, not even the handshake
  --close-after N       drop the TCP client after answering N commands
  --corrupt-replies N   send the next N command replies with a broken checksum
  --drop-at-restart NAME  the store loses option NAME at every restart (repeatable)

Faults apply to every device of a fleet.

Chaos fleet (in place of the fault options above):
  --chaos SEED          give each device a fault drawn from SEED and its place in the fleet:
                        healthy, slow, refuse, refuse-always, drop, corrupt, silent or
                        lose-at-restart, every kind once in each 8 consecutive devices. The
                        log's start line of each device names its fault and whether it is
                        transient (wears off, so a client trying again reaches the device) or
                        permanent; the program lists how many devices have each
  --chaos-delay MS      a slow device's reply delay (default 1200: past a client's 1000 ms
                        read timeout, within its 2000 ms write timeout)

  -h, --help            show this text
      --version         show the program's version

Prints one line saying where it can be reached, then serves.
)";
}

std::string VersionText() {
  return std::string("quillstone-devsim ") + kVersion + "\n";
}

}  // namespace quillstone::devsim
