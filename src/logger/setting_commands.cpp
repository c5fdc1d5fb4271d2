// The setting commands that follow one pattern: gate, one exchange, the value
// read from or written to the reply, a log line. The table rows hold what
// differs between them; the few true differences are in the functions.
#include "logger/setting_commands.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/setting_table.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kSettingWaitMs = 1500;
constexpr uint32_t kWriteReplySize = 32;
constexpr uint32_t kMaxReplySize = 96;
constexpr uint32_t kCommandSize = 160;
constexpr int32_t kPadcOldestVersion = 164;
constexpr int32_t kZetRadioMode = 16;
constexpr size_t kAuthKeyDigits = 32;

const SettingRow& Row(SettingId id) {
  return kSettingRows[id];
}

bool GateOpen(const DeviceLink* link, const SettingRow& row, int direction) {
  switch (row.gate) {
    case SettingGate::kNone:
      return true;
    case SettingGate::kBit:
      return (link->settings.supported_mask >> row.bit) & 1u;
    case SettingGate::kCellular:
      return CellularGate(link);
    case SettingGate::kNewFirmwareWrites:
      return direction == kRead || link->settings.new_firmware;
  }
  return false;
}

bool Accepted(const DeviceLink* link, const SettingRow& row, const char* reply_text) {
  if (row.accept == SettingAccept::kOkOrOldPrompt && !link->settings.new_firmware) {
    return reply::Contains(reply_text, "\r>");
  }
  return reply::Contains(reply_text, "OK");
}

// Every failure but a closed gate leaves a line.
int32_t Finish(DeviceLink* link, const SettingRow& row, int32_t rc, uint32_t ms) {
  if (rc < 0) {
    LogMessage(link->log, kLogError, LinkTag(link), "%s failed with error %d (%d ms)", row.op, rc,
               static_cast<int>(ms));
  }
  return rc;
}

int32_t SendWrite(DeviceLink* link, const SettingRow& row, const char* command, uint32_t* ms) {
  char reply_text[kWriteReplySize];
  uint32_t length = sizeof reply_text;
  const int32_t rc = DeviceCommand(link, command, '>', kSettingWaitMs, reply_text, &length, ms);
  if (rc < 0) return rc;
  return Accepted(link, row, reply_text) ? 1 : kLoggerBadReply;
}

int32_t SendRead(DeviceLink* link, const SettingRow& row, const char* command, char* reply_text,
                 uint32_t* ms) {
  uint32_t length = row.capacity;
  return DeviceCommand(link, command, '>', kSettingWaitMs, reply_text, &length, ms);
}

void NotFound(DeviceLink* link, const SettingRow& row, uint32_t ms) {
  if (row.not_found_line != nullptr) {
    LogMessage(link->log, kLogProgress, LinkTag(link), row.not_found_line, static_cast<int>(ms));
  }
}

// ---- numbers ----

int32_t IntSetting(DeviceLink* link, SettingId id, int32_t* value, int direction,
                   const char* command = nullptr) {
  const SettingRow& row = Row(id);
  uint32_t ms = 0;
  if (value == nullptr) return Finish(link, row, kLoggerMissingArgument, ms);
  if (!GateOpen(link, row, direction)) return kLoggerCannot;
  char text[kCommandSize];
  if (direction == kWrite) {
    snprintf(text, sizeof text, command != nullptr ? command : row.set_format, *value);
    const int32_t rc = SendWrite(link, row, text, &ms);
    if (rc == 1) {
      LogMessage(link->log, kLogProgress, LinkTag(link), row.set_line, static_cast<int>(*value),
                 static_cast<int>(ms));
    }
    return Finish(link, row, rc, ms);
  }
  char reply_text[kMaxReplySize] = {};
  int32_t rc = SendRead(link, row, command != nullptr ? command : row.get_command, reply_text, &ms);
  if (rc > 0) {
    const char* from =
        row.form == SettingForm::kIntAfterCr ? reply::AfterFirstCr(reply_text) : reply_text;
    int32_t read = 0;
    if (reply::ReadInt(from, &read)) {
      *value = read;
      LogMessage(link->log, kLogProgress, LinkTag(link), row.found_line, static_cast<int>(read),
                 static_cast<int>(ms));
      rc = 1;
    } else {
      NotFound(link, row, ms);
      rc = row.not_read_code;
    }
  }
  return Finish(link, row, rc, ms);
}

