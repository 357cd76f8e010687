#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "cli/DeviceAddress.h"
#include "devicelink/LinkConnection.h"

// What the tool does with one device, over its own connection: apply (with its verification),
// read, and the connection test.
namespace quillstone::cli {

using SteadyClock = std::chrono::steady_clock;
using ClockNow = std::function<SteadyClock::time_point()>;

enum class Outcome { kDone, kVerified, kFailed };

struct DeviceReport {
  std::string device;
  Outcome outcome = Outcome::kFailed;
  int options = 0;
  int written = 0;       // written or already equal
  int alreadyEqual = 0;  // skipped as already equal
  int retries = 0;
  double seconds = 0;
  std::string problem;                  // why it failed
  std::vector<std::string> mismatches;  // what the verification found
};

struct ApplySettings {
  bool restart = true;
  bool verify = false;
  std::chrono::milliseconds verifyTimeout{60000};
};

struct DeviceJob {
  DeviceAddress address;
  OptionList options;
};

inline constexpr const char* kCannotConnect = "can not connect with device";

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
// stores it; a failed read compares as an empty value, as in the writer's skip.
std::vector<std::string> FindMismatches(LinkConnection& link, const OptionList& options);

// The window's apply for one device: open, begin, the batch, restart after full success,
// end, close; then, when asked, wait for the device and compare.
DeviceReport ApplyToDevice(const DeviceJob& job, const ApplySettings& settings,
                           const LinkServices& services, const ClockNow& now);

struct ReadResult {
  bool connected = false;
  std::vector<std::string> lines;   // name=value for each option read
  std::vector<std::string> failed;  // names whose read was not acknowledged
};
ReadResult ReadFromDevice(const DeviceAddress& address, const std::vector<std::string>& names,
                          const LinkServices& services);

// Open, 1003, then 1002, 1002, 1014, close. True when the device answered the opening.
bool TestDevice(const DeviceAddress& address, const LinkServices& services);

}  // namespace quillstone::cli
