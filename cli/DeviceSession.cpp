#include "cli/DeviceSession.h"

#include <algorithm>
#include <map>

#include "devicelink/DeviceConnection.h"
#include "devicelink/PunParam.h"

namespace quillstone::cli {
namespace {

constexpr std::chrono::milliseconds kFirstBackoff{200};
constexpr std::chrono::milliseconds kLongestBackoff{2000};

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

std::vector<std::string> FindMismatches(LinkConnection& link, const OptionList& options) {
  std::map<std::string, std::string> wanted;
  std::vector<std::string> order;
  for (const std::string& option : options) {
    const std::size_t equals = option.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    const std::string name = option.substr(0, equals);
    if (wanted.insert_or_assign(name, option.substr(equals + 1)).second) order.push_back(name);
  }
  std::vector<std::string> mismatches;
  for (const std::string& name : order) {
    // Compared as the writer compares before it skips: a failed read reads as empty, so an
    // empty wanted value matches an option the device does not have.
    const std::string value = link.ReadOption(name);
    if (value == wanted[name]) continue;
    if (link.LastReply() != ReplyOk) {
      mismatches.push_back(name + ": wanted '" + wanted[name] + "', the read failed (reply " +
                           std::to_string(link.LastReply()) + ")");
    } else {
      mismatches.push_back(name + ": wanted '" + wanted[name] + "', read '" + value + "'");
    }
  }
  return mismatches;
}

DeviceReport ApplyToDevice(const DeviceJob& job, const ApplySettings& settings,
                           const LinkServices& services, const ClockNow& now) {
  const SteadyClock::time_point start = now();
  DeviceReport report;
  report.device = job.address.Name();
  report.options = static_cast<int>(job.options.size());
  LinkConnection link(services);
  BatchOutcome batch;
  const bool opened = InBracket(link, job.address, [&] {
    batch = link.WriteOptionList(job.options);
    if (batch.written == report.options && settings.restart) link.RestartDevice();
  });
  report.written = batch.written;
  report.alreadyEqual = batch.alreadyEqual;
  report.retries = batch.retries;
  if (!opened) {
    report.problem = kCannotConnect;
  } else if (batch.written != report.options) {
    report.problem =
        std::to_string(batch.failed) + " of " + std::to_string(report.options) + " options refused";
  } else if (!settings.verify) {
    report.outcome = Outcome::kDone;
  } else {
    // The device answers again once its restart is over.
    LinkConnection check(services);
    const bool back = OpenWithBackoff([&] { return OpenDevice(check, job.address); },
                                      *services.sleeper, now, settings.verifyTimeout);
    if (!back) {
      report.problem = "no answer within " + std::to_string(settings.verifyTimeout.count()) +
                       " ms of the restart";
    } else {
      check.BeginDeviceConfig();
      report.mismatches = FindMismatches(check, job.options);
      check.EndDeviceConfig();
      check.Close();
      if (report.mismatches.empty()) {
        report.outcome = Outcome::kVerified;
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
