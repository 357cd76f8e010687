#include "cli/CommandLine.h"

#include <quillstone/Version.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>

#include "cli/EarlierRun.h"
#include "cli/FleetRun.h"
#include "cli/InputError.h"
#include "cli/InputFiles.h"
#include "cli/Journal.h"
#include "cli/ReadAndTest.h"
#include "cli/Report.h"
#include "cli/RunInputs.h"
#include "platform/AppError.h"

namespace quillstone::cli {
namespace {

constexpr int kDefaultJobs = 16;
constexpr int kMostJobs = 1024;  // the library's limit of open connections
constexpr double kDefaultVerifyTimeoutSeconds = 60;
// Below a second the wait would end before a restarted device is back, and the read-back would
// compare nothing or, worse, the device as it was before the restart; 0 is refused, not taken
// for "no wait".
constexpr double kShortestVerifyTimeoutSeconds = 1;
constexpr double kLongestVerifyTimeoutSeconds = 3600;

constexpr const char* kOutputClosed =
    "quillstone-cli: the standard output was closed: stopping as on SIGTERM: the devices in "
    "flight finish their option and end their configuration; no new device starts\n";
constexpr const char* kJournalStop =
    ": stopping: the devices in flight finish their option and end their configuration; no new "
    "device starts\n";

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
  bool allowChangedInputs = false;
  std::string journalFile;
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
    std::optional<EarlierRun> earlier;
    const int bad = Prepared([&] {
      const std::vector<std::string> inputs = {arguments.optionsFile, fleet.deviceList,
                                               arguments.onlyFailed};
      CheckOutputPath("--report", fleet.reportFile, inputs);
      const std::string journalPath = JournalPath(arguments);
      std::vector<std::string> notOver = inputs;
      notOver.push_back(fleet.reportFile);
      CheckOutputPath("--journal", journalPath, notOver);
      const InputRules rules{.allowUnknownOptions = arguments.allowUnknownOptions,
                             .stop = [this] { return Interruption() != 0; }};
      const OptionList base = ReadOptionsFile(arguments.optionsFile, rules);
      for (const std::string& option : base) {
        record.options.push_back(MaskedOption(option, fleet.showSecrets));
      }
      record.inputs = HashInputs({{arguments.optionsFile, "options"},
                                  {fleet.deviceList, "devices"},
                                  {arguments.onlyFailed, "earlier run"}});
      if (!arguments.onlyFailed.empty()) {
        earlier = ReadEarlierRun(arguments.onlyFailed, rules.stop);
        if (!arguments.allowChangedInputs) {
          const std::optional<InputFile> list =
              fleet.deviceList.empty() ? std::nullopt : std::optional(record.inputs[1]);
          const std::string why = InputsDiffer(*earlier, record.inputs[0], list);
          if (!why.empty()) throw UsageError(why);
        }
      }
      const std::vector<std::string> unfinished =
          earlier ? earlier->Unfinished() : std::vector<std::string>{};
      // Every device of the earlier run finished and no list is given: nothing to do.
      const bool nothingLeft =
          earlier && unfinished.empty() && fleet.devices.empty() && fleet.deviceList.empty();
      if (!nothingLeft) jobs = BuildJobs(SourceOf(fleet), base, rules, unfinished);
      if (earlier) {
        std::erase_if(jobs, [&](const DeviceJob& job) { return earlier->Finished(job); });
      }
      CheckJobsFit(fleet.jobs, jobs.size());
      record.jobs = fleet.jobs;
      record.restart = arguments.check || arguments.noRestart ? "never" : arguments.restart;
      record.verify = arguments.verify && !arguments.check;
      if (!journalPath.empty()) {
        // No device is contacted without a journal that takes records.
        journal_ = std::make_unique<JournalWriter>(journalPath);
        journal_->RunStarted(record, jobs);
        if (!journal_->Failed().empty()) throw UsageError(journal_->Failed());
      }
    });
    if (bad != kExitSuccess) return bad;
    if (earlier) {
      for (const std::string& note : earlier->notes) err_ << "quillstone-cli: " << note << '\n';
      if (jobs.empty()) {
        err_ << "quillstone-cli: every device of " << earlier->path << " finished; nothing to do\n";
      }
    }

