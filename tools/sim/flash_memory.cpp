#include "sim/flash_memory.h"

#include <algorithm>
#include <cstring>

namespace halv::sim {

FlashMemory::FlashMemory(const DeviceProfile& profile)
    : profile_(profile), bytes_(profile.flash_end, 0xFF) {}

uint8_t FlashMemory::Byte(uint32_t address) const {
  return address < bytes_.size() ? bytes_[address] : 0xFF;
}

uint16_t FlashMemory::Word(uint32_t address) const {
  return static_cast<uint16_t>(Byte(address) | (Byte(address + 1) << 8));
}

bool FlashMemory::InInfo(uint32_t address) const {
  const uint32_t end = profile_.info_start + profile_.info_segments * profile_.info_segment_size;
  return address >= profile_.info_start && address < end;
}

bool FlashMemory::InMain(uint32_t address) const {
  return address >= profile_.flash_start && address < profile_.flash_end;
}

bool FlashMemory::Program(uint32_t address, const uint8_t* bytes, size_t count,
                          uint32_t* refused_at) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t a = address + static_cast<uint32_t>(i);
    const bool writable = (InInfo(a) || InMain(a)) && !InLoaderRange(a);
    if (!writable || bytes_[a] != 0xFF) {
      *refused_at = a;
      return false;
    }
  }
  memcpy(&bytes_[address], bytes, count);
  return true;
}

bool FlashMemory::EraseSegment(uint32_t address, uint32_t* start, uint32_t* end) {
  if (InInfo(address)) {
    const uint32_t size = profile_.info_segment_size;
    *start = profile_.info_start + (address - profile_.info_start) / size * size;
    *end = *start + size;
  } else if (InMain(address) && !InLoaderRange(address)) {
    // Segments are aligned in the address space; a flash that starts inside
    // one loses only its own part of it.
    *start = std::max(address & ~(kMainSegmentBytes - 1), profile_.flash_start);
    *end = std::min((address & ~(kMainSegmentBytes - 1)) + kMainSegmentBytes, profile_.flash_end);
  } else {
    return false;
  }
  EraseRange(*start, *end);
  return true;
}

void FlashMemory::EraseRange(uint32_t start, uint32_t end) {
  end = std::min<uint32_t>(end, static_cast<uint32_t>(bytes_.size()));
  if (start < end) std::fill(bytes_.begin() + start, bytes_.begin() + end, 0xFF);
}

void FlashMemory::Load(uint32_t address, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count && address + i < bytes_.size(); ++i) bytes_[address + i] = bytes[i];
}

std::vector<FlashMemory::Run> FlashMemory::ProgrammedRuns() const {
  // Whole rows of 16 bytes, so that an 0xFF inside the data does not split it.
  constexpr uint32_t kRow = 16;
  std::vector<Run> runs;
  const uint32_t size = static_cast<uint32_t>(bytes_.size());
  for (uint32_t row = 0; row < size; row += kRow) {
    const uint32_t row_end = std::min(row + kRow, size);
    const bool used = std::any_of(bytes_.begin() + row, bytes_.begin() + row_end,
                                  [](uint8_t b) { return b != 0xFF; });
    if (!used) continue;
    if (!runs.empty() && runs.back().end == row) {
      runs.back().end = row_end;
    } else {
      runs.push_back({row, row_end});
    }
  }
  return runs;
}

}  // namespace halv::sim
