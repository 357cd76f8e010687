#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "capstan/src/Connection.h"

namespace quillstone::capstan {

// Maps the small integers the C interface hands out to open connections. A connection in use
// by a call stays alive until that call ends, even when another thread closes its handle.
class HandleTable {
 public:
  // A bound on leaked handles, well above what one process drives at once: quillstone-cli
  // keeps up to its --jobs limit (1024 at most) open together.
  static constexpr std::size_t kMaxOpen = 1024;

  // The new handle, or 0 when the table is full.
  std::int32_t Add(std::shared_ptr<Connection> connection);
  std::shared_ptr<Connection> Find(std::int32_t handle) const;
  std::shared_ptr<Connection> Remove(std::int32_t handle);

 private:
  mutable std::mutex mutex_;
  std::map<std::int32_t, std::shared_ptr<Connection>> open_;
  std::int32_t next_ = 1;
};

HandleTable& ProcessHandles();

}  // namespace quillstone::capstan
