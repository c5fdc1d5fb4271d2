// The device's flash as the loader sees it: INFO segments and the main
// flash, erased bytes read 0xFF, a byte can be programmed only while erased,
// and the loader's own range is never erased or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/device_profile.h"

namespace halv::sim {

constexpr uint32_t kMainSegmentBytes = 0x200;
// The loader lives here; it erases and writes nothing in its own range.
constexpr uint32_t kLoaderRangeStart = 0xFA00;
constexpr uint32_t kLoaderRangeEnd = 0xFE00;
// The segment holding the vector table, and the table itself.
constexpr uint32_t kVectorSegmentStart = 0xFE00;
constexpr uint32_t kVectorSegmentEnd = 0x10000;
constexpr uint32_t kVectorTableStart = 0xFFE0;
constexpr uint32_t kVectorTableEnd = 0x10000;
constexpr uint32_t kResetVector = 0xFFFE;

class FlashMemory {
 public:
  explicit FlashMemory(const DeviceProfile& profile);

  // 0xFF for every address outside the device's flash.
  uint8_t Byte(uint32_t address) const;
  uint16_t Word(uint32_t address) const;
  bool InInfo(uint32_t address) const;
  bool InMain(uint32_t address) const;
  bool InLoaderRange(uint32_t address) const {
    return address >= kLoaderRangeStart && address < kLoaderRangeEnd;
  }

  // Programs count bytes from address, all or none. Refused when a byte lies
  // outside the flash or in the loader's range, or is not erased; then
  // *refused_at holds the first such address.
  bool Program(uint32_t address, const uint8_t* bytes, size_t count, uint32_t* refused_at);

  // Erases the segment holding address: 512 bytes in main flash, one INFO
  // segment in INFO memory. Refused outside the flash and in the loader's
  // range. [*start, *end) is what was erased.
  bool EraseSegment(uint32_t address, uint32_t* start, uint32_t* end);
  // Erases [start, end) within the flash without any check (the loader's
  // own companion erase of the vector segment).
  void EraseRange(uint32_t start, uint32_t end);

  // Writes bytes without any check: what the factory put there.
  void Load(uint32_t address, const uint8_t* bytes, size_t count);

  // Stretches holding programmed bytes, in rows of 16, for the dump.
  struct Run {
    uint32_t start;
    uint32_t end;
  };
  std::vector<Run> ProgrammedRuns() const;

 private:
  const DeviceProfile& profile_;
  std::vector<uint8_t> bytes_;  // indexed by address, up to the flash end
};

}  // namespace halv::sim
