#include "cli/CommandLine.h"

#include <quillstone/Version.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "cli/FleetRun.h"
#include "cli/InputError.h"
#include "cli/InputFiles.h"
#include "cli/ReadAndTest.h"
#include "cli/Report.h"
#include "cli/RunInputs.h"
#include "platform/AppError.h"

namespace quillstone::cli {
namespace {

constexpr int kDefaultJobs = 16;
constexpr int kMostJobs = 1024;  // the library's limit of open connections
constexpr double kDefaultVerifyTimeoutSeconds = 60;
constexpr double kLongestVerifyTimeoutSeconds = 3600;

// The options every fleet command shares.
struct FleetArguments {
  std::vector<std::string> devices;
  std::string deviceList;
  int jobs = kDefaultJobs;
  std::string reportFile;
  bool showSecrets = false;
  bool quiet = false;
  bool json = false;
};

struct ApplyArguments {
  FleetArguments fleet;
  std::string optionsFile;
  bool noRestart = false;
  std::string restart = "always";
  bool verify = false;
  double verifyTimeoutSeconds = kDefaultVerifyTimeoutSeconds;
  bool check = false;
  std::string onlyFailed;
  bool allowUnknownOptions = false;
};

struct ReadArguments {
  FleetArguments fleet;
  std::vector<std::string> words;  // DEVICE NAME..., or NAME... with --devices
};

struct TestArguments {
  FleetArguments fleet;
};

RestartPolicy PolicyNamed(const std::string& name) {
  if (name == "changed") return RestartPolicy::kChanged;
  if (name == "never") return RestartPolicy::kNever;
  return RestartPolicy::kAlways;
}

std::string MaskedOption(const std::string& option, bool showSecrets) {
  const std::size_t equals = option.find('=');
  if (equals == std::string::npos) return option;
  const std::string name = option.substr(0, equals);
  return name + "=" + ShownValue(name, option.substr(equals + 1), showSecrets);
}

DeviceSource SourceOf(const FleetArguments& fleet) {
  return {fleet.devices, fleet.deviceList};
}

double SecondsSince(SteadyClock::time_point start, const ClockNow& now) {
  return std::chrono::duration<double>(now() - start).count();
}

// One run of a command: its inputs checked before any device is contacted, the devices worked
// through with progress, then the table, the report and the exit code.
class Run {
 public:
  explicit Run(CliEnvironment& environment)
      : env_(environment), out_(*environment.out), err_(*environment.err) {}

  int Apply(const ApplyArguments& arguments) {
    const FleetArguments& fleet = arguments.fleet;
    RunRecord record;
    record.command = arguments.check ? "check" : "apply";
    record.started = UtcNow();
    std::vector<DeviceJob> jobs;
    const int bad = Prepared([&] {
      CheckOutputPath("--report", fleet.reportFile,
                      {arguments.optionsFile, fleet.deviceList, arguments.onlyFailed});
      const InputRules rules{.allowUnknownOptions = arguments.allowUnknownOptions};
      const OptionList base = ReadOptionsFile(arguments.optionsFile, rules);
      for (const std::string& option : base) {
        record.options.push_back(MaskedOption(option, fleet.showSecrets));
      }
      std::optional<std::vector<std::string>> onlyThese;
      if (!arguments.onlyFailed.empty()) onlyThese = FailedDevicesOfReport(arguments.onlyFailed);
      jobs = BuildJobs(SourceOf(fleet), base, rules, onlyThese);
      CheckJobsFit(fleet.jobs, jobs.size());
    });
    if (bad != kExitSuccess) return bad;
    record.inputs = HashInputs({arguments.optionsFile, fleet.deviceList, arguments.onlyFailed});
    record.jobs = fleet.jobs;
    record.restart = arguments.check || arguments.noRestart ? "never" : arguments.restart;
    record.verify = arguments.verify && !arguments.check;

    ApplySettings settings;
    settings.restart = PolicyNamed(record.restart);
    settings.verify = record.verify;
    settings.check = arguments.check;
    settings.showSecrets = fleet.showSecrets;
    settings.verifyTimeout =
        std::chrono::milliseconds(static_cast<std::int64_t>(arguments.verifyTimeoutSeconds * 1000));
    settings.interrupted = [this] { return Interruption() != 0; };
    settings.runStart = env_.now();
    const std::vector<DeviceReport> reports = Work(fleet, jobs, [&](const DeviceJob& job) {
      return ApplyToDevice(job, settings, env_.services, env_.now);
    });
    record.ended = UtcNow();
    record.interrupted = Interruption() != 0;
    return Finish(fleet, reports, record, Human(fleet), fleet.quiet);
  }

