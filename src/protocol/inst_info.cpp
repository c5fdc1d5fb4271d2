// Capturing and restoring the instrument settings of a flag word, one setting
// per pass, in a fixed order, going on after a failed setting and stopping
// when the device stops answering.
#include <cstdio>
#include <cstring>

#include "logger/logger_link.h"
#include "protocol/settings_capture.h"
#include "protocol/settings_flags.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kReadWaitMs = 2000;
constexpr uint32_t kWriteWaitMs = 2000;
constexpr uint32_t kSerialWriteWaitMs = 4000;
constexpr int kSerialTries = 3;
constexpr int kMostRepeats = 5;
constexpr size_t kWriteCommandSize = 600;

// What one setting's read or write gave: its result, and for a read whether
// the setting counts as captured.
struct Outcome {
  int32_t result;
  bool captured;
};

bool UsesPvuser(int kind) {
  return kind == kKindHydrelQ || kind == kKindHydrelQTdl;
}

// The parameter set's commands by slot (slot 6 is not used).
constexpr const char* kParameterNames[kCaptureSlots] = {"p0",    "p3",      "p5",    "lwidth",
                                                        "ltemp", "current", nullptr, "p1"};

// Kind 21 numbers its calibration words 1 to 7 without a blank, the others
// 0 to 19 after one.
struct CalibrationWords {
  const char* word;
  int first;
  int count;
};
CalibrationWords CalibrationFor(int kind) {
  return kind == 21 ? CalibrationWords{"-cal", 1, 7} : CalibrationWords{"-cal ", 0, 20};
}

int32_t ReadText(InstrumentConnection* c, const char* command, TextRef field) {
  return GetValueString(c, command, kReadWaitMs, field.text, field.width - 1);
}

Outcome ReadSerialNumber(InstrumentConnection* c) {
  FixedText<16>& sn = c->captured.sn;
  int32_t result = kProtocolBadReply;
  for (int attempt = 0; attempt < kSerialTries; ++attempt) {
    result = GetValueString(c, "get -sn", kReadWaitMs, sn.text, sn.Capacity());
    if (result <= 0) continue;
    if (strstr(sn.text, "OK") == nullptr) return {result, true};
    // A device that was never initialised answers with its "OK".
    sn.Clear();
    result = kProtocolNotInitialised;
  }
  return {result, false};
}

Outcome ReadParameterSet(InstrumentConnection* c) {
  Outcome outcome = {0, false};
  for (int slot = 0; slot < kCaptureSlots; ++slot) {
    if (kParameterNames[slot] == nullptr) continue;
    char command[32];
    snprintf(command, sizeof command, "get -%s", kParameterNames[slot]);
    FixedText<257> value;
    outcome.result = GetValueString(c, command, kReadWaitMs, value.text, value.Capacity());
    if (outcome.result > 0) {
      c->captured.slots[slot] = value;
      outcome.captured = true;
    } else if (slot == 0 || slot == 7) {
      c->captured.slots[slot].Clear();
    }
  }
  return outcome;
}

Outcome ReadCalibrationList(InstrumentConnection* c) {
  const CalibrationWords cal = CalibrationFor(c->device_kind);
  int read = 0;
  int32_t result = 0;
  for (; read < cal.count; ++read) {
    char command[32];
    snprintf(command, sizeof command, "get %s%d", cal.word, cal.first + read);
    FixedText<257>& slot = c->captured.slots[read];
    result = GetValueString(c, command, kReadWaitMs, slot.text, slot.Capacity());
    if (result <= 0) {
      slot.Clear();
      break;
    }
  }
  if (read > 0) return {1, true};
  return {result, false};
}

Outcome ReadP(InstrumentConnection* c) {
  CapturedSettings* s = &c->captured;
  const int32_t result = ReadText(c, "get -p", {s->fvals.text, sizeof s->fvals.text});
  if (c->device_kind == 16) {
    ReadText(c, "get -pv", {s->uvals.text, sizeof s->uvals.text});
    ReadText(c, "get -c76", {s->c76.text, sizeof s->c76.text});
  }
  return {result, result > 0};
}

Outcome ReadHadjTau(InstrumentConnection* c) {
  CapturedSettings* s = &c->captured;
  const int32_t result = ReadText(c, "get -hadj", {s->hadj.text, sizeof s->hadj.text});
  if (result <= 0) return {result, false};
  int32_t tau = 0;
  if (GetValueLong(c, "get -tau", kReadWaitMs, &tau) > 0) s->tau = static_cast<uint32_t>(tau);
  return {result, true};
}

Outcome ReadRecords(InstrumentConnection* c, RecordList* list, int type) {
  const int32_t result = GetRecords_Serial(c, list, type);
  return {result, result > 0};
}

