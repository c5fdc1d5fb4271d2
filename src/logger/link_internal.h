// What the logger link's files share among themselves.
#pragma once

#include <cstdint>

#include "logger/logger_link.h"

namespace halv {

// Asks the progress-and-cancel hook when the link's cancel check is on;
// true (go on) otherwise.
bool AskToGoOn(DeviceLink* link, uint32_t total, uint32_t done, int phase);
void TraceSent(DeviceLink* link, const char* text);
void TraceReceived(DeviceLink* link, const char* text);

// A reply buffer of fixed capacity for one exchange.
template <uint32_t N>
struct Reply {
  char text[N] = {};
  uint32_t length = N;
  uint32_t elapsed_ms = 0;
  int32_t Exchange(DeviceLink* link, const char* command, char end, uint32_t wait_ms) {
    length = N;
    return DeviceCommand(link, command, end, wait_ms, text, &length, &elapsed_ms);
  }
  int Ms() const { return static_cast<int>(elapsed_ms); }
};

}  // namespace halv
