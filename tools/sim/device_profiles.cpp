// The profile table: one row per simulated device kind, with the settings
// and records each kind's firmware keeps. The settings of an instrument are
// those its updater captures; each is answered by "get -KEY" and written by
// "set -KEY VALUE", so that a new kind is one row and its settings list.
#include <strings.h>

#include <cstdlib>

#include "sim/device_profile.h"

namespace halv::sim {
namespace {

// key, factory value, default after an update
constexpr SettingSeed kPumaticSettings[] = {
    {"sn", "PM24-00317", "00000000"},
};
// A data-logging instrument whose update erases its stored data.
constexpr SettingSeed kStomexSettings[] = {
    {"sn", "SX09-02291", "00000000"},
    {"contr", "8", "5"},
    {"units", "2", "0"},
    {"fvals", "0.992 1.004", "1 1"},
};
constexpr SettingSeed kSerialOnly[] = {
    {"sn", "RY08-00140", "00000000"},
};
constexpr SettingSeed kHydrelLiteSettings[] = {
    {"sn", "HL06-00412", "00000000"},
    {"lang", "2", "0"},
    {"contr", "7", "5"},
    {"fvals", "1.000 0.000 25.0", "0 0 0"},
    {"uvals", "12.5 3.2", "0 0"},
    {"hadj", "0.985 1.012", "1 1"},
    {"tau", "45", "30"},
};
constexpr SettingSeed kThermikSettings[] = {
    {"sn", "TK07-01177", "00000000"}, {"contr", "6", "5"},        {"units", "1", "0"},
    {"adc", "50.98", "0.00"},         {"sample", "60 10", "0 0"},
};
constexpr SettingSeed kRayloSettings[] = {
    {"sn", "RY08-00923", "00000000"},
    {"contr", "4", "5"},
    {"adccal", "1.0021 -0.0034", "1 0"},
    {"config", "30551", "0"},
    {"loc", "Pond 4 inflow", "-"},
    {"x", "12.5", "0"},
    {"ext", "3.30", "0"},
};
constexpr SettingSeed kSorbexSettings[] = {
    {"sn", "SB11-00088", "00000000"},
    {"adccal", "0.9987 0.0012", "1 0"},
    {"wtoffset", "-0.031", "0"},
    {"p1offset", "0.004", "0"},
    {"auto", "900", "0"},
    {"wtfactory", "1.0172", "1"},
    {"sys", "3 1 0 2", "0 0 0 0"},
};
constexpr SettingSeed kHydrelASettings[] = {
    {"adccal", "1.0004 0.0020", "1 0"},
    {"config", "41207", "0"},
};
constexpr SettingSeed kVcdSettings[] = {
    {"i", "VCD-LAB2", "VCD"},
    {"sn", "VC13-00301", "00000000"},
};
// The calibration list ends at the first number the firmware does not know.
constexpr SettingSeed kHandixSettings[] = {
    {"i", "FIELD-3", "HANDIX"},      {"sn", "HX14-00777", "00000000"}, {"contr", "9", "5"},
    {"adc15", "1.002 0.001", "1 0"}, {"adc30", "0.998 -0.002", "1 0"}, {"cal 0", "0.250", ""},
    {"cal 1", "0.500", ""},          {"cal 2", "0.750", ""},
};
// The updater sets the sensor type to 0 before it reads the settings and
// never writes it back: the fresh firmware's 0 is what it leaves.
constexpr SettingSeed kHydrelQSettings[] = {
    {"sn", "HQ15-01000", "00000000"},
    {"pvuser", "0.5 1.5 2.5", "0 0 0"},
    {"config", "48211", "0"},
    {"tadj", "0.12", "0"},
    {"sensor", "2", "0"},
};
constexpr SettingSeed kHydrelVSettings[] = {
    {"sn", "HV16-00555", "00000000"}, {"config", "22841", "0"}, {"p", "4.5 2.0", "0 0"},
    {"pv", "1 2 3", "0 0 0"},         {"c76", "7 6", "0"},      {"tadj", "-0.05", "0"},
};
constexpr SettingSeed kPotexSettings[] = {
    {"sn", "PX17-00042", "00000000"},
    {"config", "1201", "0"},
};
constexpr SettingSeed kHydrelPSettings[] = {
    {"sn", "HP20-00311", "00000000"},
    {"config", "3307", "0"},
};
constexpr SettingSeed kTdlSettings[] = {
    {"sn", "QT22-00150", "00000000"},
    {"p0", "1.5", ""},
    {"p3", "3.1", "0"},
    {"p5", "5.2", "0"},
    {"lwidth", "0.8", "0"},
    {"ltemp", "21.5", "0"},
    {"current", "4.20", "0"},
    {"p1", "0.7", ""},
    {"config", "61022", "0"},
    {"tadj", "0.33", "0"},
};
constexpr SettingSeed kInfilaSettings[] = {
    {"sn", "IN23-00610", "00000000"}, {"contr", "3", "5"},   {"usage", "field", "lab"},
    {"p", "2.2 8.1", "0 0"},          {"units", "mm", "in"}, {"tadj", "0.4", "0"},
};

// User records are Base64 texts whose fourth tab-separated field is the name
// ("1\t0\t7\tjonas\t1234"); equation records begin with their name.
constexpr const char* kUserJonas = "MQkwCTcJam9uYXMJMTIzNA==";
constexpr const char* kUserMaria = "MgkwCTMJTWFyaWEJNTY3OA==";
constexpr const char* kUserPetra = "MwkxCTEJUGV0cmEJNDI=";
// "beta" before "Alpha": written back, they change places.
constexpr RecordSeed kHydrelQRecords[] = {
    {"eqn", "beta_fit 1.2 0.3"},
    {"eqn", "Alpha 3 4"},
    {"user", kUserJonas},
    {"user", kUserMaria},
};
constexpr RecordSeed kHydrelVRecords[] = {
    {"user", kUserPetra},
};
constexpr RecordSeed kTdlRecords[] = {
    {"eqn", "Level 0.5 1"},
    {"user", kUserMaria},
};

// clang-format off
constexpr DeviceProfile kProfiles[] = {
  // name          kind model     version rev  INFO start, count, size  flash start, end
  {"pumatic",      24,  "PUMATIC", "1.05", 'B', 0x1000, 3, 64,           0x8000, 0x10000,
  // loader: has, version, baud   restart  login        battery  erase ms, write us/word
                 true, 7, 9600,      1500,    false, "4862", 85,    25, 70,
                 kPumaticSettings},
  {"stomex",       9,   "SX",      "2.05", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      3000,    false, "4862", 70,    25, 70,
                 kStomexSettings},
  {"hylite",       6,   "HYLITE",  "1.20", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      3000,    true,  "4862", 90,    25, 70,
                 kHydrelLiteSettings},
  {"thermik",      7,   "TK",      "1.10", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      3000,    false, "4862", 75,    25, 70,
                 kThermikSettings},
  {"raylo",        8,   "RAYLO",   "2.10", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      2500,    false, "4862", 90,    25, 70,
                 kRayloSettings},
  {"sorbex",       11,  "SBX",     "1.30", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      1500,    false, "4862", 90,    25, 70,
                 kSorbexSettings},
  {"hydrel-a",     12,  "HSA",     "3.60", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      1500,    true,  "4862", 90,    25, 70,
                 kHydrelASettings},
  {"vcd-unit",     13,  "VCD",     "1.00", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      3000,    false, "4862", 60,    25, 70,
                 kVcdSettings},
  {"handix-unit",  14,  "HX",      "1.23", 'B', 0x1000, 3, 64,           0x2100, 0x20000,
                 true, 7, 57600,     1500,    false, "4862", 80,    25, 70,
                 kHandixSettings},
  {"hydrel-q",     15,  "HYQ",     "2.10", 'B', 0x1000, 3, 64,           0x2100, 0x20000,
                 true, 7, 57600,     3000,    true,  "4862", 90,    25, 70,
                 kHydrelQSettings, kHydrelQRecords},
  {"hydrel-v",     16,  "HYV",     "1.50", 'B', 0x1800, 3, 128,          0x5C00, 0x3C000,
                 true, 7, 57600,     3000,    false, "4862", 90,    25, 70,
                 kHydrelVSettings, kHydrelVRecords},
  {"potex",        17,  "POTEX",   "1.00", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      1500,    true,  "4862", 90,    25, 70,
                 kPotexSettings},
  {"hydrel-p",     20,  "HYP",     "1.00", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      1500,    true,  "4862", 90,    25, 70,
                 kHydrelPSettings},
  {"hydrel-q-tdl", 22,  "HYQTDL",  "2.10", 'B', 0x1800, 4, 128,          0x8000, 0x28000,
                 true, 7, 57600,     3000,    false, "4862", 90,    25, 70,
                 kTdlSettings, kTdlRecords},
  {"infila",       23,  "HUMIX",   "1.00", 'B', 0x1000, 3, 64,           0x2100, 0x20000,
                 true, 7, 57600,     3000,    false, "4862", 80,    25, 70,
                 kInfilaSettings},
  // A POTEX whose firmware takes another login code than the updater's.
  {"potex-locked", 17,  "POTEX",   "1.00", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      1500,    true,  "1357", 90,    25, 70,
                 kPotexSettings},
  // A Thermik built without its data memory.
  {"thermik-nodata", 7, "TK",      "1.10", 'B', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      3000,    false, "4862", 75,    25, 70,
                 kThermikSettings, {}, false},
  // Firmware older than any the updater can update.
  {"raylo-old",    8,   "RAYLO",   "1.40", 'A', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      2000,    false, "4862", 90,    25, 70,
                 kSerialOnly},
  // A model code no updater knows.
  {"zorbex",       0,   "ZORBEX",  "3.10", 'A', 0x1000, 2, 128,          0x1100, 0x10000,
                 true, 7, 9600,      2000,    false, "4862", 90,    25, 70,
                 kSerialOnly},
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
