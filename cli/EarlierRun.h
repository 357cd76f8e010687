#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/DeviceSession.h"
#include "cli/Report.h"

// What an earlier run left for `apply --only-failed`: its JSON report, or its journal (also of
// a run that was killed), read as one thing: which devices it finished, and from which inputs.
namespace quillstone::cli {

struct EarlierRun {
  std::string path;
  bool journal = false;
  std::vector<std::string> devices;  // every device of the run, in its order
  // The devices it finished, each with the SHA-256 of the list it finished with (empty when the
  // record does not say: a report).
  std::map<std::string, std::string> finished;
  std::string optionsSha256;
  // The site list's, when the record says which input it was (a journal) and it had one.
  std::optional<std::string> devicesSha256;
  // Every input's SHA-256, for a record that does not say which input was which (a report).
  std::vector<std::string> anyInputSha256;
  // What the user is told before the run: a torn last line ignored, a run that did not end and
  // how far each of its unfinished devices got.
  std::vector<std::string> notes;

  // The devices it did not finish, in its order.
  std::vector<std::string> Unfinished() const;
  // The earlier run finished this device with this very list.
  bool Finished(const DeviceJob& job) const;
};

// Throws InputError when the file cannot be read as an input file (ReadInputText), AppError when
// it is neither a report nor a journal.
EarlierRun ReadEarlierRun(const std::string& path, const std::function<bool()>& stop = {});

// Empty when these inputs are the ones the earlier run read (by SHA-256); otherwise the message
// that says which is not. `devicesPath` empty: the devices come from the earlier run itself.
std::string InputsDiffer(const EarlierRun& earlier, const InputFile& options,
                         const std::optional<InputFile>& devices);

}  // namespace quillstone::cli
