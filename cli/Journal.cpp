#include "cli/Journal.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/win32/WideText.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <quillstone/Version.h>
#include "platform/AppError.h"
#include "platform/Sha256.h"

namespace quillstone::cli {
namespace {

constexpr const char* kJournalTool = "quillstone-cli";

// The journal that is open, for the signal handler's last record.
std::atomic<int> openJournal{-1};

#ifdef _WIN32
int OpenForAppending(const std::string& path) {
  return _wopen(win32::WideFromUtf8(path).c_str(),
                _O_WRONLY | _O_CREAT | _O_TRUNC | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}
long long WriteSome(int file, const char* data, std::size_t size) {
  return _write(file, data, static_cast<unsigned>(size > 0x10000000u ? 0x10000000u : size));
}
int SyncFile(int file) {
  return _commit(file);
}
int CloseFile(int file) {
  return _close(file);
}
#else
int OpenForAppending(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
}
long long WriteSome(int file, const char* data, std::size_t size) {
  return ::write(file, data, size);
}
int SyncFile(int file) {
  return ::fsync(file);
}
int CloseFile(int file) {
  return ::close(file);
}
#endif

bool WriteAll(int file, std::string_view text) {
  while (!text.empty()) {
    const long long written = WriteSome(file, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string Line(const nlohmann::json& record) {
  // Option names and device names are bytes from the user's files: replaced, never thrown.
  return record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

[[noreturn]] void NotAJournal(const std::string& path, std::size_t line, const std::string& why) {
  throw AppError(path + ":" + std::to_string(line) + ": " + why);
}

const std::string& Text(const nlohmann::json& record, const char* key, const std::string& path,
                        std::size_t line) {
  const auto found = record.find(key);
  if (found == record.end() || !found->is_string()) {
    NotAJournal(path, line, std::string("a journal record without its \"") + key + "\"");
  }
  return found->get_ref<const std::string&>();
}

}  // namespace

std::string JournalBesideReport(const std::string& reportPath) {
  return reportPath + ".journal";
}

std::string ListSha256(const OptionList& options) {
  std::string text;
  for (const std::string& option : options) text += option + "\n";
  return Sha256Hex(text);
}

JournalWriter::JournalWriter(const std::string& path) : path_(path) {
  file_ = OpenForAppending(path);
  if (file_ < 0) {
    throw AppError("--journal " + path + ": cannot be written (" + std::strerror(errno) + ")");
  }
  openJournal.store(file_);
}

JournalWriter::~JournalWriter() {
  openJournal.store(-1);
  CloseFile(file_);
}

void JournalWriter::Append(const nlohmann::json& record, bool sync) {
  const std::string line = Line(record);
  std::uint64_t mine = 0;
  {
    std::lock_guard lock(mutex_);
    if (!failure_.empty()) return;
    if (!WriteAll(file_, line)) {
      failure_ = std::string("the journal ") + path_ + " could not be written (" +
                 std::strerror(errno) + ")";
      return;
    }
    mine = ++written_;
  }
  if (!sync) return;
  // Whoever syncs covers every record written before it; those that waited meanwhile find
  // theirs covered and go on without a sync of their own.
  std::lock_guard syncing(syncMutex_);
  std::uint64_t upTo = 0;
  {
    std::lock_guard lock(mutex_);
    if (synced_ >= mine || !failure_.empty()) return;
    upTo = written_;
  }
  const bool synced = SyncFile(file_) == 0;
  std::lock_guard lock(mutex_);
  if (!synced) {
    failure_ = std::string("the journal ") + path_ + " could not be flushed to the disk (" +
               std::strerror(errno) + ")";
    return;
  }
  synced_ = std::max(synced_, upTo);
}

std::string JournalWriter::Failed() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void JournalWriter::RunStarted(const RunRecord& run, const std::vector<DeviceJob>& jobs) {
  nlohmann::json inputs = nlohmann::json::array();
  for (const InputFile& input : run.inputs) {
    inputs.push_back({{"file", input.path}, {"sha256", input.sha256}, {"role", input.role}});
  }
  nlohmann::json devices = nlohmann::json::array();
  for (const DeviceJob& job : jobs) devices.push_back(job.address.Name());
  Append({{"journal", kJournalTool},
          {"version", kVersion},
          {"command", run.command},
          {"started", run.started},
          {"inputs", inputs},
          {"optionsAsked", run.options},
          {"jobs", run.jobs},
          {"restart", run.restart},
          {"verify", run.verify},
          {"devices", devices}},
         true);
}

void JournalWriter::DeviceStarted(const DeviceJob& job) {
  Append({{"event", "started"},
          {"device", job.address.Name()},
          {"time", UtcNow()},
          {"options", job.options.size()},
          {"list", ListSha256(job.options)}},
         true);
}

void JournalWriter::OptionTaken(const std::string& device, const OptionReport& option) {
  nlohmann::json record = {
      {"event", "option"}, {"device", device}, {"name", option.name}, {"result", option.result}};
  if (!option.why.empty()) record["why"] = option.why;
  Append(record, false);
}

void JournalWriter::Restarted(const std::string& device) {
  Append({{"event", "restarted"}, {"device", device}}, false);
}

void JournalWriter::ConfigurationEnded(const std::string& device) {
  Append({{"event", "configuration ended"}, {"device", device}}, false);
}

void JournalWriter::DeviceFinished(const DeviceReport& report) {
  Append({{"event", "finished"}, {"device", report.device}, {"report", DeviceJson(report)}}, true);
}

void JournalWriter::RunEnded(const RunRecord& run) {
  Append({{"event", "run ended"}, {"ended", run.ended}, {"interrupted", run.interrupted}}, true);
}

void JournalStoppedAtOnce(int signal) {
  const int file = openJournal.load();
  if (file < 0) return;
  // No allocation and no locks here: the text is put together in place.
  char line[64] = "{\"event\":\"stopped at once\",\"signal\":";
  std::size_t length = std::strlen(line);
  char digits[12];
  std::size_t count = 0;
  unsigned value = signal > 0 ? static_cast<unsigned>(signal) : 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && count < sizeof digits);
  while (count > 0) line[length++] = digits[--count];
  line[length++] = '}';
  line[length++] = '\n';
  const long long ignored = WriteSome(file, line, length);
  (void)ignored;
  SyncFile(file);
}

bool LooksLikeJournal(std::string_view text) {
  const std::string_view first = text.substr(0, text.find('\n'));
  const nlohmann::json header = nlohmann::json::parse(first, nullptr, false);
  return header.is_object() && header.value("journal", "") == kJournalTool;
}

JournalContents ParseJournal(std::string_view text, const std::string& path) {
  JournalContents contents;
  std::size_t lineNumber = 0;
  bool header = false;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      // A write cut short by the end of the process: the record never was, and it is said so.
      contents.tornLine = static_cast<int>(lineNumber);
      break;
    }
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
    if (!record.is_object())
      NotAJournal(path, lineNumber, "not a record of a quillstone-cli journal");
    if (!header) {
      if (record.value("journal", "") != kJournalTool) {
        NotAJournal(path, lineNumber, "not a journal of quillstone-cli");
      }
      contents.command = record.value("command", "");
      contents.started = record.value("started", "");
      contents.restart = record.value("restart", "always");
      contents.verify = record.value("verify", false);
      for (const nlohmann::json& input : record.value("inputs", nlohmann::json::array())) {
        if (!input.is_object()) NotAJournal(path, lineNumber, "an input that is not a record");
        contents.inputs.push_back(
            {input.value("file", ""), input.value("sha256", ""), input.value("role", "")});
      }
      for (const nlohmann::json& device : record.value("devices", nlohmann::json::array())) {
        if (!device.is_string()) NotAJournal(path, lineNumber, "a device that is not a name");
        contents.devices.push_back(device.get<std::string>());
      }
      header = true;
      continue;
    }
    const std::string& event = Text(record, "event", path, lineNumber);
    if (event == "run ended") {
      contents.ended = true;
      contents.interrupted = record.value("interrupted", false);
      continue;
    }
    if (event == "stopped at once") {
      contents.stoppedAtOnceBy = record.value("signal", 0);
      continue;
    }
    const std::string& name = Text(record, "device", path, lineNumber);
    if (event == "started") {
      JournalDevice& device = contents.began[name];
      device = {};
      device.name = name;
      device.options = record.value("options", 0);
      device.listSha256 = record.value("list", "");
      continue;
    }
    const auto found = contents.began.find(name);
    if (found == contents.began.end()) {
      NotAJournal(path, lineNumber, "a record of " + name + " before its start");
    }
    JournalDevice& device = found->second;
    if (event == "option") {
      device.taken.push_back({Text(record, "name", path, lineNumber),
                              Text(record, "result", path, lineNumber), record.value("why", "")});
    } else if (event == "restarted") {
      device.restarted = true;
    } else if (event == "configuration ended") {
      device.configurationEnded = true;
    } else if (event == "finished") {
      const nlohmann::json report = record.value("report", nlohmann::json::object());
      device.result = OutcomeNamed(report.value("result", ""));
      if (!device.result) NotAJournal(path, lineNumber, "an end record without a known result");
      device.problem = report.value("problem", "");
    }
    // Other events are a later version's; what they say is not needed here.
  }
  if (!header) throw AppError(path + ": holds no record of a run");
  return contents;
}

namespace {

int Written(const JournalDevice& device) {
  int written = 0;
  for (const OptionReport& option : device.taken) written += option.result == "written" ? 1 : 0;
  return written;
}

bool RestartDue(const std::string& restart, int written) {
  return restart == "always" || (restart == "changed" && written > 0);
}

}  // namespace

bool DeviceFinished(const JournalDevice& device, const std::string& restart) {
  if (device.result) return Succeeded(*device.result);
  if (static_cast<int>(device.taken.size()) != device.options) return false;
  for (const OptionReport& option : device.taken) {
    if (option.result != "written" && option.result != "unchanged") return false;
  }
  return device.restarted || !RestartDue(restart, Written(device));
}

std::string HowFar(const JournalDevice& device, const std::string& restart) {
  if (device.result) {
    return OutcomeName(*device.result) + (device.problem.empty() ? "" : ": " + device.problem);
  }
  std::string reached = std::to_string(device.taken.size()) + " of " +
                        std::to_string(device.options) + " options taken (" +
                        std::to_string(Written(device)) + " written)";
  if (device.restarted) {
    reached += ", restarted";
  } else if (RestartDue(restart, Written(device))) {
    reached += ", not restarted";
  }
  if (!device.configurationEnded) reached += ", its configuration not seen to end";
  return reached;
}

}  // namespace quillstone::cli
