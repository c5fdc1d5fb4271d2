// Identifying the device at the other end: "get -ver" for every device that
// runs current firmware, the "show" reply for the oldest loggers.
#include <cctype>
#include <cstring>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/version_text.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kVerWaitRadioMs = 800;
constexpr uint32_t kVerWaitSerialMs = 400;
constexpr uint32_t kVerRetryPauseMs = 400;
constexpr uint32_t kLoaderPauseMs = 3000;
constexpr int kMaxPrompts = 3;
constexpr uint32_t kVerReplySize = 32;
constexpr size_t kVersionTextMax = kVersionModelMax;
constexpr uint32_t kShowReplySize = 180;
constexpr int32_t kOldestShowVersion = 110;

void ApplyKindTable(DeviceLink* link) {
  LoggerSettings& s = link->settings;
  s.supported_mask = LoggerSupportedMask(s.device_kind, s.firmware_version, s.new_firmware != 0);
}

void SetKind(DeviceLink* link, uint8_t kind) {
  link->settings.device_kind = kind;
  link->settings.device_kind_name.Assign(LoggerKindName(kind));
}

// A reply with a "." in it: the version line. 1 identified, -30 not read.
int32_t TakeVersionReply(DeviceLink* link, const char* text, uint32_t elapsed) {
  const char* start = reply::SkipCarriageReturns(text);
  if (strchr(start, '\r') == nullptr) return kLoggerBadReply;
  LoggerSettings& s = link->settings;
  const std::string_view line = reply::ReadLine(start, kVersionTextMax);
  char version_text[kVersionTextMax + 1] = {};
  memcpy(version_text, line.data(), line.size());
  s.firmware_version_text.Assign(line);
  const VersionText f = ReadVersionText(version_text);
  if (f.count < 3) return kLoggerBadReply;
  s.firmware_version = ComposeVersion(f.major, f.minor, f.patch);
  s.new_firmware = 1;
  char model[kVersionTextMax + 1] = {};
  for (size_t i = 0; f.model[i] != '\0'; ++i) {
    model[i] = static_cast<char>(toupper(static_cast<unsigned char>(f.model[i])));
  }
  SetKind(link, LoggerKindOfModel(model));
  ApplyKindTable(link);
  LogMessage(link->log, kLogProgress, LinkTag(link), "VerCommand found \"%s\" ver %d (%d ms)",
             s.firmware_version_text.c_str(), static_cast<int>(s.firmware_version),
             static_cast<int>(elapsed));
  return 1;
}

// The second error reply to "get -ver": a logger too old to know it.
int32_t TakeOldLogger(DeviceLink* link, bool no_show, uint32_t elapsed) {
  link->settings.new_firmware = 0;
  SetKind(link, kLoggerKindLagan);
  LogMessage(link->log, kLogProgress, LinkTag(link),
             "VerCommand found Lagan with old firmware (%d ms)", static_cast<int>(elapsed));
  if (!no_show) ParseShowCommand(link, nullptr);
  ApplyKindTable(link);
  return 1;
}

void ForgetIdentity(DeviceLink* link) {
  LoggerSettings& s = link->settings;
  s.new_firmware = 0;
  SetKind(link, kLoggerKindUnknown);
  s.device_kind_name.Clear();
  s.firmware_version_text.Clear();
  s.firmware_version = 0;
}

}  // namespace

int32_t VerCommand(DeviceLink* link, bool no_show) {
  LoggerSettings& s = link->settings;
  if (s.device_kind == kLoggerKindLagan && !s.new_firmware) return ParseShowCommand(link, nullptr);

  const uint32_t start = MsTick();
  const uint32_t wait = OnRadio(link) ? kVerWaitRadioMs : kVerWaitSerialMs;
  const uint32_t tries_allowed = link->retries + 3;
  int32_t result = 1;
  int prompts = 0;
  bool loader_seen = false;
  bool error_seen = false;
  bool done = false;
  for (uint32_t tries = 0; tries < tries_allowed && !done; ++tries) {
    Reply<kVerReplySize> r;
    const int32_t rc = r.Exchange(link, "get -ver\r", '>', wait);
    // An error reply is not copied out; its text is still in the response.
    const char* text = r.text;
    char error_text[kVerReplySize] = {};
    if (rc == kLoggerErrorReply) {
      strncpy(error_text, link->response, kVerReplySize - 1);
      text = error_text;
    }
    const bool answered = rc > 0 || rc == kLoggerErrorReply;

    if (link->retries == 1 && rc == kLoggerNoAnswer) {
      result = kLoggerNoAnswer;
    } else if (answered && text[0] != '\0' && text[1] == '>') {
      result = kLoggerEcho;
    } else if (answered && (strcmp(text, "\r") == 0 || strcmp(text, ">") == 0)) {
      result = kLoggerBadReply;
      tries = static_cast<uint32_t>(-1);  // a prompt starts the count again
      if (++prompts >= kMaxPrompts) break;
      WaitMs(wait);
    } else if (answered && strchr(text, '.') != nullptr) {
      result = TakeVersionReply(link, text, MsTick() - start);
      if (result == 1) break;
      WaitMs(kVerRetryPauseMs);
    } else if (answered && strchr(text, '+') != nullptr &&
               reply::SkipCarriageReturns(text)[0] == '+' &&
               strlen(reply::SkipCarriageReturns(text)) >= 4) {
      result = kLoggerModemAnswer;
      done = true;
    } else if (answered && strchr(text, '$') != nullptr) {
      result = kLoggerLoaderAnswer;
      if (loader_seen) break;
      loader_seen = true;
      WaitMs(kLoaderPauseMs);
    } else if (rc == kLoggerErrorReply) {
      if (error_seen) {
        result = TakeOldLogger(link, no_show, MsTick() - start);
        break;
      }
      error_seen = true;
      result = kLoggerBadReply;
      WaitMs(kVerRetryPauseMs);
    } else if (rc > 0) {
      result = kLoggerBadReply;
      LogMessage(link->log, kLogProgress, LinkTag(link),
                 "VerCommand couldn't decipher \"%s\" (%d ms)", text, r.Ms());
    } else if (rc == kLoggerNoAnswer) {
      result = kLoggerNoAnswer;
      break;
    } else {
      result = rc;
    }
  }
  if (result < 0) {
    LogMessage(link->log, kLogError, LinkTag(link), "VerCommand failed with error %d (%d ms)",
               result, static_cast<int>(MsTick() - start));
    ForgetIdentity(link);
  }
  return result;
}

