// The checks and maintenance around an update: battery, the new firmware's
// self-check, the data erase and the clock.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "logger/settings_transfer.h"
#include "protocol/instrument.h"
#include "protocol/wall_clock.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr int64_t kSeconds1970To2000 = 946684800;
constexpr int kFirmwareCheckTries = 3;

bool SystemWallClock(int64_t* seconds, int* error) {
  const time_t now = ::time(nullptr);
  if (now == static_cast<time_t>(-1)) {
    *error = errno;
    return false;
  }
  *seconds = static_cast<int64_t>(now);
  return true;
}

WallClockSource g_wall_clock = &SystemWallClock;

bool IsLoggerKind(int kind) {
  return kind == 2 || kind == 3 || kind == 4 || kind == 18 || kind == 19;
}

// The instruments whose data is erased with a plain "yes".
bool ErasesWithYes(int kind) {
  switch (kind) {
    case 7:
    case 8:
    case 9:
    case 11:
    case 14:
    case 15:
    case 16:
    case 22:
    case 23:
      return true;
    default:
      return false;
  }
}

// The instruments whose clock is set in seconds since 2000.
bool SetsSeconds(int kind) {
  switch (kind) {
    case 8:
    case 11:
    case 15:
    case 16:
    case 21:
    case 22:
    case 23:
      return true;
    default:
      return false;
  }
}

int32_t Exchange(InstrumentConnection* c, const char* command, uint32_t wait_ms, char* reply,
                 uint32_t capacity, uint32_t* elapsed) {
  uint32_t length = capacity;
  return DeviceCommand(c->link.get(), command, '>', wait_ms, reply, &length, elapsed);
}

}  // namespace

WallClockSource SetWallClockSource(WallClockSource source) {
  WallClockSource previous = g_wall_clock;
  g_wall_clock = source != nullptr ? source : &SystemWallClock;
  return previous;
}

bool ReadWallClock(int64_t* seconds, int* error) {
  return g_wall_clock(seconds, error);
}

int32_t DPCheckBattery(InstrumentConnection* connection, int32_t* percent) {
  if (connection == nullptr || percent == nullptr) return kProtocolMissingArgument;
  char reply[32];
  uint32_t elapsed = 0;
  const int32_t result = Exchange(connection, "get -batt\r", 2000, reply, sizeof reply, &elapsed);
  *percent = -1;
  if (result < 0) return result;
  int value = 0;
  if (sscanf(reply, "%d", &value) != 1) {
    LogMessage(connection->log, kLogError, kProtocolTag,
               "DPCheckBattery failed to parse battery power (%d ms)",
               static_cast<int32_t>(elapsed));
    return kProtocolBadReply;
  }
  *percent = value;
  LogMessage(connection->log, kLogNote, kProtocolTag, "DPCheckBattery: %d%% battery (%d ms)", value,
             static_cast<int32_t>(elapsed));
  return 1;
}

int32_t DPCheckFirmware(InstrumentConnection* connection, uint8_t initialise) {
  if (connection == nullptr) return kProtocolMissingArgument;
  DiagLog* log = connection->log;
  const char* command = initialise ? "post -init\r" : "post\r";
  int32_t result = kProtocolBadReply;
  for (int attempt = 0; attempt < kFirmwareCheckTries; ++attempt) {
    char reply[64];
    uint32_t elapsed = 0;
    result = Exchange(connection, command, 7000, reply, sizeof reply, &elapsed);
    if (result < 0) {
      LogMessage(log, kLogError, kProtocolTag,
                 "DPCheckFirmware can't determine firmware code status (error %d)", result);
    } else if (strstr(reply, "Code Good!") != nullptr) {
      LogMessage(log, kLogNote, kProtocolTag,
                 "DPCheckFirmware: Device reports good firmware code!");
      return 1;
    } else if (strstr(reply, "Code Corrupt!") != nullptr) {
      LogMessage(log, kLogError, kProtocolTag,
                 "DPCheckFirmware: Device reports corrupt firmware code!");
      return kProtocolRefused;
    } else {
      result = kProtocolBadReply;
      LogMessage(log, kLogError, kProtocolTag,
                 "DPCheckFirmware can't determine firmware code status");
    }
    WaitMs(1000);
  }
  return result;
}

int32_t DPEraseData(InstrumentConnection* connection) {
  if (connection == nullptr) return kProtocolMissingArgument;
  const int kind = connection->device_kind;
  if (IsLoggerKind(kind)) return EraseData(connection->link.get());
  if (!ErasesWithYes(kind)) return kProtocolNotForKind;
  char reply[32];
  uint32_t elapsed = 0;
  int32_t result = Exchange(connection, "yes\r", 17000, reply, sizeof reply, &elapsed);
  if (result > 0) {
    if (strstr(reply, "OK") != nullptr) {
      LogMessage(connection->log, kLogNote, kProtocolTag, "DPEraseData erased device data (%d ms)",
                 static_cast<int32_t>(elapsed));
      return 1;
    }
    if (strstr(reply, "DataFlash FAIL") != nullptr) {
      LogMessage(connection->log, kLogError, kProtocolTag,
                 "DPEraseData failed due to a broken DataFlash (%d ms)",
                 static_cast<int32_t>(elapsed));
      return kProtocolBrokenDataFlash;
    }
    result = kProtocolBadReply;
  }
  LogMessage(connection->log, kLogError, kProtocolTag, "DPEraseData failed with error %d (%d ms)",
             result, static_cast<int32_t>(elapsed));
  return result;
}

int32_t DPSetTime(InstrumentConnection* connection) {
  if (connection == nullptr) return kProtocolMissingArgument;
  if (!connection->device.set_time) return kProtocolNotForKind;
  const uint32_t start = MsTick();
  int32_t result = 0;
  bool done = false;
  long seconds = 0;
  if (SetsSeconds(connection->device_kind)) {
    int64_t now = 0;
    int error = 0;
    if (!ReadWallClock(&now, &error)) {
      LogMessage(connection->log, kLogError, kProtocolTag,
                 "DPSetTime failed to get system time with error %d", error);
      return kProtocolBadReply;
    }
    // The device keeps local time in seconds since 1 January 2000.
    seconds = static_cast<long>(now + UtcOffsetSeconds() - kSeconds1970To2000);
    char command[48];
    snprintf(command, sizeof command, "set -sec %ld\r", seconds);
    char reply[32];
    uint32_t elapsed = 0;
    result = Exchange(connection, command, 20000, reply, sizeof reply, &elapsed);
    done = result > 0 && strstr(reply, "OK") != nullptr;
  } else {
    int64_t time = 0;
    result = DeviceTime(connection->link.get(), &time, 1);
    seconds = static_cast<long>(time);
    done = result > 0;
  }
  if (done) {
    LogMessage(connection->log, kLogProgress, kProtocolTag, "DPSetTime set the time to: %ld",
               seconds);
  } else {
    LogMessage(connection->log, kLogProgress, kProtocolTag, "DPSetTime got error %d (%d ms)",
               result, static_cast<int32_t>(MsTick() - start));
  }
  return result;
}

}  // namespace halv
