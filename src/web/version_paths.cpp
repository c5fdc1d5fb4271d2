#include "web/version_paths.h"

#include <iterator>

#include "protocol/device_kinds.h"

namespace halv {
namespace {

struct VersionPathRow {
  int kind;
  const char* path_word;  // null: the kind never checks
  const char* ending;
};

// Device kind numbering of the instrument protocol. The digital sensor's path
// word is the selected sensor type's, given by the caller.
// clang-format off
constexpr VersionPathRow kVersionPaths[] = {
  {0,  nullptr,     nullptr},            // unknown
  {1,  "Lagan",     "-Firmware.html"},
  {2,  "LAGANB",    "-Firmware.html"},
  {3,  "LAGANX",    "-Firmware.html"},
  {4,  "Fieldpost", "-Firmware.html"},
  {5,  nullptr,     nullptr},            // Webpost
  {6,  "Hylite",    "-Firmware.txt"},
  {7,  "thermik",   "-firmware.html"},
  {8,  "RAYLO",     "Firmware.txt"},
  {9,  "stomex",    "-firmware.html"},
  {10, "",          "-Firmware.txt"},    // digital sensor: by sensor type
  {11, "SBX",       "-Firmware.txt"},
  {12, "Hysera",    "-Firmware.txt"},
  {13, nullptr,     nullptr},            // VCD
  {14, "Handix",    "-Firmware.html"},
  {15, "HydrelQ",   ".txt"},
  {16, "HYV",       "Firmware.txt"},
  {17, "POTEX",     "-Firmware.txt"},
  {18, "Zet",       "-Firmware.html"},
  {19, "Corvo",     "-Firmware.html"},
  {20, "Hydrap",    "-Firmware.txt"},
  {21, nullptr,     nullptr},            // plotnode
  {22, "HYQTDL",    "-Firmware.txt"},
  {23, nullptr,     nullptr},            // Infila
  {24, "Pumatic",   "-Firmware.txt"},
};
// clang-format on
static_assert(std::size(kVersionPaths) == kKindCount, "one row per device kind");

constexpr bool RowsInKindOrder() {
  for (size_t i = 0; i < std::size(kVersionPaths); ++i) {
    if (kVersionPaths[i].kind != static_cast<int>(i)) return false;
  }
  return true;
}
static_assert(RowsInKindOrder(), "row i holds kind i");

}  // namespace

std::string VersionFinderPath(int device_kind, const std::string& sensor_path_word) {
  if (device_kind < 0 || device_kind >= kKindCount) return {};
  const VersionPathRow& row = kVersionPaths[device_kind];
  if (row.path_word == nullptr) return {};
  const std::string word = device_kind == kKindDigitalSensor ? sensor_path_word : row.path_word;
  if (word.empty()) return {};
  return "/versionfinder/" + word + row.ending;
}

}  // namespace halv
