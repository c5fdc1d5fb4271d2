// What a simulated device is: one row of the profile table per device kind.
// A row fixes the identity the running firmware reports, the flash layout the
// loader works on, the settings the firmware keeps, and the device's timing.
#pragma once

#include <cstdint>
#include <span>

namespace halv::sim {

// A setting the firmware keeps in its settings store, with the value a device
// leaves the factory with. A firmware update resets the store to defaults.
struct SettingSeed {
  const char* key;  // "sn"
  const char* factory_value;
  // What freshly programmed firmware holds until the settings are written
  // back: its built-in default.
  const char* default_value;
};

// A numbered record the firmware keeps in one of its lists: "eqn" (equations)
// or "user" (users). A firmware update empties both lists.
struct RecordSeed {
  const char* list;  // "eqn" or "user"
  const char* value;
};

struct DeviceProfile {
  const char* name;              // what --kind takes: "pumatic"
  uint8_t kind;                  // device kind code of the updater's kind table
  const char* model_code;        // first word of the "get -ver" answer
  const char* firmware_version;  // the version the device leaves the factory with
  char hardware_revision;        // "get -hver"
  // Memory: INFO segments, then the application flash from flash_start (where
  // the firmware header lies) to flash_end (exclusive).
  uint32_t info_start;
  uint32_t info_segments;
  uint32_t info_segment_size;
  uint32_t flash_start;
  uint32_t flash_end;
  // The loader: whether the device has one, what version it reports, at which
  // rate it talks (the running firmware always talks at 9600).
  bool has_loader;
  uint32_t loader_version;
  uint32_t loader_baud;
  // Silence after the vectors were written, until the new firmware runs.
  uint32_t restart_ms;
  bool needs_login;
  const char* login_code;  // the digits "login *NNNN" must carry
  int battery_percent;
  // Device times, applied when device timing is on.
  uint32_t erase_ms_per_segment;
  uint32_t write_us_per_word;
  std::span<const SettingSeed> settings;
  // The records the device leaves the factory with, in list order.
  std::span<const RecordSeed> records = {};
  // False for a unit built without its data memory: the data erase finds
  // nothing to erase and says so.
  bool data_memory = true;
};

constexpr uint32_t kFirmwareBaud = 9600;

std::span<const DeviceProfile> DeviceProfiles();
// By name ("pumatic", case ignored) or by kind code ("24"). Null when unknown.
const DeviceProfile* FindDeviceProfile(const char* name_or_kind);

}  // namespace halv::sim
