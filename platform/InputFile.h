#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Reading a file a user hands the program as input (an option list, a device list, the record
// of an earlier run): bounded, so that a huge or endless file never fills the memory, and
// stoppable, so that a stop request ends the reading at once. Paths are UTF-8 text.
namespace quillstone {

enum class InputFileFault {
  kNone,
  kMissing,     // no such file, or a folder on the way is missing
  kNotRegular,  // a folder, a device, a FIFO or a socket; `detail` names which
  kTooLarge,    // longer than the limit
  kUnreadable,  // no permission, an input/output error; `detail` is the system's reason
  kStopped,     // the stop request came before the end of the file
};

struct InputFileRead {
  InputFileFault fault = InputFileFault::kNone;
  std::string content;  // the whole file without a fault, else empty
  std::string detail;   // see InputFileFault
};

// Takes regular files only, and opens without waiting: a FIFO without a writer is refused at
// once, never waited for, and so is a device such as /dev/zero. A file larger than `limit`
// bytes is refused by its size before any byte is read; one that grows while it is read is
// refused once `limit` is passed, so the memory never grows much beyond `limit`. `stop`, when
// given, is asked before each chunk.
InputFileRead ReadInputFile(const std::string& path, std::size_t limit,
                            const std::function<bool()>& stop = {});

}  // namespace quillstone
