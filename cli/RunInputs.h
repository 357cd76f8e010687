#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/DeviceSession.h"
#include "cli/InputFiles.h"
#include "cli/Report.h"

// What a fleet command works on, built and checked before any device is contacted. Every fault
// throws InputError, UsageError or AppError.
namespace quillstone::cli {

inline constexpr const char* kStdout = "-";

// Where the devices come from: DEVICE arguments or a --devices list (one of them, or neither
// when an earlier run names them).
struct DeviceSource {
  std::vector<std::string> arguments;
  std::string list;
};

// The jobs: every device of the source with the base list and its own overrides; `fallback`
// (the devices an earlier run did not finish) when the source names none. Throws when there
// is no device, a device is listed twice, or a device with a base list gets no option.
std::vector<DeviceJob> BuildJobs(const DeviceSource& source, const OptionList& base,
                                 const InputRules& rules,
                                 const std::vector<std::string>& fallback = {});

// The report (and the journal) must not replace an input, and its folder must take a new file:
// it is written to a temporary file there and renamed over it. A pipe or device is written in
// place and not probed.
void CheckOutputPath(const std::string& option, const std::string& path,
                     const std::vector<std::string>& inputs);

// Name, SHA-256 and role of each file (path, role); empty paths are left out.
std::vector<InputFile> HashInputs(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace quillstone::cli
