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

}  // namespace quillstone::cli
