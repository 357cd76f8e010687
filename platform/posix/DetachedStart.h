#pragma once

#include <string>
#include <vector>

namespace quillstone::posix {

// Starts `arguments` (program first; a bare name is looked up in PATH, then /usr/sbin and
// /sbin) as a grandchild with standard streams on /dev/null, in its own session, and returns
// at once. The intermediate child is reaped here and the grandchild belongs to init, so no
// zombie is left and nothing waits for the program. Returns false when it could not be started
// as far as this process can tell (program not found, fork failed).
bool StartDetached(const std::vector<std::string>& arguments);

}  // namespace quillstone::posix