int32_t RealSetting(DeviceLink* link, SettingId id, double* value, int direction) {
  const SettingRow& row = Row(id);
  uint32_t ms = 0;
  if (value == nullptr) return Finish(link, row, kLoggerMissingArgument, ms);
  if (!GateOpen(link, row, direction)) return kLoggerCannot;
  if (direction == kWrite) {
    char text[kCommandSize];
    if (*value == 0.0) {
      snprintf(text, sizeof text, "%s", row.clear_command);
    } else {
      snprintf(text, sizeof text, row.set_format, *value);
    }
    const int32_t rc = SendWrite(link, row, text, &ms);
    if (rc == 1) {
      LogMessage(link->log, kLogProgress, LinkTag(link), row.set_line, *value,
                 static_cast<int>(ms));
    }
    return Finish(link, row, rc, ms);
  }
  char reply_text[kMaxReplySize] = {};
  int32_t rc = SendRead(link, row, row.get_command, reply_text, &ms);
  if (rc > 0) {
    double read = 0;
    if (reply::ReadDouble(reply_text, &read)) {
      *value = read;
      LogMessage(link->log, kLogProgress, LinkTag(link), row.found_line, read,
                 static_cast<int>(ms));
      rc = 1;
    } else {
      NotFound(link, row, ms);
      rc = row.not_read_code;
    }
  }
  return Finish(link, row, rc, ms);
}

int32_t FiveSetting(DeviceLink* link, SettingId id, uint8_t* values, int direction,
                    uint8_t closed_gate_value) {
  const SettingRow& row = Row(id);
  uint32_t ms = 0;
  if (values == nullptr) return Finish(link, row, kLoggerMissingArgument, ms);
  if (!GateOpen(link, row, direction)) {
    if (direction == kRead) memset(values, closed_gate_value, kSensorPorts);
    return kLoggerCannot;
  }
  const char* tag = LinkTag(link);
  if (direction == kWrite) {
    char text[kCommandSize];
    snprintf(text, sizeof text, row.set_format, values[0], values[1], values[2], values[3],
             values[4]);
    const int32_t rc = SendWrite(link, row, text, &ms);
    if (rc == 1) {
      LogMessage(link->log, kLogProgress, tag, row.set_line, values[0], values[1], values[2],
                 values[3], values[4], static_cast<int>(ms));
    }
    return Finish(link, row, rc, ms);
  }
  char reply_text[kMaxReplySize] = {};
  int32_t rc = SendRead(link, row, row.get_command, reply_text, &ms);
  if (rc > 0) {
    int32_t read[kSensorPorts] = {};
    const int count = reply::ReadInts(reply_text, read, kSensorPorts);
    if (count == kSensorPorts) {
      for (int i = 0; i < kSensorPorts; ++i) {
        values[i] = static_cast<uint8_t>(read[i] > 255 ? 255 : (read[i] < 0 ? 0 : read[i]));
      }
      LogMessage(link->log, kLogProgress, tag, row.found_line, values[0], values[1], values[2],
                 values[3], values[4], static_cast<int>(ms));
      rc = 1;
    } else {
      LogMessage(link->log, kLogProgress, tag, row.not_found_line, count, kSensorPorts,
                 static_cast<int>(ms));
      rc = kLoggerBadReply;
    }
  }
  return Finish(link, row, rc, ms);
}

// ---- texts ----

// The text of a read's reply by the row's form: 1 read, or -30/-31.
int32_t ParseText(const SettingRow& row, const char* reply_text, std::string_view* out) {
  const char* from = reply_text;
  switch (row.form) {
    case SettingForm::kWordAfterCr:
      *out = reply::ReadWord(reply::AfterFirstCr(reply_text), row.max_chars);
      // The prompt is not a name.
      if (!out->empty() && (*out)[0] == '>') *out = {};
      return out->empty() ? kLoggerBadReply : 1;
    case SettingForm::kLineAfterWhite:
      from = reply::SkipWhite(reply_text);
      break;
    case SettingForm::kLineAfterCr:
      from = reply::AfterFirstCr(reply_text);
      break;
    default:
      return kLoggerBadReply;
  }
  if (*from == '>') return kLoggerEmptyAnswer;
  *out = reply::ReadLine(from, row.max_chars);
  return out->empty() ? kLoggerBadReply : 1;
}

template <size_t N>
int32_t WriteText(DeviceLink* link, const SettingRow& row, const FixedText<N>* value,
                  uint32_t* ms) {
  char text[kCommandSize];
  snprintf(text, sizeof text, row.set_format, value->c_str());
  const int32_t rc = SendWrite(link, row, text, ms);
  if (rc == 1) {
    LogMessage(link->log, kLogProgress, LinkTag(link), row.set_line, value->c_str(),
               static_cast<int>(*ms));
  }
  return rc;
}

