// The computer's calendar clock as the instrument protocol reads it; tests
// replace it to set a device's clock at a chosen moment.
#pragma once

#include <cstdint>

namespace halv {

// Seconds since 1 January 1970, universal time; false (with the system's
// error code) when the clock cannot be read.
using WallClockSource = bool (*)(int64_t* seconds, int* error);
// Null restores the system clock. Returns the previous source.
WallClockSource SetWallClockSource(WallClockSource source);
bool ReadWallClock(int64_t* seconds, int* error);

}  // namespace halv
