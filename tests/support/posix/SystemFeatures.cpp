#include "tests/support/SystemFeatures.h"

namespace quillstone::testing {

bool SystemHasPseudoTerminals() {
  return true;
}

}  // namespace quillstone::testing
