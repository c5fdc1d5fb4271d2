// The logger's clock. Times are seconds since 1 January 2000 in local time;
// devices keep either a date and a time of day or a count of such seconds.
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <ctime>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr int64_t kEpoch2000 = 946684800;  // 1 January 2000 in calendar seconds
constexpr uint32_t kSetWaitMs = 1500;
constexpr uint32_t kGetWaitMs = 3000;

int32_t Failed(DeviceLink* link, int32_t rc, uint32_t ms) {
  LogMessage(link->log, kLogError, LinkTag(link), "DeviceTime failed with error %d (%d ms)", rc,
             static_cast<int>(ms));
  return rc;
}

// A write's reply: "OK", or from old firmware the prompt it names.
bool Accepted(const DeviceLink* link, const char* text, const char* old_accept) {
  if (reply::Contains(text, "OK")) return true;
  return !link->settings.new_firmware && reply::Contains(text, old_accept);
}

int32_t WriteTime(DeviceLink* link, int64_t* time) {
  int64_t seconds = time != nullptr ? *time : 0;
  if (seconds == 0) {
    seconds = LocalSecondsSince2000();
    if (seconds < 0) {
      LogMessage(link->log, kLogError, LinkTag(link),
                 "DeviceTime failed to get system time with error %d", static_cast<int>(seconds));
      return kLoggerBadReply;
    }
    if (time != nullptr) *time = seconds;
  }
  // The seconds are local already: broken down without a zone.
  const time_t calendar = static_cast<time_t>(seconds + kEpoch2000);
  struct tm t = {};
  gmtime_r(&calendar, &t);
  const bool in_seconds = link->settings.supported_mask & kSupportsSecondsClock;
  char command[48];
  Reply<48> r;
  if (!in_seconds) {
    snprintf(command, sizeof command, "set -t %d:%d:%d\r", t.tm_hour, t.tm_min, t.tm_sec);
    int32_t rc = r.Exchange(link, command, '>', kSetWaitMs);
    if (rc > 0 && !Accepted(link, r.text, "\r>")) rc = kLoggerBadReply;
    // A clock whose time of day was refused is not set by its date alone.
    if (rc < 0) return Failed(link, rc, r.elapsed_ms);
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "DeviceTime set device time to %d:%02d:%02d (%d ms)", t.tm_hour, t.tm_min, t.tm_sec,
               r.Ms());
    snprintf(command, sizeof command, "set -d %d-%d-%d\r", t.tm_year + 1900, t.tm_mon + 1,
             t.tm_mday);
  } else {
    snprintf(command, sizeof command, "set -sec %lu\r", static_cast<unsigned long>(seconds));
  }
  int32_t rc = r.Exchange(link, command, '>', kSetWaitMs);
  if (rc > 0 && !Accepted(link, r.text, ">")) rc = kLoggerBadReply;
  if (rc < 0) return Failed(link, rc, r.elapsed_ms);
  if (in_seconds) {
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "DeviceTime set device halvseconds to %d (%d ms)", static_cast<int>(seconds),
               r.Ms());
  } else {
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "DeviceTime set device date to %d-%d-%d (%d ms)", t.tm_year + 1900, t.tm_mon + 1,
               t.tm_mday, r.Ms());
  }
  return 1;
}

// "%d-%d-%d %d:%d:%d" after "Date\Time:": 1, or -30 when not all six are there.
int32_t ReadDateTime(const char* text, struct tm* t) {
  const char* label = reply::AfterLabel(text, "Date\\Time:", 10);
  const char* p = label != nullptr ? label : text;
  int32_t v[6] = {};
  // What follows each number; the blank between date and time is white space
  // that the next number skips.
  const char* separators = "-- ::";
  for (int i = 0; i < 6; ++i) {
    if (!reply::ReadInt(p, &v[i], &p)) return kLoggerBadReply;
    if (i < 5 && separators[i] != ' ') {
      if (*p != separators[i]) return kLoggerBadReply;
      ++p;
    }
  }
  // The record counts years from 1900 and months from 0: a field that cannot
  // be moved there is no date.
  if (v[0] < INT32_MIN + 1900 || v[1] < INT32_MIN + 1) return kLoggerBadReply;
  t->tm_year = v[0] - 1900;
  t->tm_mon = v[1] - 1;
  t->tm_mday = v[2];
  t->tm_hour = v[3];
  t->tm_min = v[4];
  t->tm_sec = v[5];
  return 1;
}

int32_t ReadTime(DeviceLink* link, int64_t* time) {
  const LoggerSettings& s = link->settings;
  const bool in_seconds = s.supported_mask & kSupportsSecondsClock;
  const char* command = in_seconds ? "get -sec\r" : (s.new_firmware ? "get -t\r" : "time\r");
  Reply<48> r;
  if (r.Exchange(link, command, '>', kGetWaitMs) < 0) return kLoggerBadReply;
  if (in_seconds) {
    // A count with the sign bit set (or a minus) is no time of this century.
    uint32_t unsigned_value = 0;
    if (!reply::ReadUnsigned(r.text, &unsigned_value) || unsigned_value > INT32_MAX) {
      *time = 0;
      return kLoggerBadReply;
    }
    *time = unsigned_value;
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "DeviceTime found device date/timr %ld HalvSeconds (%d ms)",
               static_cast<long>(*time), r.Ms());
    return 1;
  }
  struct tm t = {};
  if (ReadDateTime(r.text, &t) != 1) return kLoggerBadReply;
  const time_t now = ::time(nullptr);
  struct tm local_now = {};
  localtime_r(&now, &local_now);
  t.tm_isdst = local_now.tm_isdst;
  struct tm keep = t;
  const time_t converted = mktime(&t);
  if (converted == static_cast<time_t>(-1)) {
    *time = 0;
    return kLoggerBadReply;
  }
  *time = static_cast<int64_t>(converted) + UtcOffsetSeconds() - kEpoch2000;
  LogMessage(link->log, kLogProgress, LinkTag(link),
             "DeviceTime found device date/time %d-%d-%d %d:%02d:%02d or %ld (%d ms)",
             keep.tm_year + 1900, keep.tm_mon + 1, keep.tm_mday, keep.tm_hour, keep.tm_min,
             keep.tm_sec, static_cast<long>(*time), r.Ms());
  return 1;
}

}  // namespace

int64_t LocalSecondsSince2000() {
  const time_t now = ::time(nullptr);
  if (now == static_cast<time_t>(-1)) return -1;
  return static_cast<int64_t>(now) + UtcOffsetSeconds() - kEpoch2000;
}

int32_t DeviceTime(DeviceLink* link, int64_t* time, int direction) {
  if (!(link->settings.supported_mask & kSupportsClock)) {
    if (time != nullptr) *time = -1;
    return kLoggerCannot;
  }
  if (direction == kWrite) return WriteTime(link, time);
  if (time == nullptr) return kLoggerMissingArgument;
  const uint32_t start = MsTick();
  const int32_t rc = ReadTime(link, time);
  if (rc < 0) {
    *time = -1;
    return Failed(link, rc, MsTick() - start);
  }
  return 1;
}

}  // namespace halv
