// The device's state for a person chasing a fault: state, identity, the
// settings store, the refused writes, then every programmed stretch of
// memory as address lines of 16 bytes.
#pragma once

#include <cstdio>

#include "sim/sim_device.h"

namespace halv::sim {

void WriteDump(const SimDevice& device, FILE* out);
// False when the file does not open.
bool WriteDumpFile(const SimDevice& device, const char* path);

}  // namespace halv::sim
