// A digital sensor on the SDI-12 bus, seen from its own side: it wakes on the
// reader's wake byte, answers the standard and extended commands addressed to
// it (or to the wildcard "?"), keeps its address, serial number, type and
// calibration strings in its settings store, and on "?B!" hands over to the
// same HalvBSL loader model the instruments have, on its own flash.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sim/sim_device.h"

namespace halv::sim {

// One row per simulated sensor.
struct SdiSensorProfile {
  const char* name;     // "rilo-360"
  const char* type;     // what "?X8!" reports: a letter ("z") or digits ("93")
  const char* vendor;   // 8 characters of the identification
  const char* model;    // 6 characters
  const char* version;  // the 3 version digits the factory firmware reports
  const char* address;  // one character
  const char* serial;   // "" when the sensor has none
  const char* x4;       // "?X4!"
  const char* xa;       // "?Xa!"
  const char* xo;       // "?XO!"; null: the sensor has no XO and answers "ERROR"
  bool has_loader;      // false: "?B!" answers "No BSL"
};

std::span<const SdiSensorProfile> SdiSensorProfiles();
// By name, case ignored. Null when unknown.
const SdiSensorProfile* FindSdiSensorProfile(const char* name);

// The loader's view of every simulated sensor: flash 0x8000 to 0x88000 with
// five-digit addresses, INFO at 0x1800 in 4 segments of 128 bytes.
const DeviceProfile& SdiSensorDeviceProfile();

struct SdiSensorFaults {
  bool silent = false;              // answers nothing, not even "?!"
  bool sleepy = false;              // ignores the first command after its first wake
  bool no_loader = false;           // "?B!" answers "No BSL"
  bool corrupt = false;             // "?post!" answers "Code Corrupt!"
  const char* xa_answer = nullptr;  // "?Xa!" answers this text after the address
  // Where the sensor starts: its loader may still wait for a host, or still be
  // attached, after an update that did not finish.
  DeviceState start = DeviceState::kFirmware;
  // Commands whose body begins with this text ("X5", "X9", "post") answer
  // "ERROR" (null: none).
  const char* refuse_command = nullptr;
  // The loader's faults, frames counted as on any device; a pulled line cuts
  // the sensor off the reader.
  FaultPlan loader = {};
};

// How long the sensor takes before its answer begins (SDI-12 runs at 1200 baud).
constexpr uint64_t kSdiAnswerDelayUs = 30000;

class SdiSensor {
 public:
  SdiSensor(const SdiSensorProfile& profile, SdiSensorFaults faults = {});
  SdiSensor(const SdiSensor&) = delete;
  SdiSensor& operator=(const SdiSensor&) = delete;

  // The reader's wake on the bus.
  void Wake();
  // The reader cycled the sensor's power: it sleeps again, and a loader no
  // host attached to gives way to the firmware.
  void PowerCycle();
  // One complete command ("?I!", "0A3!"), at now_us. Returns the answer with
  // its "\r\n", or empty when the sensor stays quiet.
  std::string Command(std::string_view command, uint64_t now_us);

  // The loader and flash side; its answers go to the device's sink.
  SimDevice& Device() { return device_; }
  bool FirmwareRunning() const { return device_.State() == DeviceState::kFirmware; }

  const SdiSensorProfile& Profile() const { return profile_; }
  SdiSensorFaults& Faults() { return faults_; }
  char Address() const;
  std::string Setting(const char* key) const;
  std::string TypeText() const { return Setting("type"); }
  std::string Identification() const;
  uint32_t CommandsSeen() const { return commands_seen_; }

 private:
  std::string Answer(std::string_view body);
  std::string Dispatch(std::string_view body);
  std::string Store(const char* key, std::string_view value, size_t limit);
  std::string VersionDigits() const;

  const SdiSensorProfile& profile_;
  SdiSensorFaults faults_;
  std::string factory_version_;  // "3.56": what the factory firmware's header says
  SimDevice device_;
  bool woken_once_ = false;
  bool ignore_next_ = false;
  uint32_t commands_seen_ = 0;
};

}  // namespace halv::sim
