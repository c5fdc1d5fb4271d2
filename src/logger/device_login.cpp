// Logging into the device, settling the baud rate, and leaving the device.
#include <cstdio>
#include <cstring>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kLoginWaitMs = 1500;
constexpr uint32_t kLoginReplySize = 10;
constexpr uint32_t kBaudWaitMs = 1500;
constexpr uint32_t kBaudReplySize = 32;
constexpr uint32_t kAfterBaudMs = 100;
constexpr uint32_t kLogoutPauseMs = 100;
constexpr uint32_t kLogoutReadSize = 31;
constexpr size_t kLoginNameMax = 8;

// The device's codes for its baud rates.
struct BaudCode {
  uint32_t rate;
  int code;
};
constexpr BaudCode kBaudCodes[] = {
    {9600, 0}, {19200, 1}, {38400, 2}, {57600, 3}, {115200, 4}, {230400, 5}, {460800, 6},
};

// The device's code for a rate, or -1 when it has none.
int BaudCodeOf(uint32_t rate) {
  for (const BaudCode& b : kBaudCodes) {
    if (b.rate == rate) return b.code;
  }
  return -1;
}

int32_t HostTo9600(DeviceLink* link) {
  const int32_t rc = DSHostBaud(&link->channel, kDefaultBaud);
  if (rc < 0) {
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "DeviceLogin: host reports it can't change baud (error %d)", rc);
    return kLoggerNothingListening;
  }
  return 0;
}

void LogCommunicating(DeviceLink* link) {
  LogMessage(link->log, kLogProgress, LinkTag(link),
             "DeviceLogin communicating with a device running %s at %d baud",
             link->settings.firmware_version_text.c_str(), static_cast<int>(link->channel.baud));
}

// Over the radio: query for a name when none is known, log in by name, and
// when nobody answers send the wake sequence and go round once more.
int32_t RadioLogin(DeviceLink* link, FixedText<9>* name, uint8_t* baud_index) {
  int32_t result = kLoggerNoAnswer;
  bool woken = false;
  for (;;) {
    if (name->empty()) {
      char heard[kLoginNameMax + 1] = {};
      result = QueryCommand(link, heard, 1);
      if (result == kLoggerCancelled) return kLoggerCancelled;
      if (result > 0) {
        name->Assign(heard);
      } else if (result != kLoggerNoAnswer && result != kLoggerQueryNoAnswer) {
        break;
      }
    }
    if (!name->empty()) {
      result = LoginCommand(link, name->c_str());
      if (result > 0) {
        link->settings.device_name.Assign(name->view(), kLoginNameMax);
        break;
      }
      if (result != kLoggerNoAnswer) break;
    }
    if (woken) break;
    const int32_t rc = SendWake(link);
    if (rc < 0) return rc;
    woken = true;
  }
  const char* tag = LinkTag(link);
  if (result > 0 && !link->settings.device_name.empty()) {
    *baud_index = kDefaultBaudIndex;
    LogCommunicating(link);
    return 1;
  }
  if (result > 0 || result == kLoggerNoAnswer || result == kLoggerQueryNoAnswer) {
    LogMessage(link->log, kLogProgress, tag, "DeviceLogin: nothing is listening over the radio");
    return kLoggerNothingListening;
  }
  if (result == kLoggerEcho || result == kLoggerRelayActive) {
    LogMessage(link->log, kLogError, tag, "DeviceLogin thinks a relay must be active");
    return kLoggerRelayActive;
  }
  LogMessage(link->log, kLogProgress, tag, "DeviceLogin failed with error %d", result);
  return result;
}

