#include "capstan/src/HandleTable.h"

#include <limits>

namespace quillstone::capstan {

std::int32_t HandleTable::Add(std::shared_ptr<Connection> connection) {
  std::lock_guard lock(mutex_);
  if (open_.size() >= kMaxOpen) return 0;
  // Handles count up so that a stale handle of a closed connection rarely names a new one.
  while (open_.contains(next_)) {
    next_ = next_ == std::numeric_limits<std::int32_t>::max() ? 1 : next_ + 1;
  }
  const std::int32_t handle = next_;
  next_ = next_ == std::numeric_limits<std::int32_t>::max() ? 1 : next_ + 1;
  open_.emplace(handle, std::move(connection));
  return handle;
}

std::shared_ptr<Connection> HandleTable::Find(std::int32_t handle) const {
  std::lock_guard lock(mutex_);
  const auto found = open_.find(handle);
  return found == open_.end() ? nullptr : found->second;
}

std::shared_ptr<Connection> HandleTable::Remove(std::int32_t handle) {
  std::lock_guard lock(mutex_);
  const auto found = open_.find(handle);
  if (found == open_.end()) return nullptr;
  auto connection = std::move(found->second);
  open_.erase(found);
  return connection;
}

HandleTable& ProcessHandles() {
  static HandleTable table;
  return table;
}

}  // namespace quillstone::capstan
