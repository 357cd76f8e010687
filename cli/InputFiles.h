#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/DeviceAddress.h"
#include "devicelink/LinkConnection.h"

// The run's input: the option list file, the device list, and what each device gets. Every
// fault throws InputError naming file, line and column, before anything is sent.
namespace quillstone::cli {

// The largest input file taken: far more than any real options file, device list or report
// holds, and a bound on the memory an endless or mistaken file (a device, a FIFO) may take.
inline constexpr std::size_t kLargestInputFile = 16 * 1024 * 1024;

// How strictly the input is read, and where host names and serial ports are looked up.
struct InputRules {
  // A name outside the pages' option list is sent as it is, not refused.
  bool allowUnknownOptions = false;
  AddressResolver resolver = SystemAddressResolver();
  // Asked while a file is read: true once the run is being interrupted.
  std::function<bool()> stop;
};

// The whole content of an input file: a regular file of at most kLargestInputFile bytes.
// Throws InputError at "path:1:1" saying why not (missing, a folder or device, too large,
// unreadable, or the reading stopped by `stop`).
std::string ReadInputText(const std::string& path, const std::function<bool()>& stop = {});

// Both files are UTF-8 text (a leading UTF-8 mark is dropped); no name or value holds a control
// character; every option name is one the wireless or modem page writes (unless allowed), with
// no blank around it or its "=".

// An options.ini as the window writes it (the option lines, then its [Config] section, which
// is not read) or a plain file of name=value lines. At least one option.
OptionList ReadOptionsFile(const std::string& path, const InputRules& rules = {});

struct DeviceEntry {
  DeviceAddress address;
  OptionList overrides;  // name=value texts from the row's option columns
  std::string where;     // "site.csv:4" or "argument 3", for messages
  int column = 1;        // of the device text in `where`
};

// A CSV file: a header with a "device" column and optional columns named after options; one
// row per device, at least one. Fields may be quoted ("a,b", "say ""hi"""). An empty cell
// overrides nothing. Each host name is resolved once.
std::vector<DeviceEntry> ReadDeviceList(const std::string& path, const InputRules& rules = {});

// DEVICE arguments of the command line, named "device argument N" in messages; at least one.
std::vector<DeviceEntry> ParseDeviceArguments(const std::vector<std::string>& texts,
                                              const InputRules& rules = {});

// Throws when two entries name the same device, also by two names of one serial line or of
// one host.
void RejectDuplicateDevices(const std::vector<DeviceEntry>& devices);

// The base list with each override replacing the option of its name in place, or appended
// when the list has no such option.
OptionList OptionsFor(const OptionList& base, const OptionList& overrides);

}  // namespace quillstone::cli
