#include "tests/support/Environment.h"

#include <stdlib.h>

namespace quillstone::testing {

void SetEnvVariable(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnvVariable(const std::string& name) {
  ::unsetenv(name.c_str());
}

bool RunningUnderWine() {
  return false;
}

}  // namespace quillstone::testing
