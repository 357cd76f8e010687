#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/DeviceAddress.h"
#include "devicelink/LinkConnection.h"

// What the tool does with one device, over its own connection: apply (with its verification),
// read, and the connection test.
namespace quillstone::cli {

using SteadyClock = std::chrono::steady_clock;
using ClockNow = std::function<SteadyClock::time_point()>;

enum class Outcome { kDone, kVerified, kChecked, kFailed, kInterrupted, kNotStarted };

enum class RestartPolicy { kAlways, kChanged, kNever };

// One option of the list as the device took it (values are left out: they may be secret).
struct OptionReport {
  std::string name;
  std::string result;  // "written", "unchanged", "failed" or "not tried"
  std::string why;     // for "failed": what happened, in the report's words
};

// One option a --check found different, its values as shown (secret values masked). No
// `before` when the device has no such option or gave no answer (`deviceAnswered` tells which).
struct PlannedChange {
  std::string name;
  std::optional<std::string> before;
  std::string after;
  bool deviceAnswered = true;
};

// "name: 'device' -> 'wanted'", "(none)" or "(no answer)" for a missing value.
std::string ChangeText(const PlannedChange& change);

struct DeviceReport {
  std::string device;
  Outcome outcome = Outcome::kFailed;
  int options = 0;
  int written = 0;    // writes the device acknowledged
  int unchanged = 0;  // already equal, nothing sent
  int failed = 0;     // refused twice, unanswered or lost
  int retries = 0;
  bool restarted = false;
  std::string verify = "not asked";  // "not asked", "verified", "failed", "skipped" (interrupted)
  bool interrupted = false;
  double startSeconds = 0;  // from the start of the run
  double seconds = 0;
  std::string problem;                  // why it failed: the first failing option and what
  std::vector<std::string> mismatches;  // what the verification found
  std::vector<PlannedChange> changes;   // --check: what would change
  std::vector<OptionReport> optionResults;
};

// What a device goes through, told as it happens (the run's journal listens); each may be empty.
// Called from the device's worker thread.
struct DeviceEvents {
  std::function<void(const std::string& device, const OptionReport& option)> optionTaken;
  std::function<void(const std::string& device)> restarted;
  std::function<void(const std::string& device)> configurationEnded;
};

struct ApplySettings {
  RestartPolicy restart = RestartPolicy::kAlways;
  bool verify = false;
  bool check = false;        // read and compare only: nothing written, no restart
  bool showSecrets = false;  // otherwise secret values are masked in every text
  std::chrono::milliseconds verifyTimeout{60000};
  // Asked between options and before the restart: true once the run is being interrupted.
  std::function<bool()> interrupted;
  SteadyClock::time_point runStart{};
  DeviceEvents events;
};

// The value as the CLI shows it: masked for a secret option unless secrets are shown.
std::string ShownValue(const std::string& name, const std::string& value, bool showSecrets);

struct DeviceJob {
  DeviceAddress address;
  OptionList options;
};

inline constexpr const char* kCannotConnect = "can not connect with device";
inline constexpr const char* kMask = "********";

// Why an opening failed: the serial port's own fault where the system tells one (it does not
// exist, it is not a serial line), else refused at once or no handshake within the library's
// budget.
std::string CannotConnectReason(const DeviceAddress& address, std::chrono::milliseconds tookToFail);

// The report's words for an option result that is a failure.
std::string FailureText(OptionResult result);

// The opening's housekeeping, once for the whole run rather than once per device: the ARP
// flush when any device is on TCP, the serial watcher ended when any is on a serial line.
void RunHousekeeping(const std::vector<DeviceAddress>& addresses, const LinkServices& services);

// The library's open call for the address; the housekeeping ran once for the whole run.
bool OpenDevice(LinkConnection& link, const DeviceAddress& address);

// Calls tryOpen until it succeeds or `timeout` has passed, pausing between attempts with a
// pause that doubles from 200 ms up to 2 s, never beyond the deadline.
bool OpenWithBackoff(const std::function<bool()>& tryOpen, Sleeper& sleeper, const ClockNow& now,
                     std::chrono::milliseconds timeout);

// Reads every option of the list back and describes each one whose value differs; for a name
// listed twice the last value counts. "~" options compare their plain value, as the device
// stores it; a read the device refused compares as an empty value, as in the writer's skip,
// while a read without an answer matches nothing.
std::vector<std::string> FindMismatches(LinkConnection& link, const OptionList& options,
                                        bool showSecrets = false);

// Reads every option and lists each one the apply would write.
// False in `allRead` when a read got no answer from the device.
std::vector<PlannedChange> FindChanges(LinkConnection& link, const OptionList& options,
                                       bool showSecrets, bool& allRead);

// The window's apply for one device: open, begin, the batch, restart after full success,
// end, close; then, when asked, wait for the device and compare.
DeviceReport ApplyToDevice(const DeviceJob& job, const ApplySettings& settings,
                           const LinkServices& services, const ClockNow& now);

struct ReadResult {
  bool connected = false;
  std::vector<std::string> lines;   // name=value for each option read
  std::vector<std::string> notSet;  // names the device answered it does not hold
  std::vector<std::string> failed;  // names whose read got no answer
};
ReadResult ReadFromDevice(const DeviceAddress& address, const std::vector<std::string>& names,
                          const LinkServices& services);

// Open, 1003, then 1002, 1002, 1014, close. True when the device answered the opening.
bool TestDevice(const DeviceAddress& address, const LinkServices& services);

}  // namespace quillstone::cli