// Over a cable: identify the device, then move both ends to the wanted rate
// when the device can change it.
int32_t SerialLogin(DeviceLink* link, uint8_t* baud_index) {
  const char* tag = LinkTag(link);
  const int32_t rc = VerCommand(link, true);
  if (rc == kLoggerNoAnswer) {
    LogMessage(link->log, kLogProgress, tag,
               "DeviceLogin: nothing is listening over the serial port");
    return kLoggerNothingListening;
  }
  if (rc < 0) {
    LogMessage(link->log, kLogProgress, tag, "DeviceLogin failed with error %d", rc);
    return rc;
  }
  // An index outside the table (or 0, no rate at all) would leave the host at
  // a rate the device never takes: such a request keeps 9600.
  if (*baud_index == 0 || *baud_index >= kBaudTableSize) *baud_index = kDefaultBaudIndex;
  if (link->settings.supported_mask & kSupportsBaud) {
    const uint32_t rate = kBaudTable[*baud_index];
    if (rate == link->channel.baud) {
      *baud_index = kDefaultBaudIndex;
    } else {
      const int32_t set = SetBaudCommand(link, rate);
      if (set < 0) {
        LogMessage(link->log, kLogProgress, tag,
                   "DeviceLogin: device didn't change baud rate (error %d)", set);
        *baud_index = kDefaultBaudIndex;
      } else {
        const int32_t host = DSHostBaud(&link->channel, rate);
        if (host < 0) {
          LogMessage(link->log, kLogError, tag,
                     "DeviceLogin: host reports it can't change baud (error %d)", host);
          return kLoggerNothingListening;
        }
      }
    }
  } else {
    *baud_index = kDefaultBaudIndex;
  }
  LogCommunicating(link);
  return 1;
}

}  // namespace

int32_t LoginCommand(DeviceLink* link, const char* name) {
  const size_t length = name != nullptr ? strnlen(name, kLoginNameMax + 1) : 0;
  if (length > kLoginNameMax) {
    LogMessage(link->log, kLogError, LinkTag(link),
               "LoginCommand: Device name %s is wrong length (%d characters)", name,
               static_cast<int>(strlen(name)));
    return kLoggerNameTooLong;
  }
  char command[24];
  if (length > 0) {
    snprintf(command, sizeof command, "login %s\r", name);
  } else {
    snprintf(command, sizeof command, "login\r");
  }
  Reply<kLoginReplySize> r;
  const int32_t rc = r.Exchange(link, command, '>', kLoginWaitMs);
  if (rc == kLoggerEmptyAnswer) return 1;  // a bare prompt: the device is at its prompt
  if (rc < 0) return rc;
  // The whole reply counts, not just what fitted the short reply buffer.
  return strchr(link->response, '>') != nullptr ? 1 : kLoggerBadReply;
}

int32_t DeviceLogin(DeviceLink* link, FixedText<9>* name, const char* /*password*/,
                    uint8_t* baud_index) {
  if (name == nullptr || baud_index == nullptr) return kLoggerMissingArgument;
  if (link->channel.baud != kDefaultBaud) {
    const int32_t rc = HostTo9600(link);
    if (rc < 0) return rc;
  }
  if (OnRadio(link)) return RadioLogin(link, name, baud_index);
  return SerialLogin(link, baud_index);
}

