#pragma once

#include "devicelink/OptionExchange.h"

namespace quillstone::testing {

// The modem page's worked example (GPRS, connect Y, keep-alive Y, check mode LAN, IPType with
// 10.0.0.2, dial number 123, everything else as at start), as sent over TCP/IP; over RS232 the
// same list without the last entry.
inline const OptionList kModemWorkedExample = {"~MODEM=2",
                                               "ConnectMODEM=1",
                                               "APN=",
                                               "ModemUserName=",
                                               "ModemPassword=",
                                               "ModemDialNumber=123",
                                               "ModemKeepLive=1",
                                               "AutoUPLogTime=60",
                                               "AuthServerCheckMode=0",
                                               "AuthServerREQ=3",
                                               "ASTimeOut=10",
                                               "AuthServerIP=10.0.0.2",
                                               "DNS=0.0.0.0",
                                               "URL=",
                                               "~AuthServer=1"};
inline const OptionList kModemWorkedExampleOverSerial(kModemWorkedExample.begin(),
                                                      kModemWorkedExample.end() - 1);

}  // namespace quillstone::testing