  int Read(const ReadArguments& arguments) {
    const FleetArguments& fleet = arguments.fleet;
    std::vector<std::string> names = arguments.words;
    std::vector<DeviceJob> jobs;
    const int bad = Prepared([&] {
      CheckOutputPath("--report", fleet.reportFile, {fleet.deviceList});
      if (fleet.deviceList.empty()) {
        if (names.size() < 2) throw UsageError("read: DEVICE and at least one NAME are needed");
        jobs.push_back({ParseDeviceAddress(names.front(), "device argument 1"), {}});
        names.erase(names.begin());
      } else {
        if (names.empty()) throw UsageError("read: at least one NAME is needed");
        jobs = BuildJobs(SourceOf(fleet), {}, {});
      }
      CheckJobsFit(fleet.jobs, jobs.size());
    });
    if (bad != kExitSuccess) return bad;
    std::vector<ReadResult> results(jobs.size());
    const std::vector<DeviceReport> reports = Work(
        fleet, jobs,
        [&](const DeviceJob& job) {
          const auto index = static_cast<std::size_t>(&job - jobs.data());
          const SteadyClock::time_point start = env_.now();
          results[index] = ReadFromDevice(job.address, names, env_.services);
          return ReadReport(job, results[index], names.size(), SecondsSince(start, env_.now));
        },
        /*dataOnStdout=*/true);
    if (fleet.deviceList.empty()) {
      const ReadResult& result = results.front();
      if (!result.connected) return DeviceFailed(jobs.front().address.Name(), kCannotConnect);
      Print(ReadLines(result, fleet.showSecrets));
      for (const std::string& name : result.failed) {
        err_ << "quillstone-cli: " << name << ": the device did not answer the read\n";
      }
      return Exit(result.failed.empty() ? kExitSuccess : kExitDeviceFailed);
    }
    bool secretsLeftOut = false;
    Print(ReadCsv(jobs, names, results, fleet.showSecrets, secretsLeftOut));
    if (secretsLeftOut) err_ << "quillstone-cli: secret values left out (--show-secrets)\n";
    return Finish(fleet, reports, DataRecord(fleet, "read"), err_, /*quiet=*/true);
  }

  int Test(const TestArguments& arguments) {
    const FleetArguments& fleet = arguments.fleet;
    std::vector<DeviceJob> jobs;
    const int bad = Prepared([&] {
      CheckOutputPath("--report", fleet.reportFile, {fleet.deviceList});
      jobs = BuildJobs(SourceOf(fleet), {}, {});
      if (fleet.deviceList.empty() && jobs.size() != 1) {
        throw UsageError("test: one DEVICE, or --devices LIST");
      }
      CheckJobsFit(fleet.jobs, jobs.size());
    });
    if (bad != kExitSuccess) return bad;
    const std::vector<DeviceReport> reports = Work(
        fleet, jobs,
        [&](const DeviceJob& job) {
          const SteadyClock::time_point start = env_.now();
          const bool answered = TestDevice(job.address, env_.services);
          return TestReport(
              job, answered,
              std::chrono::duration_cast<std::chrono::milliseconds>(env_.now() - start));
        },
        /*dataOnStdout=*/true);
    if (fleet.deviceList.empty()) {
      const DeviceReport& report = reports.front();
      if (!Succeeded(report)) return DeviceFailed(report.device, report.problem);
      Print(report.device + ": connect succeed\n");
      return Exit(kExitSuccess);
    }
    Print(TestCsv(reports));
    return Finish(fleet, reports, DataRecord(fleet, "test"), err_, /*quiet=*/true);
  }

 private:
  int Interruption() const { return env_.interruption ? env_.interruption() : 0; }

  // The one place where bad input ends a run before any device is contacted: the message,
  // "Nothing was sent", exit 2. kExitSuccess when `prepare` went through.
  template <typename Prepare>
  int Prepared(Prepare prepare) {
    try {
      prepare();
      return kExitSuccess;
    } catch (const InputError& error) {
      return BadInput(error.what());
    } catch (const UsageError& error) {
      return BadInput(error.what());
    } catch (const AppError& error) {
      return BadInput(error.what());
    }
  }

