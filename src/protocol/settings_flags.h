// The settings flag word: one bit per instrument setting, with the command
// that reads it, the form of its value, the command that writes it and the
// name its write is logged under.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/captured_settings.h"

namespace halv {

enum SettingsFlag : uint32_t {
  kFlagName = 1u << 0,
  kFlagSerialNumber = 1u << 1,
  kFlagParameterSet = 1u << 2,
  kFlagLanguage = 1u << 3,
  kFlagContrast = 1u << 4,
  kFlagFvals = 1u << 5,
  kFlagUserValues = 1u << 6,
  kFlagUnits = 1u << 7,
  kFlagAdc = 1u << 8,
  kFlagInterval = 1u << 9,
  kFlagAdccal = 1u << 10,
  kFlagConfig = 1u << 11,
  kFlagWtoffset = 1u << 12,
  kFlagP1offset = 1u << 13,
  kFlagAuto = 1u << 14,
  kFlagUsage = 1u << 15,
  kFlagUnused16 = 1u << 16,
  kFlagWtfactory = 1u << 17,
  kFlagAdc15 = 1u << 18,
  kFlagAdc30 = 1u << 19,
  kFlagSample = 1u << 20,
  kFlagCalibration = 1u << 21,
  kFlagP = 1u << 22,
  kFlagUnitsText = 1u << 23,
  kFlagLocation = 1u << 24,
  kFlagX = 1u << 25,
  kFlagExt = 1u << 26,
  kFlagUserRecords = 1u << 27,
  kFlagEquationRecords = 1u << 28,
  kFlagTadj = 1u << 29,
  kFlagHadjTau = 1u << 30,
  kFlagSys = 1u << 31,
};

// A text field of the captured settings and its width (characters + 1).
struct TextRef {
  char* text;
  size_t width;
};
using TextField = TextRef (*)(CapturedSettings* settings);
using NumberField = int32_t* (*)(CapturedSettings* settings);

// Accessors of one field, for the rows of the settings tables:
// TextFieldOf<&CapturedSettings::sn> and NumberFieldOf<&CapturedSettings::lang>.
template <auto Member>
TextRef TextFieldOf(CapturedSettings* s) {
  auto& field = s->*Member;
  return {field.text, sizeof(field.text)};
}
template <auto Member>
int32_t* NumberFieldOf(CapturedSettings* s) {
  return &(s->*Member);
}

// How a setting is moved. The plain forms are handled from the row alone;
// the others have their own steps in the capture and the restore.
enum class FlagForm : uint8_t {
  kText,           // read into a text field, written with "%s"
  kNumber,         // read as a number, written with "%ld"
  kNumberNoWrite,  // read as a number, never written
  kSpecial,        // steps of its own
  kNone,           // neither read nor written
};

struct SettingsFlagRow {
  uint8_t bit;
  const char* setting;
  const char* read_command;  // without the carriage return
  FlagForm form;
  TextField text;      // kText
  NumberField number;  // kNumber, kNumberNoWrite
  const char* write_format;
  const char* log_name;
};

constexpr int kFlagBits = 32;
extern const SettingsFlagRow kSettingsFlagRows[kFlagBits];

// The order in which a capture reads and a restore writes the settings.
extern const uint8_t kCaptureOrder[31];
extern const uint8_t kRestoreOrder[30];

}  // namespace halv
