#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The tool's own command-line options, answered before any window or display is needed (so
// that a terminal without a display and the man-page generator get them).
namespace quillstone {

// The text to print and exit with for "--version" or "--help"/"-h" (the first one given);
// nothing for any other command line, which goes to Qt as it is. `args`: after the program name.
std::optional<std::string> TextInsteadOfWindow(std::span<const std::string_view> args);

}  // namespace quillstone
