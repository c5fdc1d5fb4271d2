// Saving a device's settings before an update, to memory and the settings
// file, and writing them back after it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "protocol/settings_capture.h"
#include "protocol/settings_file.h"
#include "protocol/settings_flags.h"

namespace halv {
namespace {

enum class Capture : uint8_t { kNone, kLogger, kLoggerHeld, kSensor, kInstrument };

// What is captured of each kind, and with which flags. A second flag word
// applies from a firmware version on: the device's row for kind 8, the
// settings block's (above the version) for kind 15.
struct CaptureRow {
  int kind;
  Capture capture;
  uint32_t flags;
  uint32_t later_flags;
  uint32_t later_from_version;  // 0: no second flag word
};

// clang-format off
constexpr CaptureRow kCaptureRows[] = {
// kind capture               flags        later flags  from version
  {2,  Capture::kLogger,      0x8000077,   0,           0},
  {3,  Capture::kLoggerHeld,  0x7FFEFFF,   0,           0},
  {4,  Capture::kLogger,      0xD07,       0,           0},
  {6,  Capture::kInstrument,  0x4000007A,  0,           0},
  {7,  Capture::kInstrument,  0x100192,    0,           0},
  {8,  Capture::kInstrument,  0x7000400,   0x7000C12,   200},
  {9,  Capture::kInstrument,  0xB2,        0,           0},
  {10, Capture::kSensor,      0,           0,           0},
  {11, Capture::kInstrument,  0x80027402,  0,           0},
  {12, Capture::kInstrument,  0xC00,       0,           0},
  {13, Capture::kInstrument,  0x3,         0,           0},
  {14, Capture::kInstrument,  0x2C0013,    0,           0},
  {15, Capture::kInstrument,  0x38000802,  0x38000842,  205},
  {16, Capture::kInstrument,  0x28400802,  0,           0},
  {17, Capture::kInstrument,  0x802,       0,           0},
  {18, Capture::kLoggerHeld,  0x7FFEFFF,   0,           0},
  {19, Capture::kLoggerHeld,  0x7FFEFFF,   0,           0},
  {20, Capture::kInstrument,  0x802,       0,           0},
  {22, Capture::kInstrument,  0x38000806,  0,           0},
  {23, Capture::kInstrument,  0x20C08012,  0,           0},
  {24, Capture::kInstrument,  0x2,         0,           0},
};
// clang-format on

const CaptureRow* CaptureFor(int kind) {
  for (const CaptureRow& row : kCaptureRows) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

uint32_t FlagsFor(const InstrumentConnection& c, const CaptureRow& row) {
  if (row.later_from_version == 0) return row.flags;
  const uint32_t version = row.kind == kKindHydrelQ
                               ? static_cast<uint32_t>(c.settings.firmware_version)
                               : c.device.firmware_version;
  return version >= row.later_from_version ? row.later_flags : row.flags;
}

// A Hydrel Q must not be left measuring with a sensor while its settings are read.
void ClearHydrelQSensor(InstrumentConnection* c) {
  char reply[32];
  uint32_t length = sizeof reply;
  uint32_t elapsed = 0;
  int32_t result =
      DeviceCommand(c->link.get(), "set -sensor 0\r", '>', 2000, reply, &length, &elapsed);
  if (result > 0 && strstr(reply, "OK") == nullptr) result = kProtocolBadReply;
  if (result > 0) {
    LogMessage(c->log, kLogNote, kProtocolTag, "DPSaveInfo set HYQX sensor type to '0' (%d ms)",
               static_cast<int32_t>(elapsed));
  } else {
    LogMessage(c->log, kLogNote, kProtocolTag,
               "DPSaveInfo received error %d setting HYQX sensor type to '0' (%d ms)", result,
               static_cast<int32_t>(elapsed));
  }
}

int32_t CaptureSettings(InstrumentConnection* c, uint32_t* flags) {
  const CaptureRow* row = CaptureFor(c->device_kind);
  if (row == nullptr) return kProtocolNotForKind;
  *flags = FlagsFor(*c, *row);
  switch (row->capture) {
    case Capture::kLoggerHeld:
      c->settings_saved = 1;
      [[fallthrough]];
    case Capture::kLogger:
      return DeviceSettings(c->link.get(), &c->settings, flags, kRead);
    case Capture::kSensor:
      *flags = 0;
      return SDISaveSensor(c->sdi.get());
    case Capture::kInstrument: {
      if (c->device_kind == kKindHydrelQ) ClearHydrelQSensor(c);
      const int32_t result = GetInstInfo(c, *flags);
      *flags = c->captured.flags;
      return result;
    }
    case Capture::kNone:
      break;
  }
  return kProtocolNotForKind;
}

bool IsLoggerKind(int kind) {
  return kind == 2 || kind == 3 || kind == 4 || kind == 18 || kind == 19;
}

int32_t RestoreLogger(InstrumentConnection* c, const char* new_serial_number) {
  LoggerSettings* s = &c->settings;
  if (new_serial_number != nullptr) {
    s->serial_number.Assign(new_serial_number, 15);
    s->present_mask |= kPresentSerialNumber;
    // A logger with a device ID keeps the serial number it has.
    if (s->present_mask & kPresentDeviceId) s->present_mask &= ~kPresentSerialNumber;
  }
  uint32_t mask = s->present_mask;
  const int32_t result = DeviceSettings(c->link.get(), s, &mask, kWrite);
  if ((result < 0 && result != kProtocolPartlyDone) || mask == 0) {
    LogMessage(c->log, kLogError, kProtocolTag,
               "DPRestoreInfo received error %d trying to upload device settings", result);
  }
  return result;
}

// The config number of a Hydrel Q carries the sum of its serial number's
// characters: a new serial number changes it by the difference.
void CorrectConfig(CapturedSettings* captured, const char* new_serial_number) {
  const char* text = captured->config.c_str();
  char* end = nullptr;
  unsigned long config = strtoul(text, &end, 10);
  if (end == text) {
    captured->sn.Assign(new_serial_number, 15);
    return;  // no number to correct
  }
  for (const char* p = captured->sn.c_str(); *p != '\0'; ++p) {
    config -= static_cast<unsigned char>(*p);
  }
  for (const char* p = new_serial_number; *p != '\0'; ++p) {
    config += static_cast<unsigned char>(*p);
  }
  char number[24];
  snprintf(number, sizeof number, "%u", static_cast<unsigned>(config));
  captured->config.Assign(number);
  captured->flags |= kFlagConfig;
}

int32_t RestoreInstrument(InstrumentConnection* c, const char* new_serial_number) {
  CapturedSettings* captured = &c->captured;
  if (new_serial_number != nullptr) {
    if (c->device_kind == kKindHydrelQ || c->device_kind == kKindHydrelQTdl) {
      CorrectConfig(captured, new_serial_number);
    }
    captured->sn.Assign(new_serial_number, 15);
    captured->flags |= kFlagSerialNumber;
  }
  return SetInstInfo(c, captured->flags);
}

}  // namespace

int32_t DPSaveInfo(InstrumentConnection* connection, const char* path) {
  if (connection == nullptr) return kProtocolMissingArgument;
  DiagLog* log = connection->log;
  uint32_t flags = 0;
  const int32_t result = CaptureSettings(connection, &flags);
  if (result == kProtocolNotInitialised) {
    connection->settings_saved = 0;
    connection->saved_flags = 0;
    LogMessage(log, kLogNote, kProtocolTag,
               "DPSaveInfo does not save data for an uninitialized device");
    return result;
  }
  if (result < 0 && result != kProtocolPartlyDone) {
    LogMessage(log, kLogError, kProtocolTag,
               "DPSaveInfo received error %d trying to collect device settings", result);
    return result;
  }
  connection->settings_saved = 1;
  connection->saved_flags = flags;
  const int32_t written = WriteInfoFile(connection, path);
  if (written < 0) {
    LogMessage(log, kLogError, kProtocolTag,
               "DPSaveInfo received error %d trying to save device settings to a temp file",
               written);
    return written;
  }
  LogMessage(log, kLogNote, kProtocolTag,
             "DPSaveInfo successfully retrieved and saved device settings to a temp file");
  return result == kProtocolPartlyDone ? kProtocolPartlyDone : 1;
}

int32_t DPRestoreInfo(InstrumentConnection* connection, const char* path,
                      const char* new_serial_number) {
  if (connection == nullptr) return kProtocolMissingArgument;
  DiagLog* log = connection->log;
  if (!connection->settings_saved) {
    const int32_t read = ReadInfoFile(connection, path);
    if (read < 0) {
      LogMessage(log, kLogError, kProtocolTag,
                 "DPRestoreInfo received error %d trying to read device settings from %s", read,
                 path != nullptr ? path : "");
      return read;
    }
    connection->settings_saved = 1;
    connection->settings.present_mask = connection->saved_flags;
  }
  const int kind = connection->device_kind;
  int32_t result = 0;
  if (kind == 0 || kind == 1 || kind == 5 || kind >= kKindCount) {
    return kProtocolNotForKind;
  } else if (IsLoggerKind(kind)) {
    result = RestoreLogger(connection, new_serial_number);
  } else if (kind == kKindDigitalSensor) {
    result = SDIRestoreSensor(connection->sdi.get());
  } else {
    result = RestoreInstrument(connection, new_serial_number);
  }
  LogMessage(log, kLogNote, kProtocolTag, "DPRestoreInfo successfully restored device setting");
  return result;
}

}  // namespace halv
