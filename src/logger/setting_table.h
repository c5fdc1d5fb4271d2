// The logger settings that share one pattern, as a table: each row names the
// device's commands for a setting, its gate, how its value is read from the
// reply, and its log lines.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halv {

enum class SettingGate : uint8_t {
  kNone,
  kBit,                // a bit of the supported mask
  kCellular,           // trait known, kind 3, cellular bit
  kNewFirmwareWrites,  // reads always; writes only with the new firmware flag
};

// What a write's reply must contain.
enum class SettingAccept : uint8_t {
  kOk,
  kOkOrOldPrompt,  // "OK", or "\r>" from firmware without the new firmware flag
};

// Where the value sits in a read's reply.
enum class SettingForm : uint8_t {
  kIntAfterCr,      // "%d" after the first carriage return (the start when none)
  kInt,             // "%d" from the start, after white space
  kFiveInts,        // "%d %d %d %d %d"
  kReal,            // "%lf" after white space
  kWordAfterCr,     // a word after the first carriage return
  kLineAfterWhite,  // after white space up to the carriage return; ">" there: empty
  kLineAfterCr,     // after the first carriage return up to the next; ">": empty
};

struct SettingRow {
  const char* op;
  SettingGate gate;
  uint8_t bit;
  const char* get_command;
  const char* set_format;
  const char* clear_command;  // sent to write a value of 0, where the device clears it
  SettingAccept accept;
  uint32_t capacity;
  SettingForm form;
  size_t max_chars;            // texts
  int32_t not_read_code;       // numbers the reply does not hold
  const char* set_line;        // value, ms
  const char* found_line;      // value, ms
  const char* not_found_line;  // ms (five numbers: count, 5, ms); null: none
};

enum SettingId : int {
  kSettingName,
  kSettingDeviceId,
  kSettingReport,
  kSettingDepth,
  kSettingSite,
  kSettingLatitude,
  kSettingLongitude,
  kSettingTimeZone,
  kSettingSerialNumber,
  kSettingWake,
  kSettingPadc,
  kSettingPorts,
  kSettingDataParameter,
  kSettingBuild,
  kSettingApn,
  kSettingApnUser,
  kSettingApnPassword,
  kSettingAuthKey,
  kSettingHost,
  kSettingIpPort,
  kSettingRmode,
  kSettingCount,
};

extern const SettingRow kSettingRows[kSettingCount];

}  // namespace halv
