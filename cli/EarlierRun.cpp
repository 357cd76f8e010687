#include "cli/EarlierRun.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/InputFiles.h"
#include "cli/Journal.h"
#include "platform/AppError.h"

namespace quillstone::cli {
namespace {

constexpr const char* kAllowChangedInputs = "--allow-changed-inputs";

[[noreturn]] void NotAReport(const std::string& path) {
  throw AppError(path + ": not a JSON report or journal of quillstone-cli");
}

EarlierRun FromReport(const std::string& path, const std::string& content) {
  const nlohmann::json document = nlohmann::json::parse(content, nullptr, false);
  if (document.is_discarded() || !document.is_object() || !document.contains("devices") ||
      !document["devices"].is_array()) {
    NotAReport(path);
  }
  EarlierRun earlier;
  earlier.path = path;
  for (const nlohmann::json& device : document["devices"]) {
    if (!device.is_object() || !device.contains("device") || !device["device"].is_string() ||
        !device.contains("result") || !device["result"].is_string()) {
      NotAReport(path);
    }
    const std::optional<Outcome> outcome = OutcomeNamed(device["result"].get<std::string>());
    if (!outcome) NotAReport(path);
    const std::string name = device["device"].get<std::string>();
    earlier.devices.push_back(name);
    if (Succeeded(*outcome)) earlier.finished[name] = "";
  }
  // An apply's report lists the options file first, then the site list and an earlier run.
  const nlohmann::json inputs = document.value("inputs", nlohmann::json::array());
  for (const nlohmann::json& input : inputs) {
    if (!input.is_object()) continue;
    const std::string sha = input.value("sha256", "");
    if (earlier.optionsSha256.empty()) {
      earlier.optionsSha256 = sha;
    } else {
      earlier.anyInputSha256.push_back(sha);
    }
  }
  return earlier;
}

EarlierRun FromJournal(const std::string& path, const std::string& content) {
  const JournalContents journal = ParseJournal(content, path);
  EarlierRun earlier;
  earlier.path = path;
  earlier.journal = true;
  earlier.devices = journal.devices;
  for (const InputFile& input : journal.inputs) {
    if (input.role == "options") earlier.optionsSha256 = input.sha256;
    if (input.role == "devices") earlier.devicesSha256 = input.sha256;
  }
  if (journal.tornLine != 0) {
    earlier.notes.push_back(path + ":" + std::to_string(journal.tornLine) +
                            ": an unfinished last record (the run was cut off while writing "
                            "it), ignored");
  }
  if (!journal.ended) {
    earlier.notes.push_back(
        path + ": the run did not end" +
        (journal.stoppedAtOnceBy != 0
             ? " (stopped at once by signal " + std::to_string(journal.stoppedAtOnceBy) + ")"
             : std::string(" (killed)")) +
        "; the devices it began:");
  }
  for (const auto& [name, device] : journal.began) {
    if (DeviceFinished(device, journal.restart)) {
      earlier.finished[name] = device.listSha256;
    }
    if (!journal.ended)
      earlier.notes.push_back("  " + name + ": " + HowFar(device, journal.restart));
  }
  return earlier;
}

}  // namespace

std::vector<std::string> EarlierRun::Unfinished() const {
  std::vector<std::string> unfinished;
  for (const std::string& device : devices) {
    if (finished.count(device) == 0) unfinished.push_back(device);
  }
  return unfinished;
}

bool EarlierRun::Finished(const DeviceJob& job) const {
  const auto found = finished.find(job.address.Name());
  return found != finished.end() &&
         (found->second.empty() || found->second == ListSha256(job.options));
}

EarlierRun ReadEarlierRun(const std::string& path, const std::function<bool()>& stop) {
  const std::string content = ReadInputText(path, stop);
  return LooksLikeJournal(content) ? FromJournal(path, content) : FromReport(path, content);
}

std::string InputsDiffer(const EarlierRun& earlier, const InputFile& options,
                         const std::optional<InputFile>& devices) {
  const auto differs = [&](const InputFile& input, const std::string& what) {
    return "--only-failed " + earlier.path + " is the record of a run with another " + what + ": " +
           input.path + " (SHA-256 " + input.sha256.substr(0, 12) +
           "...) is not the one it read, so the devices it finished may hold other values; "
           "check the inputs, or pass " +
           kAllowChangedInputs +
           " to take its unfinished "
           "devices all the same";
  };
  if (!earlier.optionsSha256.empty() && earlier.optionsSha256 != options.sha256) {
    return differs(options, "options file");
  }
  if (!devices) return {};
  if (earlier.journal) {
    if (earlier.devicesSha256 && *earlier.devicesSha256 != devices->sha256) {
      return differs(*devices, "site list");
    }
    return {};
  }
  const std::vector<std::string>& any = earlier.anyInputSha256;
  if (!any.empty() && std::find(any.begin(), any.end(), devices->sha256) == any.end()) {
    return differs(*devices, "site list");
  }
  return {};
}

}  // namespace quillstone::cli
