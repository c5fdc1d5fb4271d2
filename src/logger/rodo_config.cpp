// AT configuration of the radio modem on the comm port: "+++" enters its
// command mode, "ATCN" leaves it.
#include <cstdio>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kAtWaitMs = 1500;
constexpr uint32_t kAtSaveWaitMs = 2000;
constexpr int kCommandModeTries = 2;
constexpr uint32_t kAfterConfigMs = 100;

enum ErrorItem : int { kChannelError = 1, kSubchannelError = 2, kVersionError = 4, kSaveError = 8 };

// One AT exchange that must answer "OK": 1, -1 for another answer, or the
// exchange's error.
int32_t AtOk(DeviceLink* link, const char* command, uint32_t wait_ms, uint32_t* ms) {
  Reply<32> r;
  const int32_t rc = r.Exchange(link, command, 'K', wait_ms);
  *ms = r.elapsed_ms;
  if (rc < 0) return rc;
  return reply::Contains(r.text, "OK") ? 1 : -1;
}

// "+++" is answered by the modem alone; one exchange per try.
int32_t EnterCommandMode(DeviceLink* link) {
  const uint32_t saved = link->retries;
  link->retries = 1;
  int32_t rc = kLoggerNoAnswer;
  uint32_t ms = 0;
  for (int attempt = 0; attempt < kCommandModeTries && rc != 1; ++attempt) {
    rc = AtOk(link, "+++", kAtWaitMs, &ms);
  }
  link->retries = saved;
  return rc;
}

}  // namespace

int32_t RodoConfig(DeviceLink* link, int32_t* channel, int32_t* subchannel, FixedText<9>* version,
                   int direction, uint32_t* selection) {
  if (selection == nullptr) return kLoggerMissingArgument;
  const uint32_t wanted = *selection;
  const char* tag = LinkTag(link);
  const uint32_t start = MsTick();
  auto since = [&] { return static_cast<int>(MsTick() - start); };

  int32_t rc = EnterCommandMode(link);
  if (rc != 1) {
    LogMessage(link->log, kLogError, tag,
               "RodoConfig failed to get into AT command mode: %d (%d ms)", rc, since());
    *selection = 0;
    return kLoggerRadioConfigFailed;
  }
  int32_t result = 1;
  int errors = 0;
  uint32_t done = 0;
  uint32_t ms = 0;
  char command[32];
  auto note = [&](int32_t code, int error) {
    errors |= error;
    if (code < 0 && code != -1) result = code;
  };
  if (direction == kWrite) {
    if ((wanted & kRadioChannelItem) && channel != nullptr) {
      snprintf(command, sizeof command, "ATHP%X\r", static_cast<unsigned>(*channel));
      rc = AtOk(link, command, kAtWaitMs, &ms);
      if (rc == 1) {
        LogMessage(link->log, kLogProgress, tag, "RodoConfig set rch to %d (%d ms)",
                   static_cast<int>(*channel), static_cast<int>(ms));
        done |= kRadioChannelItem;
      } else {
        note(rc, kChannelError);
      }
    }
    if ((wanted & kRadioSubchannelItem) && subchannel != nullptr) {
      snprintf(command, sizeof command, "ATDT%X\r", static_cast<unsigned>(*subchannel));
      rc = AtOk(link, command, kAtWaitMs, &ms);
      if (rc == 1) {
        LogMessage(link->log, kLogProgress, tag, "RodoConfig set rsch to %d (%d ms)",
                   static_cast<int>(*subchannel), static_cast<int>(ms));
        done |= kRadioSubchannelItem;
      } else {
        note(rc, kSubchannelError);
      }
    }
    rc = AtOk(link, "ATWR\r", kAtSaveWaitMs, &ms);
    if (rc == 1) {
      LogMessage(link->log, kLogProgress, tag, "RodoConfig saved configuration (%d ms)",
                 static_cast<int>(ms));
    } else {
      note(rc, kSaveError);
    }
  } else {
    struct NumberItem {
      uint32_t bit;
      int32_t* value;
      const char* command;
      const char* found;
      const char* missing;
      int error;
    };
    const NumberItem items[] = {
        {kRadioChannelItem, channel, "ATHP\r", "RodoConfig found rch %d (%d ms)",
         "RodoConfig could not find rch (%d ms)", kChannelError},
        {kRadioSubchannelItem, subchannel, "ATDT\r", "RodoConfig found rsch %d (%d ms)",
         "RodoConfig could not find rsch (%d ms)", kSubchannelError},
    };
    for (const NumberItem& item : items) {
      if (!(wanted & item.bit) || item.value == nullptr) continue;
      Reply<32> r;
      rc = r.Exchange(link, item.command, '\r', kAtWaitMs);
      uint32_t read = 0;
      if (rc > 0 && reply::ReadHex(r.text, &read)) {
        *item.value = static_cast<int32_t>(read > INT32_MAX ? INT32_MAX : read);
        LogMessage(link->log, kLogProgress, tag, item.found, static_cast<int>(*item.value), r.Ms());
        done |= item.bit;
      } else {
        LogMessage(link->log, kLogProgress, tag, item.missing, r.Ms());
        note(rc, item.error);
      }
    }
    if ((wanted & kRadioVersionItem) && version != nullptr) {
      Reply<32> r;
      rc = r.Exchange(link, "ATVR\r", '\r', kAtWaitMs);
      const std::string_view word = rc > 0 ? reply::ReadWord(r.text, 8) : std::string_view();
      if (!word.empty()) {
        version->Assign(word);
        LogMessage(link->log, kLogProgress, tag, "RodoConfig found rver %s (%d ms)",
                   version->c_str(), r.Ms());
        done |= kRadioVersionItem;
      } else {
        LogMessage(link->log, kLogProgress, tag, "RodoConfig could not find rver (%d ms)", r.Ms());
        note(rc, kVersionError);
      }
    }
  }
  *selection = done;
  rc = AtOk(link, "ATCN\r", kAtWaitMs, &ms);
  if (rc != 1) {
    LogMessage(link->log, kLogError, tag,
               "RodoConfig failed to get out of AT command mode: %d (%d ms)", rc, since());
    return rc;
  }
  if (result < 0 || errors != 0) {
    if (done != 0) {
      result = kLoggerPartlyDone;
    } else if (result >= 0) {
      result = kLoggerRadioConfigFailed;
    }
    LogMessage(link->log, kLogError, tag, "RodoConfig failed with error %d and %d (%d ms)", result,
               errors, since());
  }
  WaitMs(kAfterConfigMs);
  return result;
}

}  // namespace halv
