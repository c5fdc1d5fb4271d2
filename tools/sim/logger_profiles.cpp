// The logger table: one row per simulated logger kind. The features of a row
// are what that kind's firmware has at the row's version.
#include <strings.h>

#include "sim/logger_profile.h"

namespace halv::sim {
namespace {

// clang-format off
constexpr LoggerProfile kLoggers[] = {
  // name         model        version old    features    modems          name        serial number  erase ms
  {"laganx",      "LAGANX",    "2.05", false, 0x5E7FFF7, kModemCellular, "LGX0042",  "LX-20417",    4000},
  {"zet",         "ZET",       "2.05", false, 0x5E3FFF7, kModemRadio,    "ZET0007",  "ZT-11873",    3000},
  {"corvo",       "CRV",       "1.12", false, 0x7C3F6F7, kModemNone,     "CRV0301",  "CV-00912",    3000},
  {"fieldpost",   "FPO",       "1.10", false, 0x0024583, kModemRadio,    "FPO0012",  "FP-03321",    2000},
  {"laganb",      "LAGANB",    "2.10", false, 0x00474BE, kModemNone,     "LGB0003",  "LB-00731",    2000},
  {"lagan",       "LAGAN",     "1.20", false, 0x000371F, kModemRadio,    "LAGAN01",  "LG-00101",    5000},
  // Firmware from before "get -ver": it answers "show" and its own prompt.
  {"lagan-old",   "LAGAN",     "1.12", true,  0x000331C, kModemRadio,    "LAGAN77",  "",            6000},
  {"vcd",         "VCD",       "1.04", false, 0x0003007, kModemNone,     "VCD0009",  "VC-00044",    1000},
  {"vadro-cal",   "VADRO_CAL", "1.01", false, 0x0010026, kModemNone,     "VCAL01",   "VK-00002",    1000},
  {"handix-log",  "HX",        "1.23", false, 0x01D3083, kModemNone,     "HX0123",   "HX-01230",    1000},
};
// clang-format on

}  // namespace

std::span<const LoggerProfile> LoggerProfiles() {
  return kLoggers;
}

const LoggerProfile* FindLoggerProfile(const char* name) {
  if (name == nullptr) return nullptr;
  for (const LoggerProfile& p : kLoggers) {
    if (strcasecmp(name, p.name) == 0) return &p;
  }
  return nullptr;
}

}  // namespace halv::sim
