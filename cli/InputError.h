#pragma once

#include <stdexcept>
#include <string>

namespace quillstone::cli {

// Bad input, found before anything is sent: names where it is ("site.csv:3:12", or "argument
// 2:5" for the command line) and what is wrong.
class InputError : public std::runtime_error {
 public:
  InputError(const std::string& where, int column, const std::string& problem)
      : std::runtime_error(where + ":" + std::to_string(column) + ": " + problem) {}
};

// A usage error found after the arguments were parsed, before any device is contacted.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quillstone::cli
