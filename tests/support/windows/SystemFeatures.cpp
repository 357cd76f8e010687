#include "tests/support/SystemFeatures.h"

namespace quillstone::testing {

bool SystemHasPseudoTerminals() {
  return false;
}

}  // namespace quillstone::testing
