// The equation and user records read from and written to the device.
#include <cstdio>
#include <cstring>

#include "logger/logger_link.h"
#include "protocol/settings_capture.h"

namespace halv {
namespace {

constexpr int32_t kAssumedEquations = 100;
constexpr int32_t kAssumedUsers = 25;
// More than any instrument keeps; a wild count must not exhaust memory.
constexpr int32_t kMostRecords = 1000;

}  // namespace

int32_t GetRecords_Serial(InstrumentConnection* connection, RecordList* list, int type) {
  DiagLog* log = connection->log;
  const char* word = RecordTypeWord(type);
  if (word == nullptr || list == nullptr) {
    LogMessage(log, kLogNote, kProtocolTag,
               "GetRecords_Serial found an unexpected record type \"%d\"", type);
    return kProtocolNotForDevice;
  }
  if (ReleaseRecords(list)) {
    LogMessage(log, kLogNote, kProtocolTag, "GetRecords_Serial found a non-null \"%s\" set", word);
  }
  char command[32];
  snprintf(command, sizeof command, "get -%s\r", word);
  char reply[32];
  uint32_t length = sizeof reply;
  uint32_t elapsed = 0;
  int32_t count = 0;
  if (DeviceCommand(connection->link.get(), command, '>', 2000, reply, &length, &elapsed) < 0) {
    count = type == kEquationRecords ? kAssumedEquations : kAssumedUsers;
  } else if (sscanf(reply, "%d", &count) != 1 || count < 0) {
    count = 0;
  }
  if (count > kMostRecords) count = kMostRecords;
  if (count == 0) {
    LogMessage(log, kLogNote, kProtocolTag,
               "GetRecords_Serial found no \"%s\" records in instrument", word);
    return 0;
  }
  LogMessage(log, kLogNote, kProtocolTag, "GetRecords_Serial instrument reports %d \"%s\" records",
             count, word);
  if (!AllocateRecords(list, count)) {
    LogMessage(log, kLogNote, kProtocolTag,
               "GetRecords_Serial couldn't allocate memory for %d records", count);
    return kProtocolNoMemory;
  }
  int32_t read = 0;
  for (; read < count; ++read) {
    snprintf(command, sizeof command, "get -%s %d", word, read);
    FixedText<257>& value = list->records[read].value;
    if (GetValueString(connection, command, 2000, value.text, FixedText<257>::Capacity()) <= 0) {
      value.Clear();
      break;
    }
  }
  LogMessage(log, kLogNote, kProtocolTag, "GetRecords_Serial retrieved %d of %d \"%s\" records",
             read, count, word);
  list->count = read;
  return 1;
}

int32_t SetRecords_Serial(InstrumentConnection* connection, RecordList* list, int type) {
  DiagLog* log = connection->log;
  const char* word = RecordTypeWord(type);
  if (word == nullptr || list == nullptr) {
    LogMessage(log, kLogNote, kProtocolTag,
               "SetRecords_Serial found an unexpected record type \"%d\"", type);
    return kProtocolNotForDevice;
  }
  if (list->count <= 0 || list->records == nullptr) {
    LogMessage(log, kLogNote, kProtocolTag, "SetRecords_Serial found an empty \"%s\" set", word);
    return 0;
  }
  AlphabetizeRecords(connection, list, type);
  int32_t index = 0;
  for (; index < list->count && !list->records[index].value.empty(); ++index) {
    const char* value = list->records[index].value.c_str();
    char command[300];
    snprintf(command, sizeof command, "set -%s %d %.256s\r", word, index, value);
    char reply[32];
    uint32_t length = sizeof reply;
    uint32_t elapsed = 0;
    const int32_t result =
        DeviceCommand(connection->link.get(), command, '>', 2000, reply, &length, &elapsed);
    if (result > 0 && strstr(reply, "OK") != nullptr) {
      LogMessage(log, kLogNote, kProtocolTag, "SetRecords_Serial set \"%s\" %d to \"%s\" (%d ms)",
                 word, index, value, static_cast<int32_t>(elapsed));
    }
  }
  LogMessage(log, kLogNote, kProtocolTag, "SetRecords_Serial retrieved %d of %d \"%s\" records",
             index, list->count, word);
  return 1;
}

}  // namespace halv
