#include "cli/DeviceSession.h"

#include <algorithm>
#include <map>

#include "devicelink/DeviceConnection.h"
#include "devicelink/OptionNames.h"
#include "devicelink/PunParam.h"
#include "devicelink/SerialPortPath.h"
#include "platform/Text.h"

namespace quillstone::cli {
namespace {

constexpr std::chrono::milliseconds kFirstBackoff{200};
constexpr std::chrono::milliseconds kLongestBackoff{2000};
// The library fails a refused connection at once and gives up on a silent peer after 2.5 s.
constexpr std::chrono::milliseconds kOpeningGaveUp{2000};

double SecondsSince(SteadyClock::time_point start, const ClockNow& now) {
  return std::chrono::duration<double>(now() - start).count();
}

// Open, begin, the work, end, close; false when the opening failed.
template <typename Work>
bool InBracket(LinkConnection& link, const DeviceAddress& address, Work work) {
  if (!OpenDevice(link, address)) return false;
  link.BeginDeviceConfig();
  work();
  link.EndDeviceConfig();
  link.Close();
  return true;
}

// Name and wanted value per name, the last of a repeated name winning; names in first order.
struct WantedValues {
  std::map<std::string, std::string> value;
  std::vector<std::string> order;
};

WantedValues Wanted(const OptionList& options) {
  WantedValues wanted;
  for (const std::string& option : options) {
    const std::size_t equals = option.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    const std::string name = option.substr(0, equals);
    if (wanted.value.insert_or_assign(name, option.substr(equals + 1)).second) {
      wanted.order.push_back(name);
    }
  }
  return wanted;
}

// Held as the writer decides before it skips: the device's own answer, value or "no such
// option" (which reads as empty).
bool Holds(const LinkConnection& link, const std::string& read, const std::string& wanted) {
  return read == wanted && DeviceAnswered(link.LastReply());
}

std::string Quoted(const std::string& name, const std::string& value, bool showSecrets) {
  return SingleQuoted(ShownValue(name, value, showSecrets));
}

}  // namespace

void RunHousekeeping(const std::vector<DeviceAddress>& addresses, const LinkServices& services) {
  const auto on = [&](DeviceAddress::Transport transport) {
    return std::any_of(addresses.begin(), addresses.end(), [&](const DeviceAddress& address) {
      return address.transport == transport;
    });
  };
  if (on(DeviceAddress::Transport::kTcp)) services.arp->StartFlush(0);
  if (on(DeviceAddress::Transport::kSerial)) {
    KillProcessByName(*services.processes, kSerialWatcherName);
  }
}

bool OpenDevice(LinkConnection& link, const DeviceAddress& address) {
  if (address.transport == DeviceAddress::Transport::kTcp) {
    return link.OpenNetwork(address.host, address.port);
  }
  return link.OpenSerial(address.serialPort, address.deviceNumber, address.baud);
}

bool OpenWithBackoff(const std::function<bool()>& tryOpen, Sleeper& sleeper, const ClockNow& now,
                     std::chrono::milliseconds timeout) {
  const SteadyClock::time_point deadline = now() + timeout;
  std::chrono::milliseconds pause = kFirstBackoff;
  for (;;) {
    if (tryOpen()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now());
    if (left <= std::chrono::milliseconds::zero()) return false;
    sleeper.SleepMs(static_cast<int>(std::min(pause, left).count()));
    pause = std::min(pause * 2, kLongestBackoff);
  }
}

std::string ShownValue(const std::string& name, const std::string& value, bool showSecrets) {
  if (showSecrets || value.empty() || !IsSecretOption(name)) return value;
  return kMask;
}

std::string CannotConnectReason(const DeviceAddress& address,
                                std::chrono::milliseconds tookToFail) {
  if (address.transport == DeviceAddress::Transport::kSerial) {
    const std::string fault = SerialLineFault(address.serialPort);
    if (!fault.empty()) return std::string(kCannotConnect) + ": " + fault;
  }
  return std::string(kCannotConnect) +
         (tookToFail >= kOpeningGaveUp ? " (timed out)" : " (refused)");
}

std::string FailureText(OptionResult result) {
  switch (result) {
    case OptionResult::kRefused:
      return "refused by the device (twice)";
    case OptionResult::kNoAnswer:
      return "no answer within the timeout";
    case OptionResult::kConnectionClosed:
      return "connection closed";
    case OptionResult::kUnreadable:
      return "the device's answer was unreadable";
    case OptionResult::kNotSent:
      return "too long to send";
    case OptionResult::kWritten:
    case OptionResult::kUnchanged:
      break;
  }
  return {};
}

std::vector<std::string> FindMismatches(LinkConnection& link, const OptionList& options,
                                        bool showSecrets) {
  const WantedValues wanted = Wanted(options);
  std::vector<std::string> mismatches;
  for (const std::string& name : wanted.order) {
    const std::string& value = wanted.value.at(name);
    const std::string read = link.ReadOption(name);
    if (Holds(link, read, value)) continue;
    const std::string head = name + ": wanted " + Quoted(name, value, showSecrets);
    if (link.LastReply() != ReplyOk) {
      mismatches.push_back(head + ", the read failed (reply " + std::to_string(link.LastReply()) +
                           ")");
    } else {
      mismatches.push_back(head + ", read " + Quoted(name, read, showSecrets));
    }
  }
  return mismatches;
}

std::string ChangeText(const PlannedChange& change) {
  const std::string now = change.before           ? "'" + *change.before + "'"
                          : change.deviceAnswered ? std::string("(none)")
                                                  : std::string("(no answer)");
  return change.name + ": " + now + " -> '" + change.after + "'";
}

std::vector<PlannedChange> FindChanges(LinkConnection& link, const OptionList& options,
                                       bool showSecrets, bool& allRead) {
  const WantedValues wanted = Wanted(options);
  std::vector<PlannedChange> changes;
  allRead = true;
  for (const std::string& name : wanted.order) {
    const std::string& value = wanted.value.at(name);
    const std::string read = link.ReadOption(name);
    if (Holds(link, read, value)) continue;
    PlannedChange& change = changes.emplace_back();
    change.name = name;
    change.after = ShownValue(name, value, showSecrets);
    if (link.LastReply() == ReplyOk) {
      change.before = ShownValue(name, read, showSecrets);
    } else if (!DeviceAnswered(link.LastReply())) {
      change.deviceAnswered = false;
      allRead = false;
    }
  }
  return changes;
}

namespace {

OptionReport ReportOf(const OptionOutcome& option) {
  if (option.result == OptionResult::kWritten) return {option.name, "written", {}};
  if (option.result == OptionResult::kUnchanged) return {option.name, "unchanged", {}};
  return {option.name, "failed", FailureText(option.result)};
}

void SumUp(const BatchOutcome& batch, const OptionList& options, DeviceReport& report) {
  report.retries = batch.retries;
  const OptionOutcome* firstFailure = nullptr;
  for (const OptionOutcome& option : batch.options) {
    const OptionReport& line = report.optionResults.emplace_back(ReportOf(option));
    if (line.result == "written") {
      ++report.written;
    } else if (line.result == "unchanged") {
      ++report.unchanged;
    } else {
      ++report.failed;
      if (!firstFailure) firstFailure = &option;
    }
  }
  for (std::size_t i = batch.options.size(); i < options.size(); ++i) {
    report.optionResults.push_back({options[i].substr(0, options[i].find('=')), "not tried", {}});
  }
  if (firstFailure) {
    report.problem = firstFailure->name + ": " + FailureText(firstFailure->result);
    if (report.failed > 1) {
      report.problem += " (" + std::to_string(report.failed) + " of " +
                        std::to_string(report.options) + " options failed)";
    }
  }
}

bool Interrupted(const ApplySettings& settings) {
  return settings.interrupted && settings.interrupted();
}

bool ShouldRestart(const ApplySettings& settings, const BatchOutcome& batch,
                   const OptionList& options, int written) {
  if (batch.stopped || batch.written != static_cast<int>(options.size())) return false;
  switch (settings.restart) {
    case RestartPolicy::kAlways:
      return true;
    case RestartPolicy::kChanged:
      return written > 0;
    case RestartPolicy::kNever:
      return false;
  }
  return false;
}

}  // namespace

DeviceReport ApplyToDevice(const DeviceJob& job, const ApplySettings& settings,
                           const LinkServices& services, const ClockNow& now) {
  const SteadyClock::time_point start = now();
  DeviceReport report;
  report.device = job.address.Name();
  report.options = static_cast<int>(job.options.size());
  report.startSeconds = std::chrono::duration<double>(start - settings.runStart).count();
  LinkConnection link(services);
  BatchOutcome batch;
  bool allRead = true;
  bool restartLost = false;
  const bool opened = InBracket(link, job.address, [&] {
    if (settings.check) {
      report.changes = FindChanges(link, job.options, settings.showSecrets, allRead);
      return;
    }
    const DeviceEvents& events = settings.events;
    batch =
        link.WriteOptionList(job.options, settings.interrupted, [&](const OptionOutcome& option) {
          if (events.optionTaken) events.optionTaken(report.device, ReportOf(option));
        });
    SumUp(batch, job.options, report);
    if (ShouldRestart(settings, batch, job.options, report.written)) {
      // Stopped after its last option: no restart once the run is being interrupted.
      if (Interrupted(settings)) {
        batch.stopped = true;
      } else {
        link.RestartDevice();
        // Its reply is not examined, as in the window; but a restart the library could not
        // even send, the connection being gone, did not happen.
        restartLost = ResultOfReply(link.LastReply()) == OptionResult::kConnectionClosed;
        report.restarted = !restartLost;
        if (report.restarted && events.restarted) events.restarted(report.device);
      }
    }
  });
  if (opened && !settings.check && settings.events.configurationEnded) {
    settings.events.configurationEnded(report.device);
  }
  report.interrupted = batch.stopped;
  if (!opened) {
    report.problem = CannotConnectReason(
        job.address, std::chrono::duration_cast<std::chrono::milliseconds>(now() - start));
  } else if (settings.check) {
    if (allRead) {
      report.outcome = Outcome::kChecked;
    } else {
      report.problem = "a read got no answer";
    }
  } else if (batch.stopped) {
    report.outcome = Outcome::kInterrupted;
    report.problem = "interrupted after " + std::to_string(batch.options.size()) + " of " +
                     std::to_string(report.options) + " options";
  } else if (batch.written != report.options) {
    // the problem names the first failing option
  } else if (restartLost) {
    report.problem = "restart: " + FailureText(OptionResult::kConnectionClosed);
  } else if (!settings.verify) {
    report.outcome = Outcome::kDone;
  } else if (Interrupted(settings)) {
    report.outcome = Outcome::kDone;
    report.verify = "skipped";
  } else {
    // The device answers again once its restart is over.
    LinkConnection check(services);
    const bool back = OpenWithBackoff([&] { return OpenDevice(check, job.address); },
                                      *services.sleeper, now, settings.verifyTimeout);
    report.verify = "failed";
    if (!back) {
      report.problem = "no answer within " + std::to_string(settings.verifyTimeout.count()) +
                       " ms of the restart";
    } else {
      check.BeginDeviceConfig();
      report.mismatches = FindMismatches(check, job.options, settings.showSecrets);
      check.EndDeviceConfig();
      check.Close();
      if (report.mismatches.empty()) {
        report.outcome = Outcome::kVerified;
        report.verify = "verified";
      } else {
        report.problem = std::to_string(report.mismatches.size()) + " options differ";
      }
    }
  }
  report.seconds = SecondsSince(start, now);
  return report;
}

ReadResult ReadFromDevice(const DeviceAddress& address, const std::vector<std::string>& names,
                          const LinkServices& services) {
  ReadResult result;
  LinkConnection link(services);
  result.connected = InBracket(link, address, [&] {
    for (const std::string& name : names) {
      const std::string value = link.ReadOption(name);
      if (link.LastReply() == ReplyOk) {
        result.lines.push_back(name + "=" + value);
      } else if (DeviceAnswered(link.LastReply())) {
        result.notSet.push_back(name);
      } else {
        result.failed.push_back(name);
      }
    }
  });
  return result;
}

bool TestDevice(const DeviceAddress& address, const LinkServices& services) {
  LinkConnection link(services);
  return InBracket(link, address, [] {});
}

}  // namespace quillstone::cli
