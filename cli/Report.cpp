#include "cli/Report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include <quillstone/Version.h>
#include "cli/InputFiles.h"
#include "platform/AppError.h"
#include "platform/FileReplace.h"

namespace quillstone::cli {
namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

double Rounded(double seconds) {
  return std::round(seconds * 1000) / 1000;
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

bool Succeeded(Outcome outcome) {
  return outcome == Outcome::kDone || outcome == Outcome::kVerified || outcome == Outcome::kChecked;
}

std::optional<Outcome> OutcomeNamed(const std::string& name) {
  for (const Outcome outcome : {Outcome::kDone, Outcome::kVerified, Outcome::kChecked,
                                Outcome::kFailed, Outcome::kInterrupted, Outcome::kNotStarted}) {
    if (OutcomeName(outcome) == name) return outcome;
  }
  return std::nullopt;
}

std::string OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return "done";
    case Outcome::kVerified:
      return "verified";
    case Outcome::kChecked:
      return "checked";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kInterrupted:
      return "interrupted";
    case Outcome::kNotStarted:
      return "not started";
  }
  return {};
}

std::string DeviceLine(const DeviceReport& report) {
  std::string line = report.device + ' ' + OutcomeName(report.outcome);
  if (report.outcome == Outcome::kChecked) {
    line += ": " + std::to_string(report.changes.size()) + " of " + std::to_string(report.options) +
            " options would change";
  } else {
    line += ": " + std::to_string(report.written) + " written, " +
            std::to_string(report.unchanged) + " unchanged, " + std::to_string(report.failed) +
            " failed, " + std::to_string(report.retries) + " retries";
  }
  line += ", " + Fixed(report.seconds, 2) + " s";
  if (!report.problem.empty()) line += ": " + report.problem;
  return line;
}

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal, bool quiet, std::size_t total,
                                 ClockNow now)
    : out_(out),
      terminal_(terminal),
      quiet_(quiet),
      total_(total),
      now_(std::move(now)),
      start_(now_()) {}

void ProgressDisplay::Started() {
  std::lock_guard lock(mutex_);
  ++inFlight_;
  if (terminal_) Redraw();
}

void ProgressDisplay::Finished(const DeviceReport& report) {
  std::lock_guard lock(mutex_);
  --inFlight_;
  const bool good = Succeeded(report);
  ++(good ? done_ : failed_);
  if (terminal_) {
    // A failure is listed as it happens, above the live line.
    if (!good) {
      ClearLine();
      out_ << DeviceLine(report) << '\n';
    }
    Redraw();
    return;
  }
  if (quiet_ && good) return;
  out_ << DeviceLine(report) << '\n';
  out_.flush();
}

void ProgressDisplay::Tick() {
  std::lock_guard lock(mutex_);
  if (terminal_ && !closed_) Redraw();
}

void ProgressDisplay::ClearLine() {
  if (lastWidth_ == 0) return;
  out_ << '\r' << std::string(lastWidth_, ' ') << '\r';
  lastWidth_ = 0;
}

void ProgressDisplay::Redraw() {
  const double elapsed = std::chrono::duration<double>(now_() - start_).count();
  const std::size_t finished = done_ + failed_;
  const std::string left =
      finished == 0
          ? std::string("?")
          : Fixed(elapsed / static_cast<double>(finished) * static_cast<double>(total_ - finished),
                  0) +
                " s";
  std::string line = "done " + std::to_string(done_) + "/" + std::to_string(total_) + "  failed " +
                     std::to_string(failed_) + "  in flight " + std::to_string(inFlight_) +
                     "  elapsed " + Fixed(elapsed, 1) + " s  left ~" + left;
  // Blanks over what is left of a longer previous line; no terminal codes needed.
  const std::size_t width = line.size();
  line.append(lastWidth_ > width ? lastWidth_ - width : 0, ' ');
  lastWidth_ = width;
  out_ << '\r' << line;
  out_.flush();
}

bool ProgressDisplay::Failed() {
  std::lock_guard lock(mutex_);
  return !out_;
}

void ProgressDisplay::Close() {
  std::lock_guard lock(mutex_);
  if (terminal_ && lastWidth_ > 0) out_ << '\n';
  closed_ = true;
  out_.flush();
}

