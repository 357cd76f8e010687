#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>

#include "cli/Fleet.h"
#include "cli/InputError.h"
#include "cli/InputFiles.h"
#include "cli/Report.h"
#include "platform/AppError.h"

namespace quillstone::cli {
namespace {

constexpr int kDefaultJobs = 16;
constexpr int kMostJobs = 1024;  // the library's limit of open connections
constexpr double kDefaultVerifyTimeoutSeconds = 60;

struct ApplyArguments {
  std::string optionsFile;
  std::vector<std::string> devices;
  std::string deviceList;
  int jobs = kDefaultJobs;
  bool noRestart = false;
  bool verify = false;
  double verifyTimeoutSeconds = kDefaultVerifyTimeoutSeconds;
  std::string reportFile;
  bool allowUnknownOptions = false;
};

struct ReadArguments {
  std::string device;
  std::vector<std::string> names;
};

class Run {
 public:
  explicit Run(CliEnvironment& environment)
      : env_(environment), out_(*environment.out), err_(*environment.err) {}

  int Apply(const ApplyArguments& arguments) {
    std::vector<DeviceJob> jobs;
    try {
      jobs = ApplyJobs(arguments);
    } catch (const InputError& error) {
      return BadInput(error);
    }
    std::vector<DeviceAddress> addresses;
    for (const DeviceJob& job : jobs) addresses.push_back(job.address);
    RunHousekeeping(addresses, env_.services);

    ApplySettings settings;
    settings.restart = !arguments.noRestart;
    settings.verify = arguments.verify;
    settings.verifyTimeout =
        std::chrono::milliseconds(static_cast<std::int64_t>(arguments.verifyTimeoutSeconds * 1000));
    ProgressDisplay progress(out_, env_.terminal, jobs.size(), env_.now);
    const std::vector<DeviceReport> reports = RunFleet(
        jobs, arguments.jobs,
        [&](const DeviceJob& job) { return ApplyToDevice(job, settings, env_.services, env_.now); },
        {.started = [&](const DeviceJob&) { progress.Started(); },
         .finished = [&](const DeviceReport& report) { progress.Finished(report); }});
    progress.Close();
    WriteSummaryTable(out_, reports);

    bool allSucceeded = std::none_of(reports.begin(), reports.end(), [](const DeviceReport& r) {
      return r.outcome == Outcome::kFailed;
    });
    if (!arguments.reportFile.empty()) {
      try {
        WriteReportFile(arguments.reportFile, reports);
      } catch (const AppError& error) {
        err_ << "quillstone-cli: " << error.what() << '\n';
        allSucceeded = false;
      }
    }
    return allSucceeded ? kExitSuccess : kExitDeviceFailed;
  }

  int Read(const ReadArguments& arguments) {
    DeviceAddress address;
    try {
      address = ParseDeviceAddress(arguments.device, "device argument 1");
    } catch (const InputError& error) {
      return BadInput(error);
    }
    RunHousekeeping({address}, env_.services);
    const ReadResult result = ReadFromDevice(address, arguments.names, env_.services);
    if (!result.connected) return CannotConnect(address);
    for (const std::string& line : result.lines) out_ << line << '\n';
    for (const std::string& name : result.failed) {
      err_ << "quillstone-cli: " << name << ": the device did not answer the read\n";
    }
    return result.failed.empty() ? kExitSuccess : kExitDeviceFailed;
  }

  int Test(const std::string& device) {
    DeviceAddress address;
    try {
      address = ParseDeviceAddress(device, "device argument 1");
    } catch (const InputError& error) {
      return BadInput(error);
    }
    RunHousekeeping({address}, env_.services);
    if (!TestDevice(address, env_.services)) return CannotConnect(address);
    out_ << address.Name() << ": connect succeed\n";
    return kExitSuccess;
  }