// One read of a text; does not log a failure.
template <size_t N>
int32_t ReadText(DeviceLink* link, const SettingRow& row, const char* command, FixedText<N>* value,
                 uint32_t* ms, const char* found_line = nullptr) {
  char reply_text[kMaxReplySize] = {};
  int32_t rc = SendRead(link, row, command, reply_text, ms);
  if (rc <= 0) return rc;
  std::string_view text;
  rc = ParseText(row, reply_text, &text);
  if (rc == 1) {
    value->Assign(text, row.max_chars);
    LogMessage(link->log, kLogProgress, LinkTag(link),
               found_line != nullptr ? found_line : row.found_line, value->c_str(),
               static_cast<int>(*ms));
  } else {
    NotFound(link, row, *ms);
  }
  return rc;
}

template <size_t N>
int32_t TextSetting(DeviceLink* link, SettingId id, FixedText<N>* value, int direction) {
  const SettingRow& row = Row(id);
  uint32_t ms = 0;
  if (value == nullptr) return Finish(link, row, kLoggerMissingArgument, ms);
  if (!GateOpen(link, row, direction)) return kLoggerCannot;
  const int32_t rc = direction == kWrite ? WriteText(link, row, value, &ms)
                                         : ReadText(link, row, row.get_command, value, &ms);
  return Finish(link, row, rc, ms);
}