void WriteSummaryTable(std::ostream& out, const std::vector<DeviceReport>& reports, bool quiet) {
  std::size_t deviceWidth = 6;
  for (const DeviceReport& report : reports)
    deviceWidth = std::max(deviceWidth, report.device.size());
  const auto row =
      [&](const std::string& device, const std::string& result, const std::string& written,
          const std::string& unchanged, const std::string& failed, const std::string& retries,
          const std::string& restarted, const std::string& seconds, const std::string& problem) {
        char text[512];
        std::snprintf(text, sizeof text, "%-*s  %-11s  %7s  %9s  %6s  %7s  %9s  %7s  ",
                      static_cast<int>(deviceWidth), device.c_str(), result.c_str(),
                      written.c_str(), unchanged.c_str(), failed.c_str(), retries.c_str(),
                      restarted.c_str(), seconds.c_str());
        out << text << problem << '\n';
      };
  std::size_t succeeded = 0;
  std::size_t interrupted = 0;
  if (!quiet) {
    row("device", "result", "written", "unchanged", "failed", "retries", "restarted", "seconds",
        "problem");
  }
  for (const DeviceReport& report : reports) {
    if (Succeeded(report)) ++succeeded;
    if (report.outcome == Outcome::kInterrupted || report.outcome == Outcome::kNotStarted) {
      ++interrupted;
    }
    if (quiet) continue;
    row(report.device, OutcomeName(report.outcome), std::to_string(report.written),
        std::to_string(report.unchanged), std::to_string(report.failed),
        std::to_string(report.retries), report.restarted ? "yes" : "no", Fixed(report.seconds, 2),
        report.problem);
    for (const std::string& mismatch : report.mismatches) out << "    " << mismatch << '\n';
    for (const PlannedChange& change : report.changes) out << "    " << ChangeText(change) << '\n';
  }
  if (succeeded != reports.size()) {
    out << "Devices that did not succeed:\n";
    for (const DeviceReport& report : reports) {
      if (!Succeeded(report)) out << "  " << report.device << ": " << report.problem << '\n';
    }
  }
  out << succeeded << " of " << reports.size() << " devices succeeded, "
      << reports.size() - succeeded << " failed";
  if (interrupted > 0) out << " (" << interrupted << " interrupted or not started)";
  out << '\n';
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &now);
#else
  gmtime_r(&now, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string CsvReport(const std::vector<DeviceReport>& reports) {
  std::string csv =
      "device,result,options,written,unchanged,failed,retries,restarted,verify,seconds,problem,"
      "mismatches\n";
  for (const DeviceReport& report : reports) {
    std::string mismatches;
    for (const std::string& mismatch : report.mismatches) {
      mismatches += (mismatches.empty() ? "" : "; ") + mismatch;
    }
    csv += CsvField(report.device) + "," + CsvField(OutcomeName(report.outcome)) + "," +
           std::to_string(report.options) + "," + std::to_string(report.written) + "," +
           std::to_string(report.unchanged) + "," + std::to_string(report.failed) + "," +
           std::to_string(report.retries) + "," + (report.restarted ? "yes" : "no") + "," +
           CsvField(report.verify) + "," + Fixed(report.seconds, 3) + "," +
           CsvField(report.problem) + "," + CsvField(mismatches) + "\n";
  }
  return csv;
}

nlohmann::json DeviceJson(const DeviceReport& report) {
  nlohmann::json options = nlohmann::json::array();
  for (const OptionReport& option : report.optionResults) {
    nlohmann::json entry = {{"name", option.name}, {"result", option.result}};
    if (!option.why.empty()) entry["why"] = option.why;
    options.push_back(entry);
  }
  nlohmann::json changes = nlohmann::json::array();
  nlohmann::json changeValues = nlohmann::json::array();
  for (const PlannedChange& change : report.changes) {
    changes.push_back(ChangeText(change));
    nlohmann::json entry = {{"name", change.name}, {"after", change.after}};
    if (change.before) entry["before"] = *change.before;
    changeValues.push_back(entry);
  }
  return {{"device", report.device},
          {"result", OutcomeName(report.outcome)},
          {"options", report.options},
          {"written", report.written},
          {"unchanged", report.unchanged},
          {"failed", report.failed},
          {"retries", report.retries},
          {"restarted", report.restarted},
          {"verify", report.verify},
          {"interrupted", report.interrupted},
          {"startSeconds", Rounded(report.startSeconds)},
          {"seconds", Rounded(report.seconds)},
          {"problem", report.problem},
          {"mismatches", report.mismatches},
          {"changes", changes},
          {"changeValues", changeValues},
          {"optionResults", options}};
}

std::string JsonReport(const std::vector<DeviceReport>& reports, const RunRecord& run) {
  nlohmann::json devices = nlohmann::json::array();
  std::size_t succeeded = 0;
  for (const DeviceReport& report : reports) {
    devices.push_back(DeviceJson(report));
    if (Succeeded(report)) ++succeeded;
  }
  nlohmann::json inputs = nlohmann::json::array();
  for (const InputFile& input : run.inputs) {
    inputs.push_back({{"file", input.path}, {"sha256", input.sha256}});
  }
  const nlohmann::json document = {{"tool", "quillstone-cli"},
                                   {"version", kVersion},
                                   {"command", run.command},
                                   {"started", run.started},
                                   {"ended", run.ended},
                                   {"inputs", inputs},
                                   {"optionsAsked", run.options},
                                   {"jobs", run.jobs},
                                   {"restart", run.restart},
                                   {"verify", run.verify},
                                   {"interrupted", run.interrupted},
                                   {"devices", devices},
                                   {"succeeded", succeeded},
                                   {"failed", reports.size() - succeeded}};
  // Option values are bytes from the user's files; invalid UTF-8 is replaced, not thrown.
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool IsJsonReportPath(const std::string& path) {
  if (path.size() < 5) return false;
  std::string end = path.substr(path.size() - 5);
  std::transform(end.begin(), end.end(), end.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return end == ".json";
}

bool IsStreamPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_type type =
      std::filesystem::status(std::filesystem::u8path(path), error).type();
  return !error && type != std::filesystem::file_type::regular &&
         type != std::filesystem::file_type::not_found &&
         type != std::filesystem::file_type::directory;
}

void WriteReportFile(const std::string& path, const std::vector<DeviceReport>& reports,
                     const RunRecord& run) {
  const std::string content =
      IsJsonReportPath(path) ? JsonReport(reports, run) : CsvReport(reports);
  const std::string failed = "the report " + path + " could not be written completely";
  if (!IsStreamPath(path)) {
    if (!detail::ReplaceFileAtomically(path, content)) {
      throw AppError(failed + " (writing, flushing or renaming its temporary file failed)");
    }
    return;
  }
  // A pipe or a device can not be replaced: written in place, and every byte must get there.
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
  out << content;
  out.flush();
  if (!out) throw AppError(failed);
}

}  // namespace quillstone::cli
