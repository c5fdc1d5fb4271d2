// A digital sensor's SDI-12 answers through the reader: identification, type,
// serial number, calibration (with the old form's conversion), the firmware
// check, the loader start, and the save and restore of a whole sensor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_line.h"
#include "sdi12/sdi_sensor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  {
    const std::string text(reply);
    halv::SdiAnswerValue(text.c_str());
    halv::SdiUpToCarriageReturn(text.c_str());
  }
  halv::fuzz::FuzzLine line(reply);
  halv::DeviceLink link(&line.log);
  if (halv::DSOpen(&link.channel, halv::fuzz::kFuzzPortName, 9600) != 1) return 0;
  halv::SDISensor sensor(&line.log, &link);
  sensor.tries = 1 + (selector >> 7);
  sensor.reply_wait_ms = 500;
  switch (selector % 9) {
    case 0:
      halv::SDIGetSensorVersion(&sensor);
      break;
    case 1:
      halv::SDIGetSensorType(&sensor);
      break;
    case 2:
      halv::SDIGetSensorSN(&sensor);
      break;
    case 3:
      sensor.sensor_type = static_cast<uint8_t>(selector & 0x40 ? 'u' : 't');
      sensor.sensor_version = 300;
      if (halv::SDIGetSensorCalibration(&sensor) > 0) halv::SDIConvertCalibration(&sensor);
      break;
    case 4:
      halv::SDICheckBinary(&sensor);
      break;
    case 5:
      halv::SDIInvokeHalvBSL(&sensor);
      break;
    case 6:
      halv::SDISaveSensor(&sensor);
      break;
    case 7:
      sensor.serial_number.Assign("12345");
      sensor.x4_calibration.Assign("1.0 2.0 3.0");
      halv::SDIRestoreSensor(&sensor);
      break;
    default:
      halv::SDISetSensorType(&sensor, selector >> 4);
      halv::SDISetSensorAddress(&sensor, static_cast<char>('0' + selector % 10));
      break;
  }
  return 0;
}
