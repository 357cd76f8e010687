#pragma once

#include <cstdint>
#include <string>

#include "devicelink/LinkConnection.h"

// Reading and writing device options (name=value), one at a time or as a batch, on the
// process-wide connection.
namespace quillstone {

// The value of option `name`, empty when the read failed (or the name is over 198 bytes).
std::string ReadOption(std::int32_t handle, const std::string& name);

// Writes one option unless the device already holds the wanted value. Returns true when the
// device holds the value afterwards as far as the tool can tell. A scrambled text over 400
// bytes is refused (false) without being sent.
bool WriteOption(std::int32_t handle, const std::string& optionText, bool scrambleAllowed);

// Probes "~OS", decides ScrambleOptions, writes every option with one immediate retry and a
// 100 ms pause after each. Returns how many options ended up written.
int WriteOptionList(const OptionList& options);

}  // namespace quillstone
