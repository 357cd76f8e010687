#pragma once

#include <string>
#include <vector>

#include "cli/DeviceAddress.h"
#include "devicelink/LinkConnection.h"

// The run's input: the option list file, the device list, and what each device gets. Every
// fault throws InputError naming file, line and column, before anything is sent.
namespace quillstone::cli {

// An options.ini as the window writes it (the option lines above its first section header)
// or a plain file of name=value lines. Every line needs a name and "=".
OptionList ReadOptionsFile(const std::string& path);

struct DeviceEntry {
  DeviceAddress address;
  OptionList overrides;  // name=value texts from the row's option columns
  std::string where;     // "site.csv:4" or "argument 3", for messages
  int column = 1;        // of the device text in `where`
};

// A CSV file: a header with a "device" column and optional columns named after options; one
// row per device. Fields may be quoted ("a,b", "say ""hi"""). An empty cell overrides nothing.
std::vector<DeviceEntry> ReadDeviceList(const std::string& path);

// DEVICE arguments of the command line, named "device argument N" in messages.
std::vector<DeviceEntry> ParseDeviceArguments(const std::vector<std::string>& texts);

// Throws when two entries name the same device.
void RejectDuplicateDevices(const std::vector<DeviceEntry>& devices);

// The base list with each override replacing the option of its name in place, or appended
// when the list has no such option.
OptionList OptionsFor(const OptionList& base, const OptionList& overrides);

}  // namespace quillstone::cli
