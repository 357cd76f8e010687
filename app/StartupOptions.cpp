#include "app/StartupOptions.h"

#include <quillstone/Version.h>

namespace quillstone {

std::optional<std::string> TextInsteadOfWindow(std::span<const std::string_view> args) {
  for (const std::string_view arg : args) {
    if (arg == "--version") return std::string("quillstone ") + kVersion + "\n";
    if (arg == "--help" || arg == "-h") {
      return R"(Usage: quillstone [OPTIONS]

Configuration tool for a networked terminal device: connects to the device over TCP/IP or
RS232, writes its Wi-Fi options and its wireless IP settings, and restarts it.

The settings files options.ini and IPconfig.ini stay beside the program when its folder is
writable. Otherwise they live in $XDG_CONFIG_HOME/quillstone/ (by default
~/.config/quillstone/), where the program folder's files, if any, are the starting values.

Options:
  -h, --help     show this text
      --version  show the program's version

Qt's own options, such as -platform NAME, are accepted as well.
)";
    }
  }
  return std::nullopt;
}

}  // namespace quillstone
