// The header a firmware image carries at the start of the application flash.
// After a restart the device reads it to learn what it now runs, and its
// self-check ("post") compares the check value with the programmed memory.
//
// Layout (little-endian): +0 "HVFW"; +4 model code, 16 bytes zero-padded;
// +20 version text, 16 bytes; +36 CRC-32 of the check range; +40 8 balance
// bytes (ignored); +48 the firmware. The check range runs from +48 to the end
// of main flash, leaving out the loader's range and the vector table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/device_profile.h"
#include "sim/flash_memory.h"

namespace halv::sim {

constexpr uint32_t kHeaderBytes = 48;
constexpr uint32_t kHeaderModelOffset = 4;
constexpr uint32_t kHeaderVersionOffset = 20;
constexpr uint32_t kHeaderCheckOffset = 36;
constexpr uint32_t kHeaderTextBytes = 16;
constexpr char kHeaderMagic[] = "HVFW";

struct FirmwareHeader {
  bool present = false;  // the magic is there
  char model[kHeaderTextBytes + 1] = {};
  char version[kHeaderTextBytes + 1] = {};
  uint32_t stored_check = 0;
  uint32_t computed_check = 0;
  bool Good() const { return present && stored_check == computed_check; }
};

// CRC-32 (reflected, polynomial 0xEDB88320), continued from crc; start with
// 0xFFFFFFFF and invert the end result.
uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t count);

// The check value over the programmed memory, as the firmware computes it.
uint32_t ComputeFirmwareCheck(const FlashMemory& memory, const DeviceProfile& profile);

FirmwareHeader ReadFirmwareHeader(const FlashMemory& memory, const DeviceProfile& profile);

// Puts a sound header for model and version into memory, with its check
// value over whatever the memory holds: the firmware a device leaves the
// factory with.
void InstallFactoryFirmware(FlashMemory* memory, const DeviceProfile& profile, const char* model,
                            const char* version);

}  // namespace halv::sim