  int BadInput(const std::string& what) {
    err_ << "quillstone-cli: " << what << "\nNothing was sent to any device.\n";
    return kExitUsage;
  }

  // The record of a read or test run: its device list, no options asked.
  RunRecord DataRecord(const FleetArguments& fleet, const std::string& command) const {
    RunRecord record;
    record.command = command;
    record.started = started_;
    record.ended = UtcNow();
    record.inputs = HashInputs({fleet.deviceList});
    record.jobs = fleet.jobs;
    record.restart = "never";
    record.interrupted = Interruption() != 0;
    return record;
  }

  void CheckJobsFit(int jobs, std::size_t devices) const {
    if (!env_.jobsDoNotFit) return;
    const int atOnce =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(jobs), devices));
    const std::string why = env_.jobsDoNotFit(atOnce);
    if (!why.empty()) throw UsageError(why);
  }

  // Human output goes to stderr when stdout carries the report for a script.
  std::ostream& Human(const FleetArguments& fleet) const {
    return fleet.json || fleet.reportFile == kStdout ? err_ : out_;
  }

  // `dataOnStdout`: read and test print their results there, so progress goes to stderr, and
  // for a single device there is none.
  std::vector<DeviceReport> Work(const FleetArguments& fleet, const std::vector<DeviceJob>& jobs,
                                 const std::function<DeviceReport(const DeviceJob&)>& work,
                                 bool dataOnStdout = false) {
    ProgressShown shown;
    shown.live = env_.terminal && !dataOnStdout && !fleet.json && fleet.reportFile != kStdout;
    shown.out = !dataOnStdout ? &Human(fleet) : fleet.deviceList.empty() ? nullptr : &err_;
    shown.quiet = fleet.quiet;
    shown.redrawEvery = env_.redrawEvery;
    return RunWithProgress(jobs, fleet.jobs, work, shown, env_.services, env_.now,
                           [this] { return Interruption() != 0; });
  }

  // The table, then the report where asked; a report that could not be written fails the run.
  int Finish(const FleetArguments& fleet, const std::vector<DeviceReport>& reports,
             const RunRecord& record, std::ostream& table, bool quiet) {
    WriteSummaryTable(table, reports, quiet);
    bool allSucceeded = std::all_of(reports.begin(), reports.end(),
                                    [](const DeviceReport& report) { return Succeeded(report); });
    if (fleet.json) Print(JsonReport(reports, record));
    if (fleet.reportFile == kStdout) {
      if (!fleet.json) Print(CsvReport(reports));
    } else if (!fleet.reportFile.empty()) {
      try {
        WriteReportFile(fleet.reportFile, reports, record);
      } catch (const AppError& error) {
        err_ << "quillstone-cli: " << error.what() << '\n';
        allSucceeded = false;
      }
    }
    return Exit(allSucceeded ? kExitSuccess : kExitDeviceFailed);
  }

  int DeviceFailed(const std::string& device, const std::string& problem) {
    err_ << "quillstone-cli: " << device << ": " << problem << '\n';
    return Exit(kExitDeviceFailed);
  }

  void Print(const std::string& text) {
    out_ << text;
    out_.flush();
  }

  // A signal decides the exit code; a stdout that could not take the output fails the run.
  int Exit(int code) {
    out_.flush();
    if (!out_) {
      err_ << "quillstone-cli: the standard output could not be written\n";
      if (code == kExitSuccess) code = kExitDeviceFailed;
    }
    const int signal = Interruption();
    return signal != 0 ? kExitInterruptedBase + signal : code;
  }

  CliEnvironment& env_;
  std::ostream& out_;
  std::ostream& err_;
  std::string started_ = UtcNow();
};

void AddFleetOptions(CLI::App& command, FleetArguments& fleet, bool devicePositional) {
  CLI::Option* list = command.add_option(
      "--devices", fleet.deviceList,
      "CSV file: a device column, further columns named after options override them per row");
  if (devicePositional) {
    command.add_option("DEVICE", fleet.devices, "Devices")->excludes(list);
  }
  command.add_option("--jobs", fleet.jobs, "Devices at once over TCP (default 16)")
      ->check(CLI::Range(1, kMostJobs));
  command.add_option("--report", fleet.reportFile,
                     "Write the results to FILE (.json: JSON, otherwise CSV; - for stdout)");
  command.add_flag("--show-secrets", fleet.showSecrets,
                   "Show passphrases, WEP keys and scrambled options in clear text");
  command.add_flag("--quiet", fleet.quiet, "Only the failures and the summary");
  command.add_flag("--json", fleet.json, "The JSON report on stdout (the rest on stderr)");
}

