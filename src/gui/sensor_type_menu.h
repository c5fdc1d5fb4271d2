// The factory's sensor-type entries under "&Settings": which digital sensor
// the sensor build updates. Each entry selects a type; the selection names the
// device, picks the version-finder path word and puts the check mark.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QObject;

namespace halv::gui {

struct SensorTypeEntry {
  const char* object_name;
  const char* caption;  // "&&" shows one ampersand
  int32_t type;
  const char* path_word;  // the version-finder path word
  bool shown;             // shown in factory mode
};

// The entries in menu order.
// clang-format off
inline constexpr std::array<SensorTypeEntry, 17> kSensorTypeEntries = {{
    {"SensorTypeRilo",   "Rilo",               122, "Rilo",   true},
    {"SensorTypeRima",   "Rima",               120, "Rima",   true},
    {"SensorTypeTesk",   "Tesk",               119, "Tesk",   true},
    {"SensorTypeTarn",   "Tarn",               118, "Tarn",   true},
    {"SensorTypePomar",  "Pomar-A && Pomar-B", 261, "PomarA", true},
    {"SensorTypeLumedg", "LUMEDG",             117, "LUMEDG", true},
    {"SensorTypeWesk",   "Wesk Family",        262, "Wesk",   true},
    {"SensorTypeFenn",   "Fenn",               113, "Fenn",   true},
    {"SensorTypeFennX",  "Fenn-X",             109, "Fenn",   true},
    {"SensorTypeCorraA", "Corra-A",            112, "CorraA", true},
    {"SensorTypeCorraB", "Corra-B",            102, "CorraB", false},
    {"SensorTypeNilt",   "Nilt Family",        260, "Nilt",   true},
    {"SensorTypeBrisa",  "Brisa",               95, "Brisa",  false},
    {"SensorTypePluvo",  "Pluvo",               94, "Pluvo",  true},
    {"SensorTypeCelvaA", "Celva A",             92, "CelvaA", false},
    {"SensorTypeCelvaB", "Celva B",             93, "CelvaB", true},
    {"SensorTypeGarnoK", "Garno K Family",     264, "GarnoK", true},
}};
// clang-format on

// Celva C: the build may select it; it has no entry.
inline constexpr int32_t kCelvaCType = 123;
inline constexpr const char* kCelvaCPathWord = "CelvaC";

// The entry a type checks: its own, or its family's for the family letters;
// -1 when it checks none.
int SensorTypeEntryIndex(int32_t type);

// The path word a type sets; empty when it leaves the path as it was.
std::string SensorTypePathWord(int32_t type);

// The separator, the heading and the entries, added to the settings menu.
class SensorTypeMenu {
 public:
  // Every entry calls on_select with its type.
  SensorTypeMenu(QMenu* settings, QObject* owner, std::function<void(int32_t)> on_select);

  // Factory mode in the sensor build: the group and its shown entries appear.
  void Show();
  // The check mark on the type's entry only.
  void Check(int32_t type);

  QAction* Entry(size_t index) const { return entries_[index]; }

 private:
  QAction* separator_ = nullptr;
  QAction* heading_ = nullptr;
  std::array<QAction*, kSensorTypeEntries.size()> entries_{};
};

}  // namespace halv::gui
