// Erasing and programming through the attached loader: INFO memory, main
// flash, the held image and the vector table that restarts the device. Each
// step is tried up to the host's retries, 175 ms apart; progress goes to the
// hook of loader_progress.h when the host's show-progress flag is set.
#pragma once

#include <cstdint>

#include "bsl/host_bsl.h"
#include "bsl/loader_progress.h"

namespace halv {

constexpr uint32_t kFlashSegmentBytes = 0x200;
constexpr uint32_t kDataBlockDigits = 512;
// Main flash from here to 0xFFFF is never erased; the erase goes on above it.
constexpr uint32_t kProtectedFlashStart = 0xFA00;
constexpr uint32_t kProtectedFlashLast = 0xFFFF;
constexpr uint32_t kAboveProtectedFlash = 0x10000;
constexpr uint32_t kBetweenAttemptsMs = 175;
constexpr uint32_t kBeforeVectorsMs = 50;
constexpr uint32_t kEraseReportEvery = 10;  // segments

// Erases count INFO segments of size bytes from start. Positive after the last
// segment, 0 for a count of 0, negative on failure.
int32_t BSLEraseINFO(HostBSL* host, uint32_t start, uint32_t count, uint32_t size, bool extended);

// Erases main flash in 512-byte segments from start up to end (exclusive),
// leaping the protected range. Positive when done, 0 when there was nothing
// to erase, -11 for a start in the protected range, -40 cancelled.
int32_t BSLEraseFlash(HostBSL* host, uint32_t start, uint32_t end, bool extended);

// Sets the address of the next "W": four digits, five with extended.
int32_t BSLSendAddress(HostBSL* host, uint32_t address, bool extended);

// Programs the held image in blocks of up to 512 digits. Positive on success,
// -10 no image, -11 an image not beginning with "@", -40 cancelled.
int32_t BSLSendFirmware(HostBSL* host, bool extended);

// Writes the vector table, which ends programming and starts the firmware.
int32_t BSLSendVectors(HostBSL* host);

}  // namespace halv
