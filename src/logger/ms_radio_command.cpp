// Radio channel, subchannel and version of a logger with a radio modem.
// Current firmware passes them through its own commands; an old logger hands
// the line over to its modem ("term"), which then takes AT commands.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kRadioWaitMs = 2000;
constexpr uint32_t kTermPauseMs = 500;
constexpr int32_t kMaxChannel = 6;
constexpr int32_t kMaxSubchannel = 0xFFFF;

// How one item ended: done, not there (0), no radio (-45), or failed.
struct ItemResult {
  bool done = false;
  bool failed = false;
  int32_t code = 1;
};

// The value after "OK" in a reply: two characters after the first "K", or
// the start of the reply when there is none.
const char* AfterOk(const char* text) {
  const char* k = strchr(text, 'K');
  if (k == nullptr) return text;
  return strnlen(k, 2) < 2 ? k + strlen(k) : k + 2;
}

bool FourHexDigits(std::string_view word) {
  if (word.size() != 4) return false;
  for (char c : word) {
    if (!isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

ItemResult WriteItem(DeviceLink* link, const char* format, int32_t value, const char* set_line) {
  char command[32];
  snprintf(command, sizeof command, format, static_cast<unsigned>(value));
  const char* accept = link->settings.device_kind == kLoggerKindLagan ? "OK\r\rOK" : "OK";
  ItemResult item;
  const uint32_t tries = link->retries > 0 ? link->retries : 1;
  for (uint32_t attempt = 0; attempt < tries; ++attempt) {
    Reply<32> r;
    const int32_t rc = r.Exchange(link, command, '>', kRadioWaitMs);
    if (rc > 0 && reply::Contains(r.text, "No Radio")) {
      item.code = kLoggerNoRadio;
      return item;
    }
    if (rc > 0 && reply::Contains(r.text, accept)) {
      LogMessage(link->log, kLogProgress, LinkTag(link), set_line, static_cast<int>(value), r.Ms());
      item.done = true;
      return item;
    }
    item.code = rc > 0 ? kLoggerBadReply : rc;
  }
  item.failed = true;
  return item;
}

ItemResult ReadVersion(DeviceLink* link, FixedText<9>* version) {
  ItemResult item;
  const uint32_t tries = link->retries > 0 ? link->retries : 1;
  uint32_t ms = 0;
  for (uint32_t attempt = 0; attempt < tries; ++attempt) {
    Reply<32> r;
    const int32_t rc = r.Exchange(link, "get -rver\r", '>', kRadioWaitMs);
    ms = r.elapsed_ms;
    if (rc == kLoggerEmptyAnswer) {
      item.code = 0;
      return item;
    }
    if (rc > 0) {
      const std::string_view word = reply::ReadWord(AfterOk(r.text), 8);
      if (word.substr(0, 2) == "00" || reply::Contains(r.text, "No Radio")) {
        if (version != nullptr) version->Clear();
        item.code = kLoggerNoRadio;
        return item;
      }
      if (FourHexDigits(word)) {
        if (version != nullptr) version->Assign(word);
        LogMessage(link->log, kLogProgress, LinkTag(link), "MSRadioCommand found rver %s (%d ms)",
                   std::string(word).c_str(), r.Ms());
        item.done = true;
        return item;
      }
      item.code = kLoggerBadReply;
    } else {
      item.code = rc;
    }
  }
  LogMessage(link->log, kLogProgress, LinkTag(link), "MSRadioCommand could not find rver (%d ms)",
             static_cast<int>(ms));
  item.failed = true;
  return item;
}

ItemResult ReadNumber(DeviceLink* link, const char* command, int32_t max, int32_t* value,
                      const char* found_line, const char* missing_line) {
  ItemResult item;
  const uint32_t tries = link->retries > 0 ? link->retries : 1;
  uint32_t ms = 0;
  for (uint32_t attempt = 0; attempt < tries; ++attempt) {
    Reply<32> r;
    const int32_t rc = r.Exchange(link, command, '>', kRadioWaitMs);
    ms = r.elapsed_ms;
    if (rc == kLoggerEmptyAnswer) {
      item.code = 0;
      return item;
    }
    if (rc > 0 && reply::Contains(r.text, "No Radio")) {
      item.code = kLoggerNoRadio;
      return item;
    }
    uint32_t read = 0;
    if (rc > 0 && reply::ReadHex(AfterOk(r.text), &read) && read <= static_cast<uint32_t>(max)) {
      *value = static_cast<int32_t>(read);
      LogMessage(link->log, kLogProgress, LinkTag(link), found_line, static_cast<int>(read),
                 r.Ms());
      item.done = true;
      return item;
    }
    item.code = rc > 0 ? kLoggerBadReply : rc;
  }
  LogMessage(link->log, kLogProgress, LinkTag(link), missing_line, static_cast<int>(ms));
  item.failed = true;
  return item;
}

// Over the radio the logger's modem cannot be asked; the channel is what
// the connection was made with.
int32_t OverTheRadio(DeviceLink* link, int32_t* channel, int32_t* subchannel, FixedText<9>* version,
                     int direction, uint32_t* selection) {
  const char* tag = LinkTag(link);
  if (direction == kWrite) {
    *selection = 0;
    LogMessage(link->log, kLogProgress, tag,
               "MSRadioCommand can't set radio parameters while connected over the radio");
    return -12;
  }
  if (version != nullptr) version->Clear();
  if (link->request.configure_radio == 1) {
    *channel = static_cast<int32_t>(link->request.radio_channel);
    *subchannel = static_cast<int32_t>(link->request.radio_subchannel);
    *selection = kRadioChannelItem | kRadioSubchannelItem;
    LogMessage(link->log, kLogProgress, tag,
               "MSRadioCommand knows the RCH is %d and RSCH is %d (can't get RVER)",
               static_cast<int>(*channel), static_cast<int>(*subchannel));
    return 1;
  }
  *selection = kRadioChannelItem | kRadioSubchannelItem;
  const int32_t rc = RodoConfig(link, channel, subchannel, nullptr, kRead, selection);
  LogMessage(
      link->log, kLogProgress, tag,
      "MSRadioCommand asked the Rodo and found the RCH is %d and RSCH is %d (can't get RVER)",
      static_cast<int>(*channel), static_cast<int>(*subchannel));
  return rc;
}

// An old Lagan: "term" hands the line to the modem until the next "term".
int32_t ThroughTerm(DeviceLink* link, int32_t* channel, int32_t* subchannel, FixedText<9>* version,
                    int direction, uint32_t* selection) {
  if (link->settings.device_kind != kLoggerKindLagan) {
    *selection = 0;
    return kLoggerNoAnswer;
  }
  DSWriteText(&link->channel, "term\r");
  WaitMs(kTermPauseMs);
  const int32_t rc = RodoConfig(link, channel, subchannel, version, direction, selection);
  WaitMs(kTermPauseMs);
  Reply<32> r;
  r.Exchange(link, "term\r", '>', 1500);
  return rc;
}

}  // namespace

int32_t MSRadioCommand(DeviceLink* link, int32_t* channel, int32_t* subchannel,
                       FixedText<9>* version, int direction, uint32_t* selection) {
  if (selection == nullptr) return kLoggerMissingArgument;
  const uint32_t wanted = *selection;
  if (!(link->settings.supported_mask & kSupportsRadio)) {
    *selection = 0;
    return kLoggerCannot;
  }
  if ((wanted & kRadioChannelItem) && channel == nullptr) return kLoggerMissingArgument;
  if ((wanted & kRadioSubchannelItem) && subchannel == nullptr) return kLoggerMissingArgument;
  if (OnRadio(link)) {
    int32_t ch = 0, sub = 0;
    const int32_t rc =
        OverTheRadio(link, channel != nullptr ? channel : &ch,
                     subchannel != nullptr ? subchannel : &sub, version, direction, selection);
    return rc;
  }
  if (!link->settings.new_firmware) {
    return ThroughTerm(link, channel, subchannel, version, direction, selection);
  }

  const uint32_t start = MsTick();
  uint32_t done = 0;
  uint32_t failed = 0;
  int32_t result = 1;
  bool no_radio = false;
  auto take = [&](const ItemResult& item, uint32_t bit) {
    if (item.done) done |= bit;
    if (item.failed) failed |= bit;
    if (!item.done && item.code <= 0) result = item.code;
    if (item.code == kLoggerNoRadio) no_radio = true;
  };
  if (direction == kWrite) {
    if (wanted & kRadioChannelItem) {
      take(WriteItem(link, "set -rch %X\r", *channel, "MSRadioCommand set rch to %d (%d ms)"),
           kRadioChannelItem);
    }
    if ((wanted & kRadioSubchannelItem) && !no_radio) {
      take(WriteItem(link, "set -rsch %X\r", *subchannel, "MSRadioCommand set rsch to %d (%d ms)"),
           kRadioSubchannelItem);
    }
  } else {
    if (wanted & kRadioVersionItem) take(ReadVersion(link, version), kRadioVersionItem);
    if ((wanted & kRadioChannelItem) && !no_radio) {
      take(ReadNumber(link, "get -rch\r", kMaxChannel, channel,
                      "MSRadioCommand found rch %d (%d ms)",
                      "MSRadioCommand could not find rch (%d ms)"),
           kRadioChannelItem);
    }
    if ((wanted & kRadioSubchannelItem) && !no_radio) {
      take(ReadNumber(link, "get -rsch\r", kMaxSubchannel, subchannel,
                      "MSRadioCommand found rsch %d (%d ms)",
                      "MSRadioCommand could not find rsch (%d ms)"),
           kRadioSubchannelItem);
    }
  }
  const int elapsed = static_cast<int>(MsTick() - start);
  if (done == 0 && (result == 0 || result == kLoggerNoRadio)) {
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "MSRadioCommand couldn't find a radio (%d ms)", elapsed);
  }
  if (failed != 0 || result < 0) {
    if (done != 0)
      result = kLoggerPartlyDone;
    else if (result >= 0)
      result = kLoggerBadReply;
    LogMessage(link->log, kLogError, LinkTag(link),
               "MSRadioCommand failed with error %d setting %d (%d ms)", result,
               static_cast<int>(failed), elapsed);
  }
  *selection = done;
  return result;
}

}  // namespace halv
