#pragma once

#include <stdexcept>
#include <string>

namespace quillstone {

// An error that ends the running button handler; the window shows its text in the
// application error box and the program goes on with the next user action.
class AppError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quillstone
