#include "cli/ReadAndTest.h"

#include <map>

#include "cli/Report.h"

namespace quillstone::cli {
namespace {

std::map<std::string, std::string> ValuesOf(const ReadResult& result) {
  std::map<std::string, std::string> values;
  for (const std::string& line : result.lines) {
    const std::size_t equals = line.find('=');
    values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

}  // namespace

DeviceReport ReadReport(const DeviceJob& job, const ReadResult& result, std::size_t names,
                        std::chrono::milliseconds took) {
  DeviceReport report;
  report.device = job.address.Name();
  report.options = static_cast<int>(names);
  report.outcome = Outcome::kDone;
  if (!result.connected) {
    report.outcome = Outcome::kFailed;
    report.problem = CannotConnectReason(job.address, took);
  } else if (!result.failed.empty()) {
    report.outcome = Outcome::kFailed;
    report.problem = result.failed.front() + ": the device did not answer the read";
  }
  report.seconds = std::chrono::duration<double>(took).count();
  return report;
}

DeviceReport TestReport(const DeviceJob& job, bool answered, std::chrono::milliseconds took) {
  DeviceReport report;
  report.device = job.address.Name();
  report.outcome = Outcome::kDone;
  if (!answered) {
    report.outcome = Outcome::kFailed;
    report.problem = CannotConnectReason(job.address, took);
  }
  report.seconds = std::chrono::duration<double>(took).count();
  return report;
}

std::string ReadLines(const ReadResult& result, bool showSecrets) {
  std::string lines;
  for (const std::string& line : result.lines) {
    const std::size_t equals = line.find('=');
    const std::string name = line.substr(0, equals);
    lines += name + "=" + ShownValue(name, line.substr(equals + 1), showSecrets) + "\n";
  }
  return lines;
}

std::string ReadCsv(const std::vector<DeviceJob>& jobs, const std::vector<std::string>& names,
                    const std::vector<ReadResult>& results, bool showSecrets,
                    bool& secretsLeftOut) {
  std::string csv = "device";
  for (const std::string& name : names) {
    csv += ',';
    csv += CsvField(name);
  }
  csv += "\n";
  secretsLeftOut = false;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    std::map<std::string, std::string> values = ValuesOf(results[i]);
    csv += CsvField(jobs[i].address.Name());
    for (const std::string& name : names) {
      std::string value = values[name];
      if (ShownValue(name, value, showSecrets) != value) {
        value.clear();
        secretsLeftOut = true;
      }
      csv += ',';
      csv += CsvField(value);
    }
    csv += "\n";
  }
  return csv;
}

std::string TestCsv(const std::vector<DeviceReport>& reports) {
  std::string csv = "device,result\n";
  for (const DeviceReport& report : reports) {
    csv += CsvField(report.device) + "," +
           CsvField(Succeeded(report) ? "connect succeed" : report.problem) + "\n";
  }
  return csv;
}

}  // namespace quillstone::cli
