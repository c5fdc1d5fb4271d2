#include "test_image.h"

#include <cstdio>
#include <cstring>

namespace halv::simtest {
namespace {

constexpr uint32_t kBase = 0x8000;
constexpr uint32_t kFlashEnd = 0x10000;

bool Checked(uint32_t a) {
  return !(a >= 0xFA00 && a < 0xFE00) && !(a >= 0xFFE0 && a < 0x10000);
}

}  // namespace

uint32_t BitwiseCrc32(const uint8_t* bytes, size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

TestImage MakeTestImage(const char* model, const char* version, size_t code_bytes,
                        bool spoil_check) {
  TestImage image;
  image.memory.assign(kFlashEnd, 0xFF);
  uint8_t* m = image.memory.data();
  memcpy(m + kBase, "HVFW", 4);
  memset(m + kBase + 4, 0, 44);
  memcpy(m + kBase + 4, model, strlen(model));
  memcpy(m + kBase + 20, version, strlen(version));
  for (size_t i = 0; i < code_bytes; ++i) m[kBase + 48 + i] = static_cast<uint8_t>(i * 7 + 3);
  std::vector<uint8_t> checked;
  for (uint32_t a = kBase + 48; a < kFlashEnd; ++a) {
    if (Checked(a)) checked.push_back(m[a]);
  }
  uint32_t crc = BitwiseCrc32(checked.data(), checked.size());
  if (spoil_check) crc ^= 1;
  for (int i = 0; i < 4; ++i) m[kBase + 36 + i] = static_cast<uint8_t>(crc >> (8 * i));

  image.text = "@08000";
  for (uint32_t a = kBase; a < kBase + 48 + code_bytes; a += 2) {
    char word[8];
    snprintf(word, sizeof word, "%02X%02X", m[a + 1], m[a]);
    image.text += word;
  }
  for (uint32_t& v : image.vectors) v = 0xFFFF;
  image.vectors[15] = kBase + 48;
  return image;
}

std::string Frame(char letter, const std::string& payload) {
  uint32_t sum = 46 + static_cast<uint8_t>(letter);
  for (const char c : payload) sum += static_cast<uint8_t>(c);
  char tail[16];
  snprintf(tail, sizeof tail, ".%04X\r", sum % 65535);
  return std::string(1, letter) + payload + tail;
}

std::string VectorPayload(const uint32_t* vectors) {
  std::string payload;
  for (int i = 0; i < 16; ++i) {
    char word[8];
    snprintf(word, sizeof word, "%04X", vectors[i] & 0xFFFF);
    payload += word;
  }
  return payload;
}

}  // namespace halv::simtest
