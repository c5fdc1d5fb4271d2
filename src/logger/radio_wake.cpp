// Finding a device on the radio: the query and the wake sequence that brings
// a sleeping radio device back.
#include <cstring>

#include "logger/link_internal.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kQueryWaitMs = 3000;
constexpr uint32_t kQueryReplySize = 180;
constexpr uint32_t kAfterQueryMs = 2500;
constexpr size_t kNameMax = 8;

constexpr uint32_t kWakePackets = 909;
constexpr uint32_t kWakeSpacingMs = 55;
constexpr uint32_t kWakeAskEvery = 18;

// The radio's retries in force stay as they were, whatever happens.
class SingleTries {
 public:
  explicit SingleTries(DeviceLink* link) : link_(link), saved_(link->retries) { link->retries = 1; }
  ~SingleTries() { link_->retries = saved_; }
  uint32_t saved() const { return saved_; }

 private:
  DeviceLink* link_;
  uint32_t saved_;
};

// Mode 1: the name up to the first carriage return. 1 when it is a valid
// name, 0 when the device answered something else.
int TakeName(const char* reply_text, char* name) {
  size_t n = 0;
  while (n < kNameMax && reply_text[n] != '\0' && reply_text[n] != '\r') ++n;
  memcpy(name, reply_text, n);
  name[n] = '\0';
  return CheckDeviceName(name) == 1 ? 1 : 0;
}

}  // namespace

int32_t QueryCommand(DeviceLink* link, char* name, uint32_t mode) {
  if (mode == 0 || name == nullptr) return kLoggerMissingArgument;
  SingleTries single(link);
  const uint32_t tries = single.saved() > 0 ? single.saved() : 1;
  int32_t result = kLoggerNoAnswer;
  bool heard = false;
  bool cancelled = false;
  uint32_t elapsed = 0;
  for (uint32_t attempt = 0; attempt < tries; ++attempt) {
    if (!AskToGoOn(link, tries, attempt, kPhaseQuery)) {
      cancelled = true;
      break;
    }
    if (mode == 1) {
      Reply<kQueryReplySize> r;
      result = r.Exchange(link, "\rquery\r", '\r', kQueryWaitMs);
      elapsed = r.elapsed_ms;
      if (result > 0) {
        heard = true;
        if (TakeName(r.text, name)) break;
      }
    } else {
      uint32_t length = mode;
      result = DeviceCommand(link, "\rquery\r", '>', kQueryWaitMs, name, &length, &elapsed);
      if (result > 0) {
        heard = true;
        break;
      }
    }
    if (result == kLoggerEcho) break;
  }
  const char* tag = LinkTag(link);
  if (cancelled) {
    LogMessage(link->log, kLogProgress, tag, "QueryCommand canceled by user");
    return kLoggerCancelled;
  }
  if (heard && result != kLoggerEcho) {
    LogMessage(link->log, kLogProgress, tag, "QueryCommand heard from: %s (%d ms)", name,
               static_cast<int>(elapsed));
    WaitMs(kAfterQueryMs);
    return 1;
  }
  if (result == kLoggerEcho) {
    LogMessage(link->log, kLogError, tag,
               "QueryCommand is hearing \"query\" -- a relay must be active (%d ms)",
               static_cast<int>(elapsed));
    return kLoggerRelayActive;
  }
  if (result == kLoggerNoAnswer) {
    LogMessage(link->log, kLogProgress, tag,
               "QueryCommand didn't get any answers after %d tries (%d ms)",
               static_cast<int>(tries), static_cast<int>(elapsed));
    return kLoggerQueryNoAnswer;
  }
  LogMessage(link->log, kLogError, tag, "QueryCommand failed with error %d (%d ms)", result,
             static_cast<int>(elapsed));
  return result;
}

int32_t SendWake(DeviceLink* link) {
  TraceSent(link, "\r<Sending Query Mode wake sequence...>\r");
  bool too_slow = false;
  for (uint32_t packet = 0; packet < kWakePackets; ++packet) {
    uint32_t pause = kWakeSpacingMs;
    if (!too_slow && link->options.cancel_check && packet % kWakeAskEvery == 0) {
      const uint32_t asked = MsTick();
      if (!AskToGoOn(link, kWakePackets, packet, kPhaseProgress)) {
        LogMessage(link->log, kLogProgress, LinkTag(link),
                   "SendWake canceled by user after sending %d of %d packets",
                   static_cast<int>(packet), static_cast<int>(kWakePackets));
        return kLoggerCancelled;
      }
      // The hook's time comes off this packet's pause.
      const uint32_t spent = MsTick() - asked;
      if (spent > kWakeSpacingMs - 1) {
        too_slow = true;
        pause = 0;
      } else {
        pause = kWakeSpacingMs - spent;
      }
    }
    const int32_t rc = DSWriteText(&link->channel, "\r");
    if (rc < 0) {
      // A line that is gone will not carry the rest of the sequence either.
      LogMessage(link->log, kLogError, LinkTag(link),
                 "SendWake failed after sending %d of %d packets (error %d)",
                 static_cast<int>(packet), static_cast<int>(kWakePackets), rc);
      return rc;
    }
    if (pause > 0) WaitMs(pause);
  }
  if (too_slow) {
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "SendWake executing too slow to send status (PIG status)!");
  }
  LogMessage(link->log, kLogProgress, LinkTag(link), "SendWake sent %d packets",
             static_cast<int>(kWakePackets));
  AskToGoOn(link, kWakePackets, kWakePackets, kPhaseFinished);
  return 1;
}

}  // namespace halv
