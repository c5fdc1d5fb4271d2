#include "protocol/device_kinds.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "logger/version_text.h"

namespace halv {
namespace {

struct FlashLayout {
  uint32_t flash_start;
  uint32_t flash_end;
  bool extended;
  uint32_t info_start;
  uint32_t info_count;
  uint32_t info_size;
  uint32_t loader_baud;
};

// The common layout, and the others the table names.
constexpr FlashLayout kStd = {0x1100, 0xF9FF, false, 0x1000, 2, 128, 9600};
constexpr FlashLayout kLarge = {0x2100, 0x1FF00, true, 0x1000, 3, 64, 57600};
constexpr FlashLayout kHydrelV = {0x5C00, 0x3BFFF, true, 0x1800, 3, 128, 57600};
constexpr FlashLayout kHydrelQTdl = {0x8000, 0x27FFF, true, 0x1800, 4, 128, 57600};
constexpr FlashLayout kPumatic = {0x8000, 0xF9FF, false, 0x1000, 3, 64, 9600};

enum class Support { kNever, kAlways, kFromVersion, kDigitalSensor };

struct KindRow {
  int8_t code;
  const char* model_code;
  const char* display_name;
  bool keeps_settings, erase_data, check_battery, needs_login, set_time;
  uint8_t post_check_argument;
  bool notice;
  int32_t delay_ms;
  FlashLayout layout;
  Support support;
  uint32_t from_version;             // kFromVersion
  uint32_t window_low, window_high;  // 0, 0: no window
};

constexpr bool Y = true;
constexpr bool n = false;

// clang-format off
constexpr KindRow kKinds[kKindCount] = {
//  code model       display name        keeps erase batt login time arg notice delay layout  supported
  {0,  "UNKNOWN",  "UNKNOWN",           n, n, n, n, n, 0, n, 7000,  kStd,        Support::kNever,  0, 0, 0},
  {1,  "LAGAN",    "Lagan",             Y, n, Y, n, Y, 1, n, 1000,  kStd,        Support::kNever,  0, 0, 0},
  {2,  "LAGANB",   "Lagan B",           Y, n, Y, n, Y, 1, n, 1000,  kStd,        Support::kAlways, 0, 0, 0},
  {3,  "LAGANX",   "Lagan X",           Y, Y, Y, n, Y, 1, n, 6000,  kStd,        Support::kFromVersion, 103, 0, 0},
  {4,  "FPO",      "Fieldpost",         Y, Y, Y, n, n, 1, n, 6000,  kStd,        Support::kFromVersion, 105, 0, 0},
  {5,  "WPO",      "Webpost",           Y, Y, n, n, n, 1, n, 4000,  kStd,        Support::kNever,  0, 0, 0},
  {6,  "HYLITE",   "Hydrel Lite",       Y, n, n, Y, n, 0, n, 8500,  kStd,        Support::kFromVersion, 118, 0, 0},
  {7,  "TK",       "Thermik",           Y, Y, Y, n, Y, 0, n, 7000,  kStd,        Support::kAlways, 0, 0, 0},
  {8,  "RAYLO",    "Solvia Raylo",      Y, Y, n, n, Y, 0, Y, 3000,  kStd,        Support::kFromVersion, 150, 0, 0},
  {9,  "SX",       "Stomex",            Y, Y, Y, n, Y, 0, Y, 7000,  kStd,        Support::kAlways, 0, 0, 0},
  {10, "VADRO-Q",  "Digital Sensor",    n, n, n, n, n, 0, n, 1000,  kStd,        Support::kDigitalSensor, 0, 0, 0},
  {11, "SBX",      "Sorbex",            Y, Y, n, n, Y, 0, n, 2000,  kStd,        Support::kAlways, 0, 0, 0},
  {12, "HSA",      "Hydrel Series A",   Y, n, n, Y, n, 0, n, 2000,  kStd,        Support::kFromVersion, 351, 0, 0},
  {13, "VCD",      "VCD",               Y, n, Y, n, n, 0, n, 7000,  kStd,        Support::kAlways, 0, 0, 0},
  {14, "HX",       "Handix",            Y, Y, Y, n, Y, 0, n, 2000,  kLarge,      Support::kAlways, 0, 0, 0},
  {15, "HYQ",      "Hydrel Q",          Y, Y, n, Y, Y, 0, n, 14000, kLarge,      Support::kAlways, 0, 202, 999},
  {16, "HYV",      "Hydrel V",          Y, Y, n, n, Y, 0, n, 9500,  kHydrelV,    Support::kAlways, 0, 0, 0},
  {17, "POTEX",    "POTEX",             Y, n, n, Y, n, 0, n, 2000,  kStd,        Support::kAlways, 0, 0, 0},
  {18, "ZET",      "Zet",               Y, Y, Y, n, Y, 1, n, 6000,  kStd,        Support::kAlways, 0, 0, 0},
  {19, "CRV",      "Corvo Logger",      Y, Y, n, n, Y, 1, n, 6000,  kStd,        Support::kAlways, 0, 0, 0},
  {20, "HYP",      "Hydrel P",          Y, n, n, Y, n, 0, n, 2000,  kStd,        Support::kAlways, 0, 0, 0},
  {21, "PLOTNODE", "plotnode",          Y, n, n, n, Y, 1, n, 6000,  kLarge,      Support::kAlways, 0, 0, 0},
  {22, "HYQTDL",   "Hydrel Q TDL",      Y, Y, n, n, Y, 0, n, 8000,  kHydrelQTdl, Support::kAlways, 0, 200, 299},
  {23, "HUMIX",    "Infila",            Y, Y, Y, n, Y, 0, n, 8000,  kLarge,      Support::kAlways, 0, 0, 0},
  {24, "PUMATIC",  "Pumatic",           Y, n, Y, n, n, 0, n, 2000,  kPumatic,    Support::kAlways, 0, 0, 0},
};
// clang-format on

// The code that closes the table of model codes.
constexpr const char* kEndModelCode = "END";

// Digital sensors: the layouts by sensor type.
constexpr FlashLayout kSensorLarge = {0x8000, 0x88000, true, 0x1800, 4, 128, 9600};
constexpr FlashLayout kSensorGarnoK = {0x4400, 0x24400, true, 0x1800, 4, 128, 9600};
constexpr FlashLayout kSensorSmall = {0x8000, 0xF9FF, false, 0x1000, 3, 64, 9600};
constexpr FlashLayout kSensorOld = {0x1100, 0xF9FF, false, 0x1000, 2, 128, 9600};

struct SensorRow {
  int32_t first_type, last_type;  // an inclusive range of sensor types
  FlashLayout layout;
  uint32_t window_low, window_high;  // 0, 0: no window
};

// Types 120 and 122 change layout with the image version (see SensorRowFor).
constexpr uint32_t kNewLayoutImageVersion = 250;

// clang-format off
constexpr SensorRow kSensorRows[] = {
  {92,  93,  kSensorLarge,  0,   0},
  {103, 104, kSensorGarnoK, 0,   0},
  {264, 264, kSensorGarnoK, 0,   0},
  {94,  95,  kSensorSmall,  0,   0},
  {108, 109, kSensorSmall,  0,   0},
  {113, 113, kSensorSmall,  0,   0},
  {116, 117, kSensorSmall,  0,   0},
  {121, 121, kSensorSmall,  0,   0},
  {123, 123, kSensorSmall,  0,   0},
  {260, 263, kSensorSmall,  0,   0},
  {107, 107, kSensorSmall,  406, 999},
  {112, 112, kSensorSmall,  388, 999},
  {119, 119, kSensorSmall,  100, 999},
  {124, 127, kSensorOld,    0,   0},
};
// clang-format on

struct SensorName {
  int32_t type;
  const char* name;
};

constexpr SensorName kSensorNames[] = {
    {92, "Celva A Anemometer"},
    {93, "Celva B Sensor Suite"},
    {94, "Pluvo Rain Gauge"},
    {95, "Brisa Anemometer"},
    {102, "Corra-B Sensor"},
    {103, "Garno Kb Sensor"},
    {104, "Garno Ka Sensor"},
    {107, "Garno P Sensor"},
    {108, "Pomar-B Sensor"},
    {109, "Fenn-X Sensor"},
    {112, "Corra-A Sensor"},
    {113, "Fenn Sensor"},
    {116, "Wesk Sensor"},
    {117, "Lume Drain Gauge"},
    {119, "Tesk Sensor"},
    {120, "Rima Sensor"},
    {121, "Pomar-A Sensor"},
    {122, "Rilo Sensor"},
    {123, "Celva C Sensor"},
    {124, "VADRO-Q Sensor"},
    {125, "Sadel-A Sensor"},
    {126, "VADRO-Q Sensor"},
    {127, "VADRO-Q Sensor"},
    {260, "Nilt Family"},
    {261, "Pomar-A Pomar-B Garno P"},
    {262, "Wesk Family"},
    {264, "Garno K Family"},
};

DigitalSensorSelection g_selection;

void ApplyLayout(const FlashLayout& layout, DeviceInfo* info) {
  info->flash_start = layout.flash_start;
  info->flash_end = layout.flash_end;
  info->extended_addresses = layout.extended ? 1 : 0;
  info->info_start = layout.info_start;
  info->info_segment_count = layout.info_count;
  info->info_segment_size = layout.info_size;
  info->loader_baud = layout.loader_baud;
}

void ApplyWindow(uint32_t low, uint32_t high, DeviceInfo* info) {
  if (low == 0 && high == 0) return;
  info->lowest_version = low;
  info->highest_version = high;
  info->version_window = 1;
}

// Kind 10: the row of the selected sensor type. The loader baud and restart
// delay stay those of kind 10; a type without a row is not supported.
void ApplyDigitalSensorRow(DeviceInfo* info) {
  const DigitalSensorSelection s = g_selection;
  info->sensor_type = s.sensor_type;
  if (s.sensor_type == 120 || s.sensor_type == 122) {
    const bool new_layout = s.image_version >= kNewLayoutImageVersion;
    ApplyLayout(new_layout ? kSensorSmall : kSensorOld, info);
    ApplyWindow(new_layout ? 250 : 100, new_layout ? 999 : 249, info);
    info->supported = 1;
    return;
  }
  for (const SensorRow& row : kSensorRows) {
    if (s.sensor_type >= row.first_type && s.sensor_type <= row.last_type) {
      ApplyLayout(row.layout, info);
      ApplyWindow(row.window_low, row.window_high, info);
      info->supported = 1;
      return;
    }
  }
  info->supported = 0;
}

}  // namespace

void SetDigitalSensorSelection(const DigitalSensorSelection& selection) {
  g_selection = selection;
}

DigitalSensorSelection CurrentDigitalSensorSelection() {
  return g_selection;
}

const char* DeviceKindModelCode(int kind) {
  if (kind < 0 || kind >= kKindCount) return kEndModelCode;
  return kKinds[kind].model_code;
}

void LookupDeviceKind(int kind, uint32_t firmware_version, DeviceInfo* info) {
  *info = DeviceInfo{};
  if (kind < 1 || kind >= kKindCount) kind = kKindUnknown;
  const KindRow& row = kKinds[kind];
  info->kind = row.code;
  info->firmware_version = firmware_version;
  info->kind_name.Assign(row.display_name);
  info->keeps_settings = row.keeps_settings;
  info->erase_data = row.erase_data;
  info->check_battery = row.check_battery;
  info->needs_login = row.needs_login;
  info->set_time = row.set_time;
  info->post_check_argument = row.post_check_argument;
  info->post_update_notice = row.notice;
  info->restart_delay_ms = row.delay_ms;
  ApplyLayout(row.layout, info);
  switch (row.support) {
    case Support::kNever:
      info->supported = 0;
      break;
    case Support::kAlways:
      info->supported = 1;
      break;
    case Support::kFromVersion:
      info->supported = firmware_version >= row.from_version ? 1 : 0;
      break;
    case Support::kDigitalSensor:
      ApplyDigitalSensorRow(info);
      break;
  }
  ApplyWindow(row.window_low, row.window_high, info);
}

int32_t ParseIdentification(const char* version_text, DeviceInfo* info) {
  if (version_text == nullptr || info == nullptr) return -10;
  if (strchr(version_text, '.') == nullptr) {
    LookupDeviceKind(kKindUnknown, 0, info);
    return 1;
  }
  // The same reading as the logger link's: bounded, whatever the device sent.
  VersionText v = ReadVersionText(version_text);
  if (v.count < 3) return -30;
  for (char* c = v.model; *c != '\0'; ++c)
    *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
  int kind = kKindUnknown;
  for (int k = 1; k < kKindCount; ++k) {
    if (strcmp(v.model, kKinds[k].model_code) == 0) kind = k;
  }
  const uint32_t version = static_cast<uint32_t>(ComposeVersion(v.major, v.minor, v.patch));
  if (kind == kKindUnknown) {
    LookupDeviceKind(kKindUnknown, version, info);
    return -30;
  }
  LookupDeviceKind(kind, version, info);
  info->identification.Assign(version_text, 21);
  return 1;
}

void SensorTypeName(int32_t sensor_type, FixedText<35>* name) {
  for (const SensorName& s : kSensorNames) {
    if (s.type == sensor_type) {
      name->Assign(s.name);
      return;
    }
  }
  char text[48];
  snprintf(text, sizeof text, "Unknown Sensor (type %u)", static_cast<unsigned>(sensor_type));
  name->Assign(text);
}

}  // namespace halv
