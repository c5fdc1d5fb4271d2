// Single values and single setting commands.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "logger/logger_link.h"
#include "protocol/instrument.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr int kValueTries = 3;
constexpr size_t kCommandChars = 512;
constexpr uint32_t kValueReplySize = 512;

// The reply's first line: one leading carriage return and then one line feed
// are skipped; the value ends at the next carriage return.
const char* ValueStart(const char* reply) {
  if (*reply == '\r') ++reply;
  if (*reply == '\n') ++reply;
  return reply;
}

// One exchange for a value: the reply is in `reply`, or a negative code.
int32_t AskValue(InstrumentConnection* connection, const char* command, uint32_t wait_ms,
                 char* reply) {
  uint32_t length = kValueReplySize;
  uint32_t elapsed = 0;
  const int32_t result =
      DeviceCommand(connection->link.get(), command, '>', wait_ms, reply, &length, &elapsed);
  if (result <= 0) return result < 0 ? result : kProtocolBadReply;
  if (strstr(reply, "Error") != nullptr) return kProtocolBadReply;
  return result;
}

}  // namespace

int32_t GetValueString(InstrumentConnection* connection, const char* command, uint32_t wait_ms,
                       char* destination, size_t capacity) {
  if (connection == nullptr || command == nullptr || destination == nullptr) {
    return kProtocolMissingArgument;
  }
  char full[kCommandChars + 1];
  snprintf(full, sizeof full, "%s\r", command);
  const uint32_t start = MsTick();
  char reply[kValueReplySize];
  int32_t result = kProtocolBadReply;
  destination[0] = '\0';
  for (int attempt = 0; attempt < kValueTries; ++attempt) {
    result = AskValue(connection, full, wait_ms, reply);
    if (result < 0) continue;
    const char* value = ValueStart(reply);
    size_t n = strcspn(value, "\r");
    if (n > capacity) n = capacity;
    memcpy(destination, value, n);
    destination[n] = '\0';
    if (destination[0] == '>') {
      LogMessage(connection->log, kLogNote, kProtocolTag,
                 "GetValueString found a leading prompt character executing command \"%s\" (%d ms)",
                 command, static_cast<int32_t>(MsTick() - start));
      result = kProtocolBadReply;
    } else if (n == 0) {
      result = kProtocolBadReply;
    } else {
      result = 1;
      break;
    }
  }
  const int32_t elapsed = static_cast<int32_t>(MsTick() - start);
  if (result > 0) {
    LogMessage(connection->log, kLogNote, kProtocolTag, "GetValueString found %s \"%s\" (%d ms)",
               command, destination, elapsed);
  } else {
    destination[0] = '\0';
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "GetValueString received error %d executing command \"%s\" (%d ms)", result, command,
               elapsed);
  }
  return result;
}

int32_t GetValueLong(InstrumentConnection* connection, const char* command, uint32_t wait_ms,
                     int32_t* value) {
  if (connection == nullptr || command == nullptr || value == nullptr) {
    return kProtocolMissingArgument;
  }
  char full[kCommandChars + 1];
  snprintf(full, sizeof full, "%s\r", command);
  const uint32_t start = MsTick();
  char reply[kValueReplySize];
  int32_t result = kProtocolBadReply;
  long number = 0;
  for (int attempt = 0; attempt < kValueTries; ++attempt) {
    result = AskValue(connection, full, wait_ms, reply);
    if (result < 0) continue;
    const char* cr = strchr(reply, '\r');
    const char* text = cr != nullptr ? cr + 1 : reply;
    if (*text == '\n') ++text;
    char* end = nullptr;
    number = strtol(text, &end, 10);
    if (end == text) {
      result = kProtocolBadReply;
      continue;
    }
    result = 1;
    break;
  }
  const int32_t elapsed = static_cast<int32_t>(MsTick() - start);
  if (result > 0) {
    *value = static_cast<int32_t>(number);
    LogMessage(connection->log, kLogNote, kProtocolTag, "GetValueLong found %s \"%ld\" (%d ms)",
               command, number, elapsed);
  } else {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "GetValueLong received error %d executing command \"%s\" (%d ms)", result, command,
               elapsed);
  }
  return result;
}

int32_t DPSetCommand(InstrumentConnection* connection, const char* command) {
  if (connection == nullptr || command == nullptr) return kProtocolMissingArgument;
  int32_t result = kProtocolBadReply;
  for (int attempt = 0; attempt < kValueTries; ++attempt) {
    char reply[128];
    uint32_t length = sizeof reply;
    uint32_t elapsed = 0;
    result = DeviceCommand(connection->link.get(), command, '>', 9500, reply, &length, &elapsed);
    if (strstr(command, "user") != nullptr) {
      LogMessage(connection->log, kLogError, kProtocolTag, "\"%s\" returned %d (%d ms)", command,
                 result, static_cast<int32_t>(elapsed));
      return result;
    }
    if (result > 0 && strstr(reply, "OK") != nullptr) return 1;
    LogMessage(connection->log, kLogError, kProtocolTag, "\"%s\" failed with error %d (%d ms)",
               command, result, static_cast<int32_t>(elapsed));
    WaitMs(1000);
  }
  return result;
}

}  // namespace halv
