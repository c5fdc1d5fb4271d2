// The profile table: one row per simulated device kind.
#include <strings.h>

#include <cstdlib>

#include "sim/device_profile.h"

namespace halv::sim {
namespace {

constexpr SettingSeed kPumaticSettings[] = {
    {"sn", "PM24-00317", "00000000"},
};
// A data-logging instrument whose update erases its stored data.
constexpr SettingSeed kStomexSettings[] = {
    {"sn", "SX09-02291", "00000000"},
};

// clang-format off
constexpr DeviceProfile kProfiles[] = {
  // name       kind model      version rev  INFO start, count, size  flash start, end
  {"pumatic",   24,  "PUMATIC", "1.05", 'B', 0x1000, 3, 64,           0x8000, 0x10000,
  // loader: has, version, baud   restart  login        battery  erase ms, write us/word
              true, 7, 9600,      1500,    false, "4862", 85,    25, 70,
              kPumaticSettings},
  {"stomex",    9,   "SX",      "2.05", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
              true, 7, 9600,      3000,    false, "4862", 70,    25, 70,
              kStomexSettings},
  // Firmware older than any the updater can update.
  {"raylo-old", 8,   "RAYLO",   "1.40", 'A', 0x1000, 2, 128,          0x1100, 0x10000,
              true, 7, 9600,      2000,    false, "4862", 90,    25, 70,
              kStomexSettings},
  // A model code no updater knows.
  {"zorbex",    0,   "ZORBEX",  "3.10", 'A', 0x1000, 2, 128,          0x1100, 0x10000,
              true, 7, 9600,      2000,    false, "4862", 90,    25, 70,
              kStomexSettings},
};
// clang-format on

}  // namespace

std::span<const DeviceProfile> DeviceProfiles() {
  return kProfiles;
}

const DeviceProfile* FindDeviceProfile(const char* name_or_kind) {
  if (name_or_kind == nullptr || *name_or_kind == '\0') return nullptr;
  char* end = nullptr;
  const long code = strtol(name_or_kind, &end, 10);
  const bool numeric = *end == '\0';
  for (const DeviceProfile& p : kProfiles) {
    if (numeric ? code == p.kind : strcasecmp(name_or_kind, p.name) == 0) return &p;
  }
  return nullptr;
}

}  // namespace halv::sim
