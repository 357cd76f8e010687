// Answers the collection's unit tests from the device link's own option names, so that the
// collection's copy of them cannot drift unnoticed:
//   option_names_probe known           every known option name, one a line, in order
//   option_names_probe secret NAME...  "secret" or "shown" for each NAME, one a line
#include <iostream>
#include <string_view>

#include "devicelink/OptionNames.h"

int main(int argc, char** argv) {
  const std::string_view what = argc > 1 ? argv[1] : "";
  if (what == "known" && argc == 2) {
    for (const std::string_view name : quillstone::KnownOptionNames()) std::cout << name << '\n';
    return 0;
  }
  if (what == "secret") {
    for (int i = 2; i < argc; ++i) {
      std::cout << (quillstone::IsSecretOption(argv[i]) ? "secret" : "shown") << '\n';
    }
    return 0;
  }
  std::cerr << "usage: option_names_probe known | secret NAME...\n";
  return 2;
}
