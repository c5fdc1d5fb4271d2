// What the SDI-12 operations share among themselves.
#pragma once

#include <string>

#include "sdi12/sdi_sensor.h"

namespace halv::sdi {

// Sends a command and keeps the answer in the record's reply only.
inline int32_t Send(SDISensor* s, const std::string& command) {
  uint32_t elapsed = 0;
  return SDISendCommand(s, command.c_str(), nullptr, nullptr, &elapsed);
}

// Every line of this layer is a progress line with its tag.
template <typename... Args>
void Log(SDISensor* s, const char* format, Args... args) {
  LogMessage(s->log, kLogProgress, kSdiTag, format, args...);
}

}  // namespace halv::sdi
