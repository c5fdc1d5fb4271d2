// One SDI-12 command through the reader. The reader forwards a command to the
// sensor after its wake byte "|"; a sensor that stops answering is brought
// back with three wake bytes and the acknowledge command "?!", and then the
// wake prefix is switched, since some readers want it and some do not.
#include <cstring>

#include "sdi12/sdi_sensor.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kAfterWakeMs = 175;
constexpr uint32_t kBetweenRecoveryWakesMs = 30;
constexpr uint32_t kProbeWaitMs = 500;

SerialChannel* Channel(SDISensor* s) {
  return &s->link->channel;
}

int32_t WriteWake(SDISensor* s) {
  return DSWriteText(Channel(s), "|");
}

// Three wake bytes and "?!": true when the sensor answered.
bool SensorAnswersProbe(SDISensor* s) {
  for (int i = 0; i < 3; ++i) {
    WriteWake(s);
    WaitMs(kBetweenRecoveryWakesMs);
  }
  DSPurge(Channel(s), 1);
  s->reply[0] = '\0';
  if (DSWriteText(Channel(s), "?!") < 0) return false;
  return DSWait(Channel(s), kProbeWaitMs, '\r') > 0;
}

void LogStepFailure(SDISensor* s, const char* step, int32_t code) {
  LogMessage(s->log, kLogProgress, kSdiTag, "SDISendCommand got unexpected response (%d) from %s",
             code, step);
}

// One try: the command, the wait for its carriage return and the read.
// Returns the bytes received (0 for none) or a channel error.
int32_t TryCommand(SDISensor* s, const char* command, bool wake) {
  if (wake) {
    WriteWake(s);
    WaitMs(kAfterWakeMs);
    DSPurge(Channel(s), 1);
    s->reply[0] = '\0';
  }
  int32_t rc = DSWriteText(Channel(s), command);
  if (rc < 0) {
    LogStepFailure(s, "DCommWrite", rc);
    return rc;
  }
  LogMessage(s->log, kLogProgress, kSdiTag, "SDISendCommand sent \"%s\"", command);
  rc = DSWait(Channel(s), s->reply_wait_ms, '\r');
  if (rc < 0) {
    LogStepFailure(s, "DCommWait", rc);
    return rc;
  }
  uint32_t count = 0;
  rc = DSRead(Channel(s), s->reply, kSdiReplySize, &count);
  if (rc < 0) {
    LogStepFailure(s, "DCommRead", rc);
    return rc;
  }
  if (count == 0) return 0;
  s->reply[count - 1] = '\0';  // the last byte (the line end) makes room for the zero
  LogMessage(s->log, kLogProgress, kSdiTag, "SDISendCommand received \"%s\"", s->reply);
  return static_cast<int32_t>(count);
}

}  // namespace

SDISensor::SDISensor(DiagLog* log_record, DeviceLink* device_link)
    : log(log_record), link(device_link) {}

int32_t SDISendCommand(SDISensor* s, const char* command, char* reply, uint32_t* reply_length,
                       uint32_t* elapsed_ms) {
  const uint32_t start = MsTick();
  const uint32_t capacity = reply_length != nullptr ? *reply_length : 0;
  s->reply[0] = '\0';
  // A sensor that keeps answering "?!" but never the command ends with -22.
  int32_t result = kSdiCommandUnanswered;
  bool wake = true;
  for (uint32_t attempt = 0; attempt < s->tries; ++attempt) {
    const int32_t rc = TryCommand(s, command, wake);
    if (rc != 0) {
      result = rc;
      break;
    }
    if (!SensorAnswersProbe(s)) {
      result = kSdiNoAnswer;
      break;
    }
    wake = !wake;
  }
  if (elapsed_ms != nullptr) *elapsed_ms = MsTick() - start;

  if (result < 0) {
    if (reply != nullptr && capacity > 0) reply[0] = '\0';
    if (reply_length != nullptr) *reply_length = 0;
    return result;
  }
  if (reply != nullptr && capacity > 0) {
    const uint32_t length = static_cast<uint32_t>(strnlen(s->reply, kSdiReplySize));
    const uint32_t copied = length < capacity - 1 ? length : capacity - 1;
    memcpy(reply, s->reply, copied);
    reply[copied] = '\0';
    *reply_length = copied;
    if (copied < length) {
      LogMessage(s->log, kLogProgress, kSdiTag,
                 "DeviceCommand got %d more bytes than expected (%s)",
                 static_cast<int>(length - copied), s->reply);
    }
  }
  return result;
}

std::string_view SdiUpToCarriageReturn(const char* from) {
  const char* end = strchr(from, '\r');
  return end != nullptr ? std::string_view(from, static_cast<size_t>(end - from))
                        : std::string_view(from);
}

std::string_view SdiAnswerValue(const char* answer) {
  if (answer[0] == '\0') return std::string_view();
  const char* value = answer + 1;  // past the address
  if (*value == ' ') ++value;
  return SdiUpToCarriageReturn(value);
}

}  // namespace halv
