#include "sim/firmware_header.h"

#include <array>
#include <cstring>

namespace halv::sim {
namespace {

constexpr uint32_t kCrcPolynomial = 0xEDB88320u;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kCrcPolynomial : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

bool InCheckRange(uint32_t address) {
  const bool loader = address >= kLoaderRangeStart && address < kLoaderRangeEnd;
  const bool vectors = address >= kVectorTableStart && address < kVectorTableEnd;
  return !loader && !vectors;
}

void CopyText(const FlashMemory& memory, uint32_t address, char* out) {
  for (uint32_t i = 0; i < kHeaderTextBytes; ++i) {
    const uint8_t b = memory.Byte(address + i);
    // Text ends at the first zero; anything unprintable is shown as "?".
    if (b == 0) break;
    out[i] = (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '?';
  }
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) crc = kCrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

uint32_t ComputeFirmwareCheck(const FlashMemory& memory, const DeviceProfile& profile) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint32_t a = profile.flash_start + kHeaderBytes; a < profile.flash_end; ++a) {
    if (!InCheckRange(a)) continue;
    const uint8_t b = memory.Byte(a);
    crc = Crc32Update(crc, &b, 1);
  }
  return crc ^ 0xFFFFFFFFu;
}

FirmwareHeader ReadFirmwareHeader(const FlashMemory& memory, const DeviceProfile& profile) {
  FirmwareHeader h;
  const uint32_t base = profile.flash_start;
  h.present = true;
  for (uint32_t i = 0; i < 4; ++i) {
    if (memory.Byte(base + i) != static_cast<uint8_t>(kHeaderMagic[i])) h.present = false;
  }
  if (!h.present) return h;
  CopyText(memory, base + kHeaderModelOffset, h.model);
  CopyText(memory, base + kHeaderVersionOffset, h.version);
  for (uint32_t i = 0; i < 4; ++i) {
    h.stored_check |= static_cast<uint32_t>(memory.Byte(base + kHeaderCheckOffset + i)) << (8 * i);
  }
  h.computed_check = ComputeFirmwareCheck(memory, profile);
  return h;
}

void InstallFactoryFirmware(FlashMemory* memory, const DeviceProfile& profile, const char* model,
                            const char* version) {
  uint8_t header[kHeaderBytes] = {};
  memcpy(header, kHeaderMagic, 4);
  for (uint32_t i = 0; i < kHeaderTextBytes && model[i] != '\0'; ++i) {
    header[kHeaderModelOffset + i] = static_cast<uint8_t>(model[i]);
  }
  for (uint32_t i = 0; i < kHeaderTextBytes && version[i] != '\0'; ++i) {
    header[kHeaderVersionOffset + i] = static_cast<uint8_t>(version[i]);
  }
  const uint32_t check = ComputeFirmwareCheck(*memory, profile);
  for (uint32_t i = 0; i < 4; ++i) header[kHeaderCheckOffset + i] = (check >> (8 * i)) & 0xFF;
  memory->Load(profile.flash_start, header, sizeof header);
  // A reset vector that points at the firmware, so that the device starts it.
  const uint32_t entry = profile.flash_start + kHeaderBytes;
  const uint8_t reset[2] = {static_cast<uint8_t>(entry & 0xFF),
                            static_cast<uint8_t>((entry >> 8) & 0xFF)};
  memory->Load(kResetVector, reset, 2);
}

}  // namespace halv::sim
