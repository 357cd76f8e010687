#pragma once

#include "devicelink/LinkConnection.h"

namespace quillstone::testing {

// The wireless apply's first worked example: Active, infrastructure, OPEN, NONE, no key
// group, the device IP by DHCP, the network name "Office". The window sends it and stores it
// in options.ini; the command line rolls it out.
inline const OptionList kOpenNetworkOptions = {
    "WIFI=1",          "SSID=Office",    "NetworkType=Infra", "AuthMode=OPEN",
    "EncrypType=NONE", "DefaultKeyID=1", "Key1Type=0",        "Key1Str=",
    "Key2Type=0",      "Key2Str=",       "Key3Type=0",        "Key3Str=",
    "Key4Type=0",      "Key4Str=",       "WPAPSK=",           "wifidhcp=1"};

}  // namespace quillstone::testing