// Finite, 0 to 3600: NaN and infinities pass a plain range check.
std::string CheckVerifyTimeout(const std::string& text) {
  try {
    std::size_t used = 0;
    const double seconds = std::stod(text, &used);
    if (used == text.size() && std::isfinite(seconds) && seconds >= 0 &&
        seconds <= kLongestVerifyTimeoutSeconds) {
      return {};
    }
  } catch (const std::exception&) {
  }
  return "--verify-timeout: seconds from 0 to 3600, not " + text;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, CliEnvironment& environment) {
  CLI::App app{"Reads, applies and verifies device options, for one device or a whole site.",
               "quillstone-cli"};
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", std::string("quillstone-cli ") + kVersion);
  app.footer(
      "DEVICE: tcp:HOST[:PORT] (port 4370 by default) or serial:PORT[,device=N][,baud=B]\n"
      "(PORT as COMn, or a path on Linux; device 1 and 115200 baud by default).\n"
      "Exit codes: 0 every device succeeded, 1 a device failed, 2 usage error or bad input,\n"
      "130 / 143 interrupted by Ctrl+C / SIGTERM (the devices in flight were finished).");

  ReadArguments read;
  CLI::App* readCommand = app.add_subcommand(
      "read", "Read options: name=value lines for one DEVICE, or a CSV row per device");
  readCommand->add_option("WORDS", read.words, "DEVICE NAME..., or NAME... with --devices")
      ->required();
  AddFleetOptions(*readCommand, read.fleet, false);

  ApplyArguments apply;
  CLI::App* applyCommand =
      app.add_subcommand("apply", "Write an option list to every device, as the window's apply");
  applyCommand
      ->add_option("--options", apply.optionsFile,
                   "options.ini as the window writes it, or name=value lines")
      ->required();
  AddFleetOptions(*applyCommand, apply.fleet, true);
  CLI::Option* noRestart =
      applyCommand->add_flag("--no-restart", apply.noRestart, "The same as --restart never");
  applyCommand
      ->add_option("--restart", apply.restart,
                   "After full success: always (default), changed (only when an option was "
                   "written) or never")
      ->check(CLI::IsMember({"always", "changed", "never"}))
      ->excludes(noRestart);
  applyCommand->add_flag("--verify", apply.verify,
                         "Wait for the restarted device, read every option back and compare");
  applyCommand
      ->add_option("--verify-timeout", apply.verifyTimeoutSeconds,
                   "Seconds to wait for the device after the restart (default 60)")
      ->check(CLI::Validator(CheckVerifyTimeout, "SECONDS"));
  applyCommand->add_flag("--check", apply.check,
                         "Read and print what would change; write nothing, restart nothing");
  applyCommand->add_flag("--allow-unknown-options", apply.allowUnknownOptions,
                         "Send option names the wireless and modem pages do not write");
  applyCommand->add_option("--only-failed", apply.onlyFailed,
                           "Only the devices that did not succeed in this earlier JSON report");

  TestArguments test;
  CLI::App* testCommand =
      app.add_subcommand("test", "Connection test: open, 1003, 1002, 1002, 1014, close");
  AddFleetOptions(*testCommand, test.fleet, true);

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    if (!readCommand->parsed() && !applyCommand->parsed() && !testCommand->parsed()) {
      throw CLI::RequiredError("a command (read, apply or test)");
    }
    if (applyCommand->parsed() && apply.fleet.devices.empty() && apply.fleet.deviceList.empty() &&
        apply.onlyFailed.empty()) {
      throw CLI::RequiredError("DEVICE or --devices");
    }
    if (testCommand->parsed() && test.fleet.devices.empty() && test.fleet.deviceList.empty()) {
      throw CLI::RequiredError("DEVICE or --devices");
    }
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, *environment.out, *environment.err);
    return code == 0 ? kExitSuccess : kExitUsage;
  }

  Run run(environment);
  if (readCommand->parsed()) return run.Read(read);
  if (applyCommand->parsed()) return run.Apply(apply);
  return run.Test(test);
}

}  // namespace quillstone::cli
