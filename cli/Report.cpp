#include "cli/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/IniFile.h"

namespace quillstone::cli {
namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

bool Succeeded(const DeviceReport& report) {
  return report.outcome != Outcome::kFailed;
}

}  // namespace

std::string OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return "done";
    case Outcome::kVerified:
      return "verified";
    case Outcome::kFailed:
      return "failed";
  }
  return {};
}

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal, std::size_t total, ClockNow now)
    : out_(out), terminal_(terminal), total_(total), now_(std::move(now)), start_(now_()) {}

void ProgressDisplay::Started() {
  ++inFlight_;
  if (terminal_) Redraw();
}

void ProgressDisplay::Finished(const DeviceReport& report) {
  --inFlight_;
  ++(Succeeded(report) ? done_ : failed_);
  if (terminal_) {
    Redraw();
    return;
  }
  out_ << report.device << ' ' << OutcomeName(report.outcome) << ' ' << report.written << '/'
       << report.options << " written, " << report.alreadyEqual << " skipped, " << report.retries
       << " retries, " << Fixed(report.seconds, 2) << " s"
       << (report.problem.empty() ? "" : ": " + report.problem) << '\n';
  out_.flush();
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

void ProgressDisplay::Close() {
  if (terminal_ && lastWidth_ > 0) out_ << '\n';
  out_.flush();
}

void WriteSummaryTable(std::ostream& out, const std::vector<DeviceReport>& reports) {
  std::size_t deviceWidth = 6;
  for (const DeviceReport& report : reports)
    deviceWidth = std::max(deviceWidth, report.device.size());
  const auto row = [&](const std::string& device, const std::string& result,
                       const std::string& written, const std::string& skipped,
                       const std::string& retries, const std::string& seconds,
                       const std::string& problem) {
    char text[256];
    std::snprintf(text, sizeof text, "%-*s  %-8s  %7s  %7s  %7s  %7s  ",
                  static_cast<int>(deviceWidth), device.c_str(), result.c_str(), written.c_str(),
                  skipped.c_str(), retries.c_str(), seconds.c_str());
    out << text << problem << '\n';
  };
  row("device", "result", "written", "skipped", "retries", "seconds", "problem");
  std::size_t succeeded = 0;
  for (const DeviceReport& report : reports) {
    row(report.device, OutcomeName(report.outcome), std::to_string(report.written),
        std::to_string(report.alreadyEqual), std::to_string(report.retries),
        Fixed(report.seconds, 2), report.problem);
    for (const std::string& mismatch : report.mismatches) out << "    " << mismatch << '\n';
    if (Succeeded(report)) ++succeeded;
  }
  out << succeeded << " of " << reports.size() << " devices succeeded, "
      << reports.size() - succeeded << " failed\n";
}

std::string CsvReport(const std::vector<DeviceReport>& reports) {
  std::string csv = "device,result,options,written,skipped,retries,seconds,problem,mismatches\n";
  for (const DeviceReport& report : reports) {
    std::string mismatches;
    for (const std::string& mismatch : report.mismatches) {
      mismatches += (mismatches.empty() ? "" : "; ") + mismatch;
    }
    csv += CsvField(report.device) + "," + OutcomeName(report.outcome) + "," +
           std::to_string(report.options) + "," + std::to_string(report.written) + "," +
           std::to_string(report.alreadyEqual) + "," + std::to_string(report.retries) + "," +
           Fixed(report.seconds, 3) + "," + CsvField(report.problem) + "," + CsvField(mismatches) +
           "\n";
  }
  return csv;
}

std::string JsonReport(const std::vector<DeviceReport>& reports) {
  nlohmann::json devices = nlohmann::json::array();
  std::size_t succeeded = 0;
  for (const DeviceReport& report : reports) {
    devices.push_back({{"device", report.device},
                       {"result", OutcomeName(report.outcome)},
                       {"options", report.options},
                       {"written", report.written},
                       {"skipped", report.alreadyEqual},
                       {"retries", report.retries},
                       {"seconds", std::round(report.seconds * 1000) / 1000},
                       {"problem", report.problem},
                       {"mismatches", report.mismatches}});
    if (Succeeded(report)) ++succeeded;
  }
  const nlohmann::json document = {
      {"devices", devices}, {"succeeded", succeeded}, {"failed", reports.size() - succeeded}};
  // Option values are bytes from the user's files; invalid UTF-8 is replaced, not thrown.
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void WriteReportFile(const std::string& path, const std::vector<DeviceReport>& reports) {
  const bool json = path.size() >= 5 && path.ends_with(".json");
  ini::WriteWholeFile(path, json ? JsonReport(reports) : CsvReport(reports));
}

}  // namespace quillstone::cli
