#pragma once

namespace quillstone::testing {

// Whether the simulator can serve a pseudo-terminal as the device's serial line here; the
// tests of the serial road over one are skipped where it cannot (Windows).
bool SystemHasPseudoTerminals();

}  // namespace quillstone::testing