Outcome ReadSetting(InstrumentConnection* c, int bit) {
  const SettingsFlagRow& row = kSettingsFlagRows[bit];
  CapturedSettings* s = &c->captured;
  switch (bit) {
    case 1:
      return ReadSerialNumber(c);
    case 2:
      return ReadParameterSet(c);
    case 6: {
      const int32_t r =
          ReadText(c, UsesPvuser(c->device_kind) ? "get -pvuser" : "get -uvals", row.text(s));
      return {r, r > 0};
    }
    case 20:
      ReadText(c, row.read_command, row.text(s));
      return {1, true};  // counts as read even when it fails
    case 21:
      return ReadCalibrationList(c);
    case 22:
      return ReadP(c);
    case 27:
      return ReadRecords(c, &c->user_records, kUserRecords);
    case 28:
      return ReadRecords(c, &c->equation_records, kEquationRecords);
    case 30:
      return ReadHadjTau(c);
    default:
      break;
  }
  int32_t r = 0;
  if (row.form == FlagForm::kText) {
    r = ReadText(c, row.read_command, row.text(s));
  } else {
    r = GetValueLong(c, row.read_command, kReadWaitMs, row.number(s));
  }
  return {r, r > 0};
}

// One write; "OK" in the reply logs it as done. A reply without "OK" is no
// error of its own: only a failed exchange is.
int32_t Send(InstrumentConnection* c, const char* command, uint32_t wait_ms, const char* log_name,
             const char* value) {
  char reply[64];
  uint32_t length = sizeof reply;
  uint32_t elapsed = 0;
  const int32_t result =
      DeviceCommand(c->link.get(), command, '>', wait_ms, reply, &length, &elapsed);
  if (result > 0 && strstr(reply, "OK") != nullptr) {
    LogMessage(c->log, kLogNote, kProtocolTag, "SetInstInfo set %s to \"%s\" (%d ms)", log_name,
               value, static_cast<int32_t>(elapsed));
  }
  return result;
}

int32_t SendText(InstrumentConnection* c, const char* format, const char* value,
                 const char* log_name) {
  char command[kWriteCommandSize];
  snprintf(command, sizeof command, format, value);
  return Send(c, command, kWriteWaitMs, log_name, value);
}

int32_t SendNumber(InstrumentConnection* c, const char* format, long value, const char* log_name) {
  char command[64];
  snprintf(command, sizeof command, format, value);
  char shown[24];
  snprintf(shown, sizeof shown, "%ld", value);
  return Send(c, command, kWriteWaitMs, log_name, shown);
}

// The first failed exchange of a group of writes, else the last result.
int32_t Worst(int32_t so_far, int32_t next) {
  return so_far < 0 ? so_far : next;
}

int32_t WriteSerialNumber(InstrumentConnection* c) {
  const char* sn = c->captured.sn.c_str();
  char command[64];
  snprintf(command, sizeof command, "set -sn %s\r", sn);
  int32_t result = 0;
  for (int attempt = 0; attempt < kSerialTries; ++attempt) {
    char reply[64];
    uint32_t length = sizeof reply;
    uint32_t elapsed = 0;
    result =
        DeviceCommand(c->link.get(), command, '>', kSerialWriteWaitMs, reply, &length, &elapsed);
    if (result > 0 && strstr(reply, "OK") != nullptr) {
      LogMessage(c->log, kLogNote, kProtocolTag,
                 "SetInstInfo set device serial number to \"%s\" (%d ms)", sn,
                 static_cast<int32_t>(elapsed));
      break;
    }
  }
  return result == kLoggerErrorReply ? kProtocolBadSerialNumber : result;
}

int32_t WriteParameterSet(InstrumentConnection* c) {
  int32_t result = 1;
  for (int slot = 0; slot < kCaptureSlots; ++slot) {
    const char* name = kParameterNames[slot];
    if (name == nullptr) continue;
    const FixedText<257>& value = c->captured.slots[slot];
    if ((slot == 0 || slot == 7) && value.empty()) continue;
    char format[32];
    snprintf(format, sizeof format, "set -%s %%s\r", name);
    result = Worst(result, SendText(c, format, value.c_str(), name));
  }
  return result;
}

int32_t WriteCalibrationList(InstrumentConnection* c) {
  const CalibrationWords cal = CalibrationFor(c->device_kind);
  int32_t result = 1;
  for (int slot = 0; slot < cal.count && !c->captured.slots[slot].empty(); ++slot) {
    const char* value = c->captured.slots[slot].c_str();
    char command[kWriteCommandSize];
    snprintf(command, sizeof command, "set %s%d %s\r", cal.word, cal.first + slot, value);
    char log_name[16];
    snprintf(log_name, sizeof log_name, "cal %d", slot);
    result = Worst(result, Send(c, command, kWriteWaitMs, log_name, value));
  }
  return result;
}