int32_t SetBaudCommand(DeviceLink* link, uint32_t baud) {
  const char* tag = LinkTag(link);
  if (!link->settings.new_firmware) {
    LogMessage(link->log, kLogProgress, tag, "SetBaudCommand: device (%s) can't change baud rate",
               link->settings.device_name.c_str());
    return kLoggerCannot;
  }
  int code = BaudCodeOf(baud);
  if (code < 0) {
    LogMessage(link->log, kLogProgress, tag, "SetBaudCommand: unsupported baud rate %d, using 9600",
               static_cast<int>(baud));
    code = 0;
  }
  char command[24];
  snprintf(command, sizeof command, "set -baud %d\r", code);
  int32_t result = kLoggerNoAnswer;
  uint32_t elapsed = 0;
  const uint32_t tries = link->retries > 0 ? link->retries : 1;
  for (uint32_t attempt = 0; attempt < tries; ++attempt) {
    Reply<kBaudReplySize> r;
    const int32_t rc = r.Exchange(link, command, 'K', kBaudWaitMs);
    elapsed = r.elapsed_ms;
    if (rc > 0 && reply::Contains(r.text, "OK")) {
      LogMessage(link->log, kLogProgress, tag, "SetBaudCommand set device baud rate to %d (%d ms)",
                 static_cast<int>(baud), r.Ms());
      result = 1;
      break;
    }
    if (rc > 0 && reply::Contains(r.text, "\r>")) {
      LogMessage(link->log, kLogProgress, tag,
                 "SetBaudCommand failed (heard prompt): trying again (%d ms)", r.Ms());
      result = kLoggerBadReply;
      continue;
    }
    if (rc > 0) {
      LogMessage(link->log, kLogProgress, tag, "SetBaudCommand failed: heard: %s (%d ms)", r.text,
                 r.Ms());
      result = kLoggerBadReply;
      break;
    }
    if (rc == kLoggerNoAnswer) {
      // A device already at 9600 may simply not answer the change to it.
      if (baud == kDefaultBaud) {
        result = 1;
        break;
      }
      result = kLoggerNoAnswer;
      if (link->channel.baud == kDefaultBaud) WaitMs(kBaudWaitMs);
      continue;
    }
    result = rc;
  }
  if (result < 0) {
    LogMessage(link->log, kLogError, tag, "SetBaudCommand failed with error %d (%d ms)", result,
               static_cast<int>(elapsed));
  }
  WaitMs(kAfterBaudMs);
  return result;
}

int32_t DisconnectDevice(DeviceLink* link, bool skip_logout) {
  const uint8_t kind = link->request.connection_kind;
  if (kind == kConnectionNone) return 0;
  SerialChannel* channel = &link->channel;
  const char* tag = LinkTag(link);
  int32_t result = 1;
  if (kind == kConnectionSerial) {
    if (channel->baud != kDefaultBaud) SetBaudCommand(link, kDefaultBaud);
  } else {
    // A radio device lets go when a login right after the logout goes
    // unanswered.
    result = kLoggerQueryNoAnswer;
    char login[32];
    snprintf(login, sizeof login, "login %s\r", link->settings.device_name.c_str());
    const uint32_t tries = skip_logout ? 0 : link->retries;
    for (uint32_t attempt = 0; attempt < tries; ++attempt) {
      DSPurge(channel, 1);
      link->response[0] = '\0';
      TraceSent(link, "logout\r");
      DSWriteText(channel, "logout\r");
      WaitMs(kLogoutPauseMs);
      TraceSent(link, login);
      DSWriteText(channel, login);
      char answer[kLogoutReadSize + 1] = {};
      uint32_t count = 0;
      const int32_t rc = DSRead(channel, answer, kLogoutReadSize, &count);
      if (rc >= 0 && count == 0) {
        result = 1;
        break;
      }
      TraceReceived(link, answer);
      LogMessage(link->log, kLogProgress, tag,
                 "DisconnectDevice: Device didn't disconnect, retrying");
    }
  }
  link->settings = LoggerSettings{};
  link->reset_count = 0;
  if (link->options.keep_port_open) {
    const int32_t rc = DSHostBaud(channel, kDefaultBaud);
    if (rc < 0) {
      DSClose(channel);
      link->request.connection_kind = kConnectionNone;
      LogMessage(link->log, kLogError, tag,
                 "DisconnectDevice: Error setting host baud rate; can't keep port open (error %d)",
                 rc);
    }
  } else {
    DSClose(channel);
    link->request.connection_kind = kConnectionNone;
  }
  if (result > 0) {
    LogMessage(link->log, kLogProgress, tag, "DisconnectDevice successful");
  } else {
    LogMessage(link->log, kLogError, tag,
               "DisconnectDevice: radio device did not let go (error %d)", result);
  }
  return result;
}

}  // namespace halv