    ApplySettings settings;
    settings.restart = PolicyNamed(record.restart);
    settings.verify = record.verify;
    settings.check = arguments.check;
    settings.showSecrets = fleet.showSecrets;
    settings.verifyTimeout =
        std::chrono::milliseconds(static_cast<std::int64_t>(arguments.verifyTimeoutSeconds * 1000));
    settings.interrupted = [this] { return Stopping(); };
    settings.runStart = env_.now();
    if (journal_) {
      JournalWriter& journal = *journal_;
      settings.events.optionTaken = [&journal](const std::string& device,
                                               const OptionReport& option) {
        journal.OptionTaken(device, option);
      };
      settings.events.restarted = [&journal](const std::string& device) {
        journal.Restarted(device);
      };
      settings.events.configurationEnded = [&journal](const std::string& device) {
        journal.ConfigurationEnded(device);
      };
    }
    const std::vector<DeviceReport> reports = Work(fleet, jobs, [&](const DeviceJob& job) {
      // On the disk before the device is opened: a device with any write has its start there.
      if (journal_) journal_->DeviceStarted(job);
      DeviceReport report = ApplyToDevice(job, settings, env_.services, env_.now);
      if (journal_) journal_->DeviceFinished(report);
      return report;
    });
    record.ended = UtcNow();
    record.interrupted = Stopping();
    if (journal_) journal_->RunEnded(record);
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
        jobs = BuildJobs(SourceOf(fleet), {}, ReadingRules());
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
          return ReadReport(
              job, results[index], names.size(),
              std::chrono::duration_cast<std::chrono::milliseconds>(env_.now() - start));
        },
        /*dataOnStdout=*/true);
    if (fleet.deviceList.empty()) {
      const ReadResult& result = results.front();
      if (!result.connected) return DeviceFailed(reports.front().device, reports.front().problem);
      Print(ReadLines(result, fleet.showSecrets));
      for (const std::string& name : result.notSet) {
        err_ << "quillstone-cli: " << name << ": not set on the device\n";
      }
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
      jobs = BuildJobs(SourceOf(fleet), {}, ReadingRules());
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

  // No new device starts, and those in flight end after their option: a signal, a closed
  // standard output, or a journal that can no longer be written.
  bool Stopping() const {
    return Interruption() != 0 || outputClosed_.load() || (journal_ && journalBroken_.load());
  }

  // --journal, or beside a report file; none for --check, which writes nothing.
  static std::string JournalPath(const ApplyArguments& arguments) {
    if (arguments.check) return {};
    if (!arguments.journalFile.empty()) return arguments.journalFile;
    const std::string& report = arguments.fleet.reportFile;
    if (report.empty() || report == kStdout || IsStreamPath(report)) return {};
    return JournalBesideReport(report);
  }

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

  // A signal that stopped the reading of the input decides the exit code, as in a run.
  int BadInput(const std::string& what) {
    err_ << "quillstone-cli: " << what << "\nNothing was sent to any device.\n";
    const int signal = Interruption();
    return signal != 0 ? kExitInterruptedBase + signal : kExitUsage;
  }

  // The input rules of read and test: the defaults, the reading stopped by a signal.
  InputRules ReadingRules() const {
    InputRules rules;
    rules.stop = [this] { return Interruption() != 0; };
    return rules;
  }

  // The record of a read or test run: its device list, no options asked.
  RunRecord DataRecord(const FleetArguments& fleet, const std::string& command) const {
    RunRecord record;
    record.command = command;
    record.started = started_;
    record.ended = UtcNow();
    record.inputs = HashInputs({{fleet.deviceList, "devices"}});
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
    if (shown.out == &out_) {
      shown.outputFailed = [this] {
        if (Interruption() == 0) err_ << kOutputClosed;
        outputClosed_ = true;
      };
    }
    return RunWithProgress(jobs, fleet.jobs, work, shown, env_.services, env_.now, [this] {
      bool first = false;
      if (journal_ && !journalBroken_.load() && !journal_->Failed().empty() &&
          journalBroken_.compare_exchange_strong(first, true)) {
        err_ << "quillstone-cli: " << journal_->Failed() << kJournalStop;
      }
      return Stopping();
    });
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
    if (journal_ && !journal_->Failed().empty()) {
      if (!journalBroken_) err_ << "quillstone-cli: " << journal_->Failed() << '\n';
      allSucceeded = false;
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

  // A signal decides the exit code, then a standard output that could not take the output.
  int Exit(int code) {
    out_.flush();
    const int signal = Interruption();
    if (signal != 0) return kExitInterruptedBase + signal;
    if (!out_ || outputClosed_) {
      if (!outputClosed_) err_ << "quillstone-cli: the standard output could not be written\n";
      return kExitOutputClosed;
    }
    return code;
  }

  CliEnvironment& env_;
  std::ostream& out_;
  std::ostream& err_;
  std::string started_ = UtcNow();
  std::unique_ptr<JournalWriter> journal_;
  std::atomic<bool> journalBroken_{false};
  std::atomic<bool> outputClosed_{false};
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

// Finite, 1 to 3600: NaN and infinities pass a plain range check.
std::string CheckVerifyTimeout(const std::string& text) {
  try {
    std::size_t used = 0;
    const double seconds = std::stod(text, &used);
    if (used == text.size() && std::isfinite(seconds) && seconds >= kShortestVerifyTimeoutSeconds &&
        seconds <= kLongestVerifyTimeoutSeconds) {
      return {};
    }
  } catch (const std::exception&) {
  }
  return "--verify-timeout: seconds from 1 to 3600, not " + text +
         " (a restarted device needs that long to answer again; leave out --verify not to wait)";
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, CliEnvironment& environment) {
  CLI::App app{"Reads, applies and verifies device options, for one device or a whole site.",
               "quillstone-cli"};
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", std::string("quillstone-cli ") + kVersion);
  app.footer(
      std::string(
          "DEVICE: tcp:HOST[:PORT] (port 4370 by default) or serial:PORT[,device=N][,baud=B]\n"
          "(PORT as COMn, or a path on Linux; device 1 and 115200 baud by default).\n"
          "Input files (--options, --devices, --only-failed): regular files of at most ") +
      std::to_string(kLargestInputFile / (1024 * 1024)) +
      " MiB.\n"
      "Exit codes: 0 every device succeeded, 1 a device failed or the report or journal could\n"
      "not be written, 2 usage error or bad input (nothing sent), 3 stopped at once by a second\n"
      "Ctrl+C (devices in flight may hold part of their list: the journal says how far each\n"
      "got), 130 / 143 / 129 stopped by Ctrl+C / SIGTERM / SIGHUP (the devices in flight\n"
      "finished their option and ended their configuration), 141 the standard output was\n"
      "closed (the run stops as on SIGTERM).");

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
                   "Seconds to wait for the device after the restart, 1 to 3600 (default 60)")
      ->check(CLI::Validator(CheckVerifyTimeout, "SECONDS"));
  applyCommand->add_flag("--check", apply.check,
                         "Read and print what would change; write nothing, restart nothing");
  applyCommand->add_flag("--allow-unknown-options", apply.allowUnknownOptions,
                         "Send option names the wireless and modem pages do not write");
  applyCommand->add_option(
      "--only-failed", apply.onlyFailed,
      "Only the devices an earlier run did not finish: its JSON report, or its journal (also "
      "of a run that was killed); refused when the options file or site list differ from the "
      "ones it read (by SHA-256)");
  applyCommand->add_flag("--allow-changed-inputs", apply.allowChangedInputs,
                         "With --only-failed: go on although the options file or site list "
                         "differ; a device counts as finished only with the very list it gets now");
  applyCommand->add_option(
      "--journal", apply.journalFile,
      "Append every event of the run to FILE as it happens, synced to the disk per device "
      "(default: REPORT.journal beside a --report file); no values, secrets never");

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
