#include "cli/RunInputs.h"

#include <filesystem>
#include <fstream>

#include "cli/InputError.h"
#include "platform/InputFile.h"
#include "platform/Sha256.h"

namespace quillstone::cli {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(std::filesystem::u8path(a), std::filesystem::u8path(b),
                                     error) &&
         !error;
}

}  // namespace

std::vector<DeviceJob> BuildJobs(const DeviceSource& source, const OptionList& base,
                                 const InputRules& rules,
                                 const std::vector<std::string>& fallback) {
  std::vector<DeviceEntry> entries;
  if (!source.list.empty()) {
    entries = ReadDeviceList(source.list, rules);
  } else if (!source.arguments.empty()) {
    entries = ParseDeviceArguments(source.arguments, rules);
  } else if (!fallback.empty()) {
    entries = ParseDeviceArguments(fallback);
  }
  if (entries.empty()) throw UsageError("no device to work on");
  RejectDuplicateDevices(entries);
  std::vector<DeviceJob> jobs;
  for (const DeviceEntry& entry : entries) {
    jobs.push_back({entry.address, OptionsFor(base, entry.overrides)});
    if (!base.empty() && jobs.back().options.empty()) {
      throw InputError(entry.where, entry.column, "no options to write to this device");
    }
  }
  return jobs;
}

void CheckOutputPath(const std::string& option, const std::string& path,
                     const std::vector<std::string>& inputs) {
  if (path.empty() || path == kStdout) return;
  for (const std::string& input : inputs) {
    if (!input.empty() && SameFile(path, input)) {
      throw UsageError(option + " " + path + " is the same file as the input " + input);
    }
  }
  const std::filesystem::path file = std::filesystem::u8path(path);
  std::error_code error;
  if (IsStreamPath(path)) return;
  if (std::filesystem::is_directory(file, error)) {
    throw UsageError(option + " " + path + " is a folder");
  }
  std::filesystem::path probe = file;
  probe += ".quillstone-check";
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) throw UsageError(option + " " + path + " cannot be written there");
  }
  std::filesystem::remove(probe, error);
}

std::vector<InputFile> HashInputs(const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<InputFile> inputs;
  for (const auto& [path, role] : files) {
    if (path.empty()) continue;
    inputs.push_back({path, Sha256Hex(ReadInputFile(path, kLargestInputFile).content), role});
  }
  return inputs;
}

}  // namespace quillstone::cli
