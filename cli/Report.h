#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "cli/DeviceSession.h"

// What the user sees of a run: progress while it runs, the summary table, the report file.
namespace quillstone::cli {

// "done", "verified" or "failed".
std::string OutcomeName(Outcome outcome);

// On a terminal one line rewritten in place (done, failed, in flight, elapsed, an estimate of
// what is left); otherwise one plain line per finished device.
class ProgressDisplay {
 public:
  ProgressDisplay(std::ostream& out, bool terminal, std::size_t total, ClockNow now);
  void Started();
  void Finished(const DeviceReport& report);
  // Ends the live line.
  void Close();

 private:
  void Redraw();

  std::ostream& out_;
  bool terminal_;
  std::size_t total_;
  ClockNow now_;
  SteadyClock::time_point start_;
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  std::size_t inFlight_ = 0;
  std::size_t lastWidth_ = 0;
};

// Per device: result, options written, skipped as already equal, retries, seconds, problem;
// then every mismatch and a total line.
void WriteSummaryTable(std::ostream& out, const std::vector<DeviceReport>& reports);

std::string CsvReport(const std::vector<DeviceReport>& reports);
std::string JsonReport(const std::vector<DeviceReport>& reports);

// By the file's extension: ".json" JSON, anything else CSV. Throws AppError when the file
// cannot be written.
void WriteReportFile(const std::string& path, const std::vector<DeviceReport>& reports);

}  // namespace quillstone::cli