 private:
  static std::vector<DeviceJob> ApplyJobs(const ApplyArguments& arguments) {
    const InputRules rules{.allowUnknownOptions = arguments.allowUnknownOptions};
    const OptionList base = ReadOptionsFile(arguments.optionsFile, rules);
    const std::vector<DeviceEntry> entries = arguments.deviceList.empty()
                                                 ? ParseDeviceArguments(arguments.devices, rules)
                                                 : ReadDeviceList(arguments.deviceList, rules);
    RejectDuplicateDevices(entries);
    std::vector<DeviceJob> jobs;
    for (const DeviceEntry& entry : entries) {
      jobs.push_back({entry.address, OptionsFor(base, entry.overrides)});
      if (jobs.back().options.empty()) {
        throw InputError(entry.where, entry.column, "no options to write to this device");
      }
    }
    return jobs;
  }

  int BadInput(const InputError& error) {
    err_ << "quillstone-cli: " << error.what() << "\nNothing was sent to any device.\n";
    return kExitUsage;
  }

  int CannotConnect(const DeviceAddress& address) {
    err_ << "quillstone-cli: " << address.Name() << ": " << kCannotConnect << '\n';
    return kExitDeviceFailed;
  }

  CliEnvironment& env_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, CliEnvironment& environment) {
  CLI::App app{"Reads, applies and verifies device options, for one device or a whole site.",
               "quillstone-cli"};
  app.require_subcommand(1);
  app.footer(
      "DEVICE: tcp:HOST[:PORT] (port 4370 by default) or serial:PORT[,device=N][,baud=B]\n"
      "(PORT as COMn, or a path on Linux; device 1 and 115200 baud by default).\n"
      "Exit codes: 0 every device succeeded, 1 a device failed, 2 usage error or bad input.");

  ReadArguments read;
  CLI::App* readCommand = app.add_subcommand("read", "Read options and print name=value lines");
  readCommand->add_option("DEVICE", read.device, "The device")->required();
  readCommand->add_option("NAME", read.names, "Option names")->required();

  ApplyArguments apply;
  CLI::App* applyCommand =
      app.add_subcommand("apply", "Write an option list to every device, as the window's apply");
  applyCommand
      ->add_option("--options", apply.optionsFile,
                   "options.ini as the window writes it, or name=value lines")
      ->required();
  CLI::Option* deviceArguments = applyCommand->add_option("DEVICE", apply.devices, "Devices");
  CLI::Option* deviceList = applyCommand->add_option(
      "--devices", apply.deviceList,
      "CSV file: a device column, further columns named after options override them per row");
  deviceArguments->excludes(deviceList);
  applyCommand->add_option("--jobs", apply.jobs, "Devices at once over TCP (default 16)")
      ->check(CLI::Range(1, kMostJobs));
  applyCommand->add_flag("--no-restart", apply.noRestart, "Do not restart after full success");
  applyCommand->add_flag("--verify", apply.verify,
                         "Wait for the restarted device, read every option back and compare");
  applyCommand
      ->add_option("--verify-timeout", apply.verifyTimeoutSeconds,
                   "Seconds to wait for the device after the restart (default 60)")
      ->check(CLI::Range(0.0, 3600.0));
  applyCommand->add_option("--report", apply.reportFile, "Write the results to FILE.csv or .json");
  applyCommand->add_flag("--allow-unknown-options", apply.allowUnknownOptions,
                         "Send option names the wireless and modem pages do not write");

  std::string testDevice;
  CLI::App* testCommand =
      app.add_subcommand("test", "Connection test: open, 1003, 1002, 1002, 1014, close");
  testCommand->add_option("DEVICE", testDevice, "The device")->required();

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    if (applyCommand->parsed() && apply.devices.empty() && apply.deviceList.empty()) {
      throw CLI::RequiredError("DEVICE or --devices");
    }
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, *environment.out, *environment.err);
    return code == 0 ? kExitSuccess : kExitUsage;
  }

  Run run(environment);
  if (readCommand->parsed()) return run.Read(read);
  if (applyCommand->parsed()) return run.Apply(apply);
  return run.Test(testDevice);
}

}  // namespace quillstone::cli
