// The settings file read back after an update, for the device kind the
// selector names, and the key readers on their own over every key of the
// instrument table.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_line.h"
#include "protocol/settings_file.h"
#include "protocol/settings_file_keys.h"

namespace {

const std::string& FilePath() {
  static const std::string path = "/tmp/halv-fuzz-" + std::to_string(getpid()) + "-settings.txt";
  return path;
}

void ReadWithKeyReaders(std::string_view text) {
  for (int k = 0; k < halv::kInstrumentKeyCount; ++k) {
    const char* key = halv::kInstrumentKeys[k].key;
    char value[300];
    halv::ReadKeyText(text, key, value, sizeof value);
    halv::ReadKeyText(text, key, value, 1 + k % 8);
    uint32_t number = 0;
    halv::ReadKeyNumber(text, key, &number);
    double real = 0;
    halv::ReadKeyReal(text, key, &real);
    size_t start = 0;
    if (halv::FindKeyValue(text, key, &start) && start > text.size()) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ReadWithKeyReaders(text);

  FILE* file = fopen(FilePath().c_str(), "wb");
  if (file == nullptr) return 0;
  const bool written = fwrite(data, 1, size, file) == size;
  if (fclose(file) != 0 || !written) return 0;
  halv::DiagLog log = halv::fuzz::NullLog();
  halv::InstrumentConnection connection(&log);
  connection.device_kind = static_cast<uint8_t>(selector % (halv::kKindCount + 1));
  connection.device.firmware_version = selector & 0x80 ? 200 : 150;
  halv::ReadInfoFile(&connection, FilePath().c_str());
  return 0;
}
