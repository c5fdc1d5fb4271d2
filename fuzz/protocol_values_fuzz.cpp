// The instrument protocol's readings of a reply: single values as text and
// number, the identification against the device kind table, the battery and
// the firmware check, the connect that does all of it, and a settings capture.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_line.h"
#include "protocol/instrument.h"
#include "protocol/settings_capture.h"

namespace {

bool Open(halv::InstrumentConnection* connection) {
  return halv::DSOpen(&halv::ConnectionLink(connection)->channel, halv::fuzz::kFuzzPortName,
                      9600) == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  {
    const std::string text(reply);
    halv::DeviceInfo info;
    halv::ParseIdentification(text.c_str(), &info);
  }
  halv::fuzz::FuzzLine line(reply);
  halv::InstrumentConnection connection(&line.log);
  halv::ConnectionLink(&connection)->retries = 1;
  switch (selector % 6) {
    case 0: {
      if (!Open(&connection)) break;
      const size_t capacity = selector / 6;  // 0 to 42
      char value[64];
      halv::GetValueString(&connection, "get -sn", 500, value, capacity);
      break;
    }
    case 1: {
      if (!Open(&connection)) break;
      int32_t value = 0;
      halv::GetValueLong(&connection, "get -ver", 500, &value);
      break;
    }
    case 2: {
      if (!Open(&connection)) break;
      int32_t percent = 0;
      halv::DPCheckBattery(&connection, &percent);
      break;
    }
    case 3:
      if (!Open(&connection)) break;
      halv::DPCheckFirmware(&connection, selector & 0x40);
      break;
    case 4: {
      halv::DeviceInfo info;
      halv::DPConnect(&connection, halv::fuzz::kFuzzPortName, 2, 1, &info);
      break;
    }
    default:
      if (!Open(&connection)) break;
      connection.device_kind = static_cast<uint8_t>(6 + (selector / 6) % 19);
      halv::GetInstInfo(&connection, 0xFFFFFFFF);
      break;
  }
  return 0;
}
