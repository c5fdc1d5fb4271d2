// What the updater knows about every kind of device: what an update must do
// for it and how its flash is laid out; the digital sensors' layouts by
// sensor type; and the identification of a device from its version text.
#pragma once

#include <cstdint>

#include "serial/fixed_text.h"

namespace halv {

constexpr const char* kProtocolTag = "Halv_protocol";

enum DeviceKindCode : int8_t {
  kKindUnknown = 0,
  kKindDigitalSensor = 10,
  kKindHandix = 14,
  kKindHydrelQ = 15,
  kKindHydrelQTdl = 22,
  kKindPumatic = 24,
  kKindCount = 25,  // codes 0 to 24
};

// The connected device's row of the device kind table.
struct DeviceInfo {
  int8_t kind = 0;
  FixedText<33> kind_name;
  FixedText<22> identification;  // as the device reported it; 21 characters kept
  uint32_t firmware_version = 0;
  int32_t restart_delay_ms = 0;
  uint8_t keeps_settings = 0;
  uint8_t erase_data = 0;
  uint8_t check_battery = 0;
  uint8_t needs_login = 0;
  uint8_t set_time = 0;
  uint8_t supported = 0;
  uint8_t post_check_argument = 0;
  uint8_t post_update_notice = 0;
  uint32_t flash_start = 0;
  uint32_t flash_end = 0;  // exclusive
  uint8_t extended_addresses = 0;
  uint32_t info_start = 0;
  uint32_t info_segment_count = 0;
  uint32_t info_segment_size = 0;
  uint32_t loader_baud = 0;
  int32_t sensor_type = 0;
  uint32_t lowest_version = 0;
  uint32_t highest_version = 0;
  uint8_t version_window = 0;
};

// The sensor type and image version whose digital-sensor row kind 10 takes:
// the build's, unless a factory user chose another sensor type.
struct DigitalSensorSelection {
  int32_t sensor_type = 93;
  uint32_t image_version = 106;
};
void SetDigitalSensorSelection(const DigitalSensorSelection& selection);
DigitalSensorSelection CurrentDigitalSensorSelection();

// The upper-case model code of a kind ("END" past the last).
const char* DeviceKindModelCode(int kind);

// Fills the record from the table for a kind at a firmware version.
void LookupDeviceKind(int kind, uint32_t firmware_version, DeviceInfo* info);

// Identifies a device from its version text ("ZET 2.05"): 1, -10 missing
// text or record, -30 the text does not parse or names no known kind.
int32_t ParseIdentification(const char* version_text, DeviceInfo* info);

// The display name of a sensor type, "Unknown Sensor (type %u)" for others.
void SensorTypeName(int32_t sensor_type, FixedText<35>* name);

}  // namespace halv
