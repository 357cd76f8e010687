#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/DeviceSession.h"

// What the user sees of a run: progress while it runs, the summary table, the report file.
namespace quillstone::cli {

// "done", "verified", "checked", "failed", "interrupted" or "not started".
std::string OutcomeName(Outcome outcome);
// The outcome of that name, none for any other text.
std::optional<Outcome> OutcomeNamed(const std::string& name);

// The one rule of success: done, verified or checked. Everything else (failed, interrupted,
// not started) is a device to take again.
bool Succeeded(Outcome outcome);
inline bool Succeeded(const DeviceReport& report) {
  return Succeeded(report.outcome);
}

// On a terminal one line rewritten in place (done, failed, in flight, elapsed, an estimate of
// what is left), with each failure printed above it as it happens; otherwise one plain line per
// finished device (failures only when quiet). Safe to call from several threads.
class ProgressDisplay {
 public:
  ProgressDisplay(std::ostream& out, bool terminal, bool quiet, std::size_t total, ClockNow now);
  void Started();
  void Finished(const DeviceReport& report);
  // Redraws the live line, so that the elapsed time moves while every device is busy.
  void Tick();
  // Ends the live line.
  void Close();
  // A write to the output failed (a closed pipe, a full disk).
  bool Failed();

 private:
  void Redraw();
  void ClearLine();

  std::mutex mutex_;
  std::ostream& out_;
  bool terminal_;
  bool quiet_;
  std::size_t total_;
  ClockNow now_;
  SteadyClock::time_point start_;
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  std::size_t inFlight_ = 0;
  std::size_t lastWidth_ = 0;
  bool closed_ = false;
};

// One device's line as printed when it finishes.
std::string DeviceLine(const DeviceReport& report);

// Per device: result, written, unchanged, failed, retries, restarted, seconds, problem; then
// every mismatch and planned change, the failed devices, and a total line. Quiet: the failed
// devices and the total only.
void WriteSummaryTable(std::ostream& out, const std::vector<DeviceReport>& reports,
                       bool quiet = false);

struct InputFile {
  std::string path;
  std::string sha256;
  std::string role;  // "options", "devices" or "earlier run" (the journal keeps it)
};

// What the audit record says about the run as a whole.
struct RunRecord {
  std::string command = "apply";  // "apply", "check", "read" or "test"
  std::string started;            // UTC, ISO 8601
  std::string ended;
  std::vector<InputFile> inputs;
  std::vector<std::string> options;  // the option texts asked, secret values masked
  int jobs = 0;
  std::string restart = "always";
  bool verify = false;
  bool interrupted = false;
};

// "2026-01-31T12:00:00Z".
std::string UtcNow();

std::string CsvField(const std::string& text);
std::string CsvReport(const std::vector<DeviceReport>& reports);
std::string JsonReport(const std::vector<DeviceReport>& reports, const RunRecord& run = {});
// One device as the JSON report (and the run's journal) holds it.
nlohmann::json DeviceJson(const DeviceReport& report);

// The path exists and is neither a regular file nor a folder: a pipe, a terminal, a device.
bool IsStreamPath(const std::string& path);

// ".json" (any letter case) JSON, anything else CSV.
bool IsJsonReportPath(const std::string& path);

// By the file's extension: atomically (a temporary file beside it, synced, renamed over it), or
// in place where the path is not a regular file (a pipe, a terminal, a device). Throws AppError
// when the report could not be written completely.
void WriteReportFile(const std::string& path, const std::vector<DeviceReport>& reports,
                     const RunRecord& run = {});

}  // namespace quillstone::cli