int32_t ParseShowCommand(DeviceLink* link, char* name) {
  LoggerSettings& s = link->settings;
  if (s.device_kind != kLoggerKindLagan || s.new_firmware) {
    LogMessage(link->log, kLogError, LinkTag(link),
               "ParseShowCommand doesn't work with devices running \"new\" firmware.");
    return kLoggerNotApplicable;
  }
  Reply<kShowReplySize> r;
  const int32_t rc = r.Exchange(link, "show\r", '>', 1500);
  int errors = 0;
  if (rc > 0) {
    if (const char* id = reply::AfterLabel(r.text, "ID:", 4)) {
      const std::string_view word = reply::ReadWord(id, 8);
      if (name != nullptr) {
        memcpy(name, word.data(), word.size());
        name[word.size()] = '\0';
        return word.empty() ? kLoggerBadReply : 1;
      }
      if (word.empty()) errors |= 1;
      s.device_name.Assign(word);
    } else {
      // A reply without the device's name is not a show reply.
      if (name != nullptr) {
        name[0] = '\0';
        return kLoggerBadReply;
      }
      errors |= 1;
    }
    if (const char* version = reply::AfterLabel(r.text, "Version:", 9)) {
      const std::string_view word = reply::ReadWord(version, 20);
      s.firmware_version_text.Assign(word);
      int32_t major = 0, minor = 0, patch = 0;
      if (word.empty() ||
          ReadVersionNumber(s.firmware_version_text.c_str(), &major, &minor, &patch) < 3) {
        errors |= 2;
      } else {
        s.firmware_version = ComposeVersion(major, minor, patch);
        if (s.firmware_version < kOldestShowVersion) {
          LogMessage(link->log, kLogError, LinkTag(link),
                     "ParseShowCommand found firmware %d, too old to be updated (%d ms)",
                     static_cast<int>(s.firmware_version), r.Ms());
          return kLoggerTooOld;
        }
      }
    } else {
      errors |= 2;  // nor is one without the firmware version
    }
    if (const char* radio = reply::AfterLabel(r.text, "Radio:", 7)) {
      if (!reply::ReadInt(radio, &s.radio_mode)) errors |= 4;
    }
    if (const char* wake = reply::AfterLabel(r.text, "Wake:", 6)) {
      if (!reply::ReadInt(wake, &s.measurement_interval)) errors |= 8;
    }
    if (const char* resets = reply::AfterLabel(r.text, "Resets:", 8)) {
      if (!reply::ReadInt(resets, &link->reset_count)) errors |= 16;
    }
  } else if (name != nullptr) {
    name[0] = '\0';
  }
  s.serial_number.Clear();
  if (rc < 0 || errors != 0) {
    LogMessage(link->log, kLogError, LinkTag(link),
               "ParseShowCommand failed with errors %d and %d (%d ms)", rc, errors, r.Ms());
    s.device_name.Clear();
    s.firmware_version_text.Clear();
    s.firmware_version = -1;
    s.measurement_interval = -1;
    s.radio_mode = 0;
    return kLoggerBadReply;
  }
  LogMessage(link->log, kLogError, LinkTag(link), "ParseShowCommand found %s:%s:%d:%d:%d (%d ms)",
             s.device_name.c_str(), s.firmware_version_text.c_str(), static_cast<int>(s.radio_mode),
             static_cast<int>(s.measurement_interval), static_cast<int>(link->reset_count), r.Ms());
  return 1;
}

}  // namespace halv
