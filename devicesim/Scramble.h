#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillstone::devsim {

// Recovers a value sent in the chained exclusive-or form: hex digit pairs, the first the key,
// each later pair the exclusive-or of the previous pair and one value byte. Nothing when the
// text is not that form: odd length, a non-hex digit, no key, a key of 00 or FF (never drawn),
// or a recovered zero byte.
std::optional<std::string> UnscrambleValue(std::string_view digits);

}  // namespace quillstone::devsim