int32_t WriteRecords(InstrumentConnection* c, const char* reset, RecordList* list, int type) {
  DPSetCommand(c, reset);
  return SetRecords_Serial(c, list, type);
}

int32_t WriteSetting(InstrumentConnection* c, int bit) {
  const SettingsFlagRow& row = kSettingsFlagRows[bit];
  CapturedSettings* s = &c->captured;
  switch (bit) {
    case 1:
      return WriteSerialNumber(c);
    case 2:
      return WriteParameterSet(c);
    case 6: {
      char command[kWriteCommandSize];
      snprintf(command, sizeof command, row.write_format,
               UsesPvuser(c->device_kind) ? "set -pvuser" : "set -uvals", s->uvals.c_str());
      return Send(c, command, kWriteWaitMs, row.log_name, s->uvals.c_str());
    }
    case 21:
      return WriteCalibrationList(c);
    case 22: {
      int32_t result = SendText(c, row.write_format, s->fvals.c_str(), "-p");
      if (c->device_kind == 16) {
        result = Worst(result, SendText(c, "set -pv %s\r", s->uvals.c_str(), "-pv"));
        if (!s->c76.empty()) {
          result = Worst(result, SendText(c, "set -c76 %s\r", s->c76.c_str(), "-c76"));
        }
      }
      return result;
    }
    case 27:
      return WriteRecords(c, row.write_format, &c->user_records, kUserRecords);
    case 28:
      return WriteRecords(c, row.write_format, &c->equation_records, kEquationRecords);
    case 30: {
      const int32_t result = SendNumber(c, "set -tau %ld\r", static_cast<long>(s->tau), "tau");
      return Worst(result, SendText(c, row.write_format, s->hadj.c_str(), row.log_name));
    }
    default:
      break;
  }
  if (row.form == FlagForm::kNumber) {
    return SendNumber(c, row.write_format, static_cast<long>(*row.number(s)), row.log_name);
  }
  return SendText(c, row.write_format, row.text(s).text, row.log_name);
}

// The first pending bit in the order, or -1.
int FirstPending(uint32_t pending, const uint8_t* order, size_t count) {
  for (size_t k = 0; k < count; ++k) {
    if (pending & (1u << order[k])) return order[k];
  }
  return -1;
}

bool StopsTheRun(int32_t last, bool writing) {
  return last == kLoggerEcho || last == kLoggerNoAnswer || (writing && last == kLoggerRelayActive);
}

int32_t RunSettings(InstrumentConnection* c, uint32_t flags, bool writing) {
  const uint8_t* order = writing ? kRestoreOrder : kCaptureOrder;
  const size_t count = writing ? sizeof kRestoreOrder : sizeof kCaptureOrder;
  int32_t result = 1;
  int32_t last = 0;
  int repeats = 0;
  uint32_t pending = flags;
  while (pending != 0) {
    if (StopsTheRun(last, writing)) return last;
    if (last == kProtocolNotInitialised) {
      if (++repeats >= kMostRepeats) return last;
      pending |= kFlagSerialNumber;  // ask once more
    } else if (last < 0) {
      result = kProtocolPartlyDone;
    } else {
      repeats = 0;
    }
    const int bit = FirstPending(pending, order, count);
    if (bit < 0) {
      if (writing) return kProtocolBadReply;  // what remains cannot be written
      break;
    }
    if (writing) {
      last = WriteSetting(c, bit);
    } else {
      const Outcome outcome = ReadSetting(c, bit);
      last = outcome.result;
      if (outcome.captured) c->captured.flags |= 1u << bit;
    }
    pending &= ~(1u << bit);
  }
  if (result == 1 && last < 0) result = last;
  return result;
}

}  // namespace

int32_t GetInstInfo(InstrumentConnection* connection, uint32_t flags) {
  if (connection == nullptr) return kProtocolMissingArgument;
  if (flags == 0) {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "GetInstInfo should be called with non-zero flags");
    return 0;
  }
  connection->captured.kind = connection->device_kind;
  connection->captured.flags = 0;
  const int32_t result = RunSettings(connection, flags, false);
  if (result < 0) {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "GetInstInfo could not collect all settings");
  }
  return result;
}

int32_t SetInstInfo(InstrumentConnection* connection, uint32_t flags) {
  if (connection == nullptr) return kProtocolMissingArgument;
  if (flags == 0) {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "SetInstInfo should be called with non-zero flags");
    return 0;
  }
  const int32_t result = RunSettings(connection, flags, true);
  if (result < 0) {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "SetInstInfo could not restore all settings");
  }
  return result;
}

}  // namespace halv
