// Small firmware images for the simulator's tests, built here on the test's
// side (own CRC, own word order) so that a fault in the device model's header
// check cannot hide behind the same fault in the image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace halv::simtest {

struct TestImage {
  std::vector<uint8_t> memory;  // 0x0000 to 0xFFFF as the image leaves it
  std::string text;             // "@08000" and the data as words, high digit first
  uint32_t vectors[16];
};

// Bitwise CRC-32 (reflected, 0xEDB88320, initial and final inversion).
uint32_t BitwiseCrc32(const uint8_t* bytes, size_t count);

// An image for the Pumatic's flash: header at 0x8000 with model and version,
// code_bytes (even) of pattern after it, a matching check value unless
// spoil_check is set, and a reset vector pointing at the code.
TestImage MakeTestImage(const char* model, const char* version, size_t code_bytes,
                        bool spoil_check = false);

// One loader frame: letter, payload, "." and the checksum, "\r".
std::string Frame(char letter, const std::string& payload);

// The 64 digits of a "V" payload.
std::string VectorPayload(const uint32_t* vectors);

}  // namespace halv::simtest
