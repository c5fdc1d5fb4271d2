#include "gui/sensor_type_menu.h"

#include <QAction>
#include <QMenu>

namespace halv::gui {
namespace {

// Sensors that report a single letter of a family belong to the family's
// entry: the letter's code is the type they select.
struct FamilyLetters {
  const char* letters;
  int32_t family_type;
};
constexpr FamilyLetters kFamilyLetters[] = {
    {"eijt", 262},  // Wesk Family
    {"gh", 264},    // Garno K Family
    {"kly", 261},   // Pomar-A && Pomar-B
};

int EntryIndexOfType(int32_t type) {
  for (size_t i = 0; i < kSensorTypeEntries.size(); ++i) {
    if (kSensorTypeEntries[i].type == type) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int SensorTypeEntryIndex(int32_t type) {
  const int own = EntryIndexOfType(type);
  if (own >= 0) return own;
  for (const FamilyLetters& family : kFamilyLetters) {
    for (const char* letter = family.letters; *letter != '\0'; ++letter) {
      if (type == static_cast<unsigned char>(*letter)) return EntryIndexOfType(family.family_type);
    }
  }
  return -1;
}

std::string SensorTypePathWord(int32_t type) {
  if (type == kCelvaCType) return kCelvaCPathWord;
  const int index = SensorTypeEntryIndex(type);
  return index < 0 ? std::string() : kSensorTypeEntries[index].path_word;
}

SensorTypeMenu::SensorTypeMenu(QMenu* settings, QObject* owner,
                               std::function<void(int32_t)> on_select) {
  separator_ = settings->addSeparator();
  separator_->setObjectName("SensorTypeSeparator");
  separator_->setVisible(false);
  heading_ = settings->addAction("Set Digital Sensor to:");
  heading_->setObjectName("SetDigitalSensorTo1");
  heading_->setEnabled(false);
  heading_->setVisible(false);
  for (size_t i = 0; i < kSensorTypeEntries.size(); ++i) {
    const SensorTypeEntry& row = kSensorTypeEntries[i];
    QAction* entry = settings->addAction(row.caption);
    entry->setObjectName(row.object_name);
    entry->setCheckable(true);
    entry->setVisible(false);
    const int32_t type = row.type;
    QObject::connect(entry, &QAction::triggered, owner, [on_select, type] { on_select(type); });
    entries_[i] = entry;
  }
}

void SensorTypeMenu::Show() {
  separator_->setVisible(true);
  heading_->setVisible(true);
  for (size_t i = 0; i < kSensorTypeEntries.size(); ++i) {
    entries_[i]->setVisible(kSensorTypeEntries[i].shown);
  }
}

void SensorTypeMenu::Check(int32_t type) {
  // A checkable entry toggles itself when it is picked; the marks are set
  // afresh so that exactly the selected type's entry carries one.
  const int checked = SensorTypeEntryIndex(type);
  for (size_t i = 0; i < entries_.size(); ++i) {
    entries_[i]->setChecked(static_cast<int>(i) == checked);
  }
}

}  // namespace halv::gui
