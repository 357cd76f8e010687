#pragma once

#include <string>
#include <vector>

#include "cli/DeviceSession.h"

// The read and test commands: one device's result as the run's report holds it, and the data
// they print on stdout.
namespace quillstone::cli {

// Done when every name was read; failed naming the first unanswered read or the opening.
DeviceReport ReadReport(const DeviceJob& job, const ReadResult& result, std::size_t names,
                        std::chrono::milliseconds took);

// Done when the device answered the opening; failed with why it did not.
DeviceReport TestReport(const DeviceJob& job, bool answered, std::chrono::milliseconds took);

// name=value lines, secret values masked unless shown.
std::string ReadLines(const ReadResult& result, bool showSecrets);

// One row per device, one column per option: fit to be given back as --devices. A secret value
// is left out unless asked for (an empty cell changes nothing when given back), and
// `secretsLeftOut` then says so.
std::string ReadCsv(const std::vector<DeviceJob>& jobs, const std::vector<std::string>& names,
                    const std::vector<ReadResult>& results, bool showSecrets, bool& secretsLeftOut);

// device,result: "connect succeed" or the problem.
std::string TestCsv(const std::vector<DeviceReport>& reports);

}  // namespace quillstone::cli
