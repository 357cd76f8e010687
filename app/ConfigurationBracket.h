#pragma once

#include "devicelink/DeviceConnection.h"

namespace quillstone {

// Begins the device's configuration bracket on an open connection; on leaving scope, by any
// way out, ends the bracket and closes the connection.
class ConfigurationBracket {
 public:
  ConfigurationBracket() { BeginDeviceConfig(); }
  ~ConfigurationBracket() {
    EndDeviceConfig();
    CloseConnection();
  }
  ConfigurationBracket(const ConfigurationBracket&) = delete;
  ConfigurationBracket& operator=(const ConfigurationBracket&) = delete;
};

}  // namespace quillstone
