#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reading and writing device options (name=value), one at a time or as a batch.
namespace quillstone {

// Ordered option texts; duplicates allowed, order of insertion is order of sending.
using OptionList = std::vector<std::string>;

// The value of option `name`, empty when the read failed (or the name is over 198 bytes).
std::string ReadOption(std::int32_t handle, const std::string& name);

// Writes one option unless the device already holds the wanted value. Returns true when the
// device holds the value afterwards as far as the tool can tell. A scrambled text over 400
// bytes is refused (false) without being sent.
bool WriteOption(std::int32_t handle, const std::string& optionText, bool scrambleAllowed);

// The scrambled (chained exclusive-or) form of an option text with the given key (1..254).
std::string ScrambleOptionText(const std::string& optionText, int key);

// Probes "~OS", decides ScrambleOptions, writes every option with one immediate retry and a
// 100 ms pause after each. Returns how many options ended up written.
int WriteOptionList(const OptionList& options);

}  // namespace quillstone
