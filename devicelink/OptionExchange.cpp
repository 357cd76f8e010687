#include "devicelink/OptionExchange.h"

namespace quillstone {

std::string ReadOption(std::int32_t handle, const std::string& name) {
  return LinkConnection::ForProcess().ReadOption(handle, name);
}

bool WriteOption(std::int32_t handle, const std::string& optionText, bool scrambleAllowed) {
  return LinkConnection::ForProcess().WriteOption(handle, optionText, scrambleAllowed);
}

int WriteOptionList(const OptionList& options) {
  return LinkConnection::ForProcess().WriteOptionList(options).written;
}

}  // namespace quillstone
