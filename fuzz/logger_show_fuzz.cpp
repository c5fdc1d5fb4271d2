// An old logger's "show" reply: the whole settings read, or only its name.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz_line.h"
#include "logger/logger_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  halv::fuzz::FuzzLine line(std::string_view(reinterpret_cast<const char*>(data), size));
  halv::DeviceLink link(&line.log);
  if (!halv::fuzz::OpenFuzzLink(&link, selector & 2)) return 0;
  // Only an old Lagan is asked for "show".
  link.settings.device_kind = halv::kLoggerKindLagan;
  link.settings.new_firmware = 0;
  char name[9 + 8];
  memset(name, 0x55, sizeof name);
  halv::ParseShowCommand(&link, selector & 1 ? name : nullptr);
  if (selector & 1) {
    // Nine bytes are the name's: nothing beyond them is touched.
    for (size_t i = 9; i < sizeof name; ++i) {
      if (name[i] != 0x55) __builtin_trap();
    }
  }
  return 0;
}