bool BeginsWithHexKey(const char* text) {
  for (size_t i = 0; i < kAuthKeyDigits; ++i) {
    if (!isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

}  // namespace

bool CellularGate(const DeviceLink* link) {
  const uint32_t trait = link->settings.trait;
  return (trait & kTraitKnown) && link->settings.device_kind == kLoggerKindLaganX &&
         (trait & kTraitCellular);
}

int RadioGate(const DeviceLink* link) {
  const uint32_t trait = link->settings.trait;
  if (!(trait & kTraitKnown)) return -1;
  return (trait & kTraitRadio) ? 1 : 0;
}

int32_t NameCommand(DeviceLink* link, DeviceName* name, int direction) {
  const SettingRow& row = Row(kSettingName);
  uint32_t ms = 0;
  if (name == nullptr) return Finish(link, row, kLoggerMissingArgument, ms);
  if (direction == kWrite) {
    const int32_t valid = CheckDeviceName(name->c_str());
    if (valid != 1) {
      LogMessage(link->log, kLogError, LinkTag(link),
                 "NameCommand: \"%s\" is an illegal device name (error %d)", name->c_str(), valid);
      return valid;
    }
    return Finish(link, row, WriteText(link, row, name, &ms), ms);
  }
  const int32_t rc = ReadText(link, row, row.get_command, name, &ms);
  if (rc == kLoggerEmptyAnswer) return kLoggerPromptOnly;
  return Finish(link, row, rc, ms);
}

int32_t DeviceIDCommand(DeviceLink* link, FixedText<9>* id, int direction) {
  return TextSetting(link, kSettingDeviceId, id, direction);
}

int32_t ReportCommand(DeviceLink* link, int32_t* mode, int direction) {
  return IntSetting(link, kSettingReport, mode, direction);
}

int32_t DepthCommand(DeviceLink* link, uint8_t* depths, int direction) {
  return FiveSetting(link, kSettingDepth, depths, direction, 255);
}

int32_t SiteCommand(DeviceLink* link, FixedText<32>* site, int direction) {
  return TextSetting(link, kSettingSite, site, direction);
}

int32_t LatitudeCommand(DeviceLink* link, double* latitude, int direction) {
  return RealSetting(link, kSettingLatitude, latitude, direction);
}

int32_t LongitudeCommand(DeviceLink* link, double* longitude, int direction) {
  return RealSetting(link, kSettingLongitude, longitude, direction);
}

int32_t TimeZoneCommand(DeviceLink* link, int32_t* quarter_hours, int direction) {
  if (quarter_hours != nullptr && direction == kWrite && *quarter_hours == -2 &&
      GateOpen(link, Row(kSettingTimeZone), direction)) {
    *quarter_hours = UtcOffsetSeconds() / 900;  // the computer's own zone
  }
  return IntSetting(link, kSettingTimeZone, quarter_hours, direction);
}

int32_t SNCommand(DeviceLink* link, FixedText<16>* serial_number, int direction) {
  const SettingRow& row = Row(kSettingSerialNumber);
  if (direction == kWrite || serial_number == nullptr) {
    return TextSetting(link, kSettingSerialNumber, serial_number, direction);
  }
  uint32_t ms = 0;
  int32_t rc = kLoggerBadReply;
  const uint32_t tries = link->retries > 0 ? link->retries : 1;
  for (uint32_t attempt = 0; attempt < tries; ++attempt) {
    rc = ReadText(link, row, row.get_command, serial_number, &ms);
    if (rc == kLoggerEmptyAnswer) rc = kLoggerBadReply;  // a bare prompt holds no number
    if (rc != kLoggerBadReply) break;
  }
  return Finish(link, row, rc, ms);
}

int32_t WakeCommand(DeviceLink* link, int32_t* interval, int direction) {
  if (interval != nullptr && direction == kWrite && *interval < 0 &&
      GateOpen(link, Row(kSettingWake), direction)) {
    return Finish(link, Row(kSettingWake), kLoggerNotApplicable, 0);
  }
  return IntSetting(link, kSettingWake, interval, direction);
}

int32_t PADCCommand(DeviceLink* link, int32_t* hertz, int direction) {
  const SettingRow& row = Row(kSettingPadc);
  if (hertz == nullptr || !GateOpen(link, row, direction)) {
    return IntSetting(link, kSettingPadc, hertz, direction);
  }
  const LoggerSettings& s = link->settings;
  if (!s.new_firmware && s.firmware_version <= kPadcOldestVersion) {
    *hertz = -1;  // too old to have a PADC rate
    return kLoggerCannot;
  }
  if (direction == kWrite && *hertz < 0) return Finish(link, row, kLoggerNotApplicable, 0);
  if (s.new_firmware) return IntSetting(link, kSettingPadc, hertz, direction);
  return IntSetting(link, kSettingPadc, hertz, direction,
                    direction == kWrite ? "set -p %d\r" : "hertz\r");
}

int32_t PortsCommand(DeviceLink* link, uint8_t* types, int direction) {
  return FiveSetting(link, kSettingPorts, types, direction, 0);
}

int32_t DataParameterCommand(DeviceLink* link, int32_t* value, int direction) {
  return IntSetting(link, kSettingDataParameter, value, direction);
}

int32_t HalvBuildCommand(DeviceLink* link, FixedText<20>* build, int direction) {
  return TextSetting(link, kSettingBuild, build, direction);
}

int32_t APNCommand(DeviceLink* link, FixedText<36>* apn, int direction) {
  return TextSetting(link, kSettingApn, apn, direction);
}

int32_t APNUserCommand(DeviceLink* link, FixedText<36>* user, int direction) {
  return TextSetting(link, kSettingApnUser, user, direction);
}

int32_t APNPasswdCommand(DeviceLink* link, FixedText<36>* password, int direction) {
  return TextSetting(link, kSettingApnPassword, password, direction);
}

int32_t AuthKeyCommand(DeviceLink* link, FixedText<33>* key, int direction) {
  const SettingRow& row = Row(kSettingAuthKey);
  uint32_t ms = 0;
  if (key == nullptr) return Finish(link, row, kLoggerMissingArgument, ms);
  if (!GateOpen(link, row, direction)) return kLoggerCannot;
  if (direction == kWrite) {
    if (!BeginsWithHexKey(key->c_str())) return Finish(link, row, kLoggerNotApplicable, ms);
    key->Assign(key->view(), kAuthKeyDigits);
    return Finish(link, row, WriteText(link, row, key, &ms), ms);
  }
  int32_t rc = ReadText(link, row, row.get_command, key, &ms);
  if (rc == kLoggerErrorReply) {
    // Older firmware knows the key by its former name.
    rc = ReadText(link, row, "get -teakey\r", key, &ms,
                  "AuthKeyCommand found authkey (as teakey) \"%s\" (%d ms)");
  }
  return Finish(link, row, rc, ms);
}

int32_t HostCommand(DeviceLink* link, FixedText<66>* host, int direction) {
  return TextSetting(link, kSettingHost, host, direction);
}

int32_t IPPortCommand(DeviceLink* link, int32_t* port, int direction) {
  return IntSetting(link, kSettingIpPort, port, direction);
}

int32_t RmodeCommand(DeviceLink* link, int32_t* mode, int direction) {
  const SettingRow& row = Row(kSettingRmode);
  if (mode != nullptr && GateOpen(link, row, direction) &&
      link->settings.device_kind == kLoggerKindZet) {
    // A Zet's radio always runs in one mode and has no command for it.
    if (direction == kRead) *mode = kZetRadioMode;
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "RmodeCommand found an Zet that is always mode %d", kZetRadioMode);
    return 1;
  }
  return IntSetting(link, kSettingRmode, mode, direction);
}

}  // namespace halv
