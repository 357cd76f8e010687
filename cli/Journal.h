#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/DeviceSession.h"
#include "cli/Report.h"

// The run's journal: an append-only file of one JSON object per line, written while the run
// works, so that a run that is killed (SIGKILL, out of memory, power loss) still leaves on disk
// which device got which option and how far it got. Values are never in it: options asked are
// masked as the report masks them, and each device's list is known by its SHA-256 only.
namespace quillstone::cli {

// The journal beside a report file: "run.json" -> "run.json.journal".
std::string JournalBesideReport(const std::string& reportPath);

// SHA-256 of a device's option list as sent (one option text per line).
std::string ListSha256(const OptionList& options);

// Appends records, each one whole line in a single write; safe from every worker thread. A
// device's start is on the disk (fsync) before the device is opened, and its end and the run's
// end are synced too; the options and the restart in between are written as they come (a
// killed process loses none of them) and reach the disk with the next sync, so that a thousand
// devices do not each wait for the disk per option.
// Syncs of threads that wait at once are shared. Once a write fails, Failed() says why and
// later records are dropped.
class JournalWriter {
 public:
  // Creates the file anew (or empties it). Throws AppError when it cannot.
  explicit JournalWriter(const std::string& path);
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  const std::string& Path() const { return path_; }

  void RunStarted(const RunRecord& run, const std::vector<DeviceJob>& jobs);
  void DeviceStarted(const DeviceJob& job);
  void OptionTaken(const std::string& device, const OptionReport& option);
  void Restarted(const std::string& device);
  void ConfigurationEnded(const std::string& device);
  void DeviceFinished(const DeviceReport& report);
  void RunEnded(const RunRecord& run);

  // Empty while every record reached the file; otherwise what went wrong.
  std::string Failed() const;

 private:
  void Append(const nlohmann::json& record, bool sync);

  std::string path_;
  int file_ = -1;
  mutable std::mutex mutex_;   // the writes and the failure
  std::mutex syncMutex_;       // one sync at a time; those waiting meanwhile share the next
  std::uint64_t written_ = 0;  // records written
  std::uint64_t synced_ = 0;   // records known to be on the disk
  std::string failure_;
};

// From a signal handler: appends the record of a stop at once (the second Ctrl+C) to the
// journal that is open, if any, and syncs it. Async-signal-safe.
void JournalStoppedAtOnce(int signal);

// One device as the journal tells it.
struct JournalDevice {
  std::string name;
  int options = 0;         // the length of its list
  std::string listSha256;  // of its list
  std::vector<OptionReport> taken;
  bool restarted = false;
  bool configurationEnded = false;
  std::optional<Outcome> result;  // from its end record; none when the run did not get there
  std::string problem;
};

struct JournalContents {
  std::string command;
  std::string started;
  std::vector<InputFile> inputs;  // each with its role
  std::string restart = "always";
  bool verify = false;
  std::vector<std::string> devices;            // every device of the run, in its order
  std::map<std::string, JournalDevice> began;  // the devices that started
  bool ended = false;                          // the run's end record is there
  bool interrupted = false;
  int stoppedAtOnceBy = 0;  // the signal of a stop at once, 0 when none
  int tornLine = 0;         // the line number of a last line left unfinished and ignored
};

// A journal's text; throws AppError naming path and line for a record that does not parse
// other than an unfinished last line (a write cut short), which is ignored and named in
// `tornLine`.
JournalContents ParseJournal(std::string_view text, const std::string& path);

// Whether the text's first line is a journal's.
bool LooksLikeJournal(std::string_view text);

// Done with the device: its end record says it succeeded, or (cut short before that) every
// option of its list is journalled as written or unchanged and its restart is journalled where
// the run's restart rule asked for one.
bool DeviceFinished(const JournalDevice& device, const std::string& restart);

// How far the device got, for people: "done", "7 of 8 options, not restarted", ...
std::string HowFar(const JournalDevice& device, const std::string& restart);

}  // namespace quillstone::cli
