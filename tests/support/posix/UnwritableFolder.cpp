#include "tests/support/UnwritableFolder.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace quillstone::testing {

// Capabilities belong to a thread on Linux, so a simulator thread keeps its own; the window
// runs the apply on this one.
struct UnwritableFolder::Hold {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved[2] = {};
};

UnwritableFolder::UnwritableFolder(std::string folder)
    : folder_(std::move(folder)), hold_(std::make_unique<Hold>()) {
  ::chmod(folder_.c_str(), 0555);
  ::syscall(SYS_capget, &hold_->header, hold_->saved);
  __user_cap_data_struct reduced[2] = {hold_->saved[0], hold_->saved[1]};
  reduced[0].effective &= ~(1U << CAP_DAC_OVERRIDE);
  ::syscall(SYS_capset, &hold_->header, reduced);
}

UnwritableFolder::~UnwritableFolder() {
  ::syscall(SYS_capset, &hold_->header, hold_->saved);
  ::chmod(folder_.c_str(), 0755);
}

// The replacement's first step, making the new file, fails for lack of permission.
bool UnwritableFolder::RefusesToReplace(const std::string& name) const {
  const std::string probe = folder_ + name + ".probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EACCES;
  ::close(fd);
  ::unlink(probe.c_str());
  return false;
}

}  // namespace quillstone::testing
