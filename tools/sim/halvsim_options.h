// The command line of halvsim.
#pragma once

#include <cstdint>
#include <string>

#include "sim/sdi12_sensor.h"
#include "sim/sim_device.h"
#include "sim/sim_line.h"

namespace halv::sim {

struct HalvsimOptions {
  const DeviceProfile* profile = nullptr;
  DeviceSetup setup;
  // With a sensor the port reaches a Handix reader with this SDI-12 sensor
  // behind it; the device options then apply to the reader.
  const SdiSensorProfile* sensor = nullptr;
  LineOptions line;
  std::string link;        // a symlink to the slave's path
  std::string transcript;  // JSON lines of every exchange
  std::string dump;        // memory and settings, written at exit
  uint32_t replug_ms = 0;  // after a pull, plugged back in this long after
  bool help = false;
};

// 1 parsed; negative with *error set on a bad command line.
int32_t ParseHalvsimOptions(int argc, char** argv, HalvsimOptions* options, std::string* error);
const char* HalvsimUsage();

}  // namespace halv::sim
