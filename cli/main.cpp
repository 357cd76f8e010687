// quillstone-cli: reads, applies and verifies device options from the command line.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define QUILLSTONE_ISATTY _isatty
#define QUILLSTONE_FILENO _fileno
#else
#include <unistd.h>
#define QUILLSTONE_ISATTY isatty
#define QUILLSTONE_FILENO fileno
#endif

#include "cli/CommandLine.h"

int main(int argc, char** argv) {
  quillstone::cli::CliEnvironment environment;
  environment.services = quillstone::CurrentLinkServices();
  environment.out = &std::cout;
  environment.err = &std::cerr;
  environment.terminal = QUILLSTONE_ISATTY(QUILLSTONE_FILENO(stdout)) != 0;
  return quillstone::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                         environment);
}
