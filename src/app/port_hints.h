// Advice for a port that another program on the computer may be disturbing:
// ModemManager sends AT commands to USB modem-like ports (ttyACM), which an
// instrument takes for commands of its own.
#pragma once

#include <string>

#include "log/diag_log.h"

namespace halv {

// How to stop ModemManager or keep it off the adapter, in a few lines.
std::string ModemManagerAdvice();

// What a failed connection's message gets added on port_name: a blank line
// and the advice while ModemManager runs and the port is modem-like, else
// nothing.
std::string ConnectionHint(const std::string& port_name, DiagLog* log);

}  // namespace halv
