// The radio modem's AT replies: command mode, channel, subchannel, version
// and saving, read and written.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_line.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  halv::fuzz::FuzzLine line(std::string_view(reinterpret_cast<const char*>(data), size));
  halv::DeviceLink link(&line.log);
  if (!halv::fuzz::OpenFuzzLink(&link, false)) return 0;
  int32_t channel = 12;
  int32_t subchannel = 3;
  halv::FixedText<9> version;
  uint32_t selection = (selector >> 1) & 7;
  selection = (selection & 1 ? halv::kRadioChannelItem : 0) |
              (selection & 2 ? halv::kRadioSubchannelItem : 0) |
              (selection & 4 ? halv::kRadioVersionItem : 0);
  halv::RodoConfig(&link, &channel, &subchannel, &version, selector & 1, &selection);
  return 0;
}
