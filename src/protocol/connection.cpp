// Connecting to an instrument, identifying it, logging in and leaving it.
#include <cstdio>
#include <cstring>

#include "logger/settings_transfer.h"
#include "protocol/instrument.h"
#include "protocol/login_code.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kLoginCharacterPauseMs = 250;
constexpr uint32_t kLoginSettleMs = 1000;
constexpr int kLoginTries = 3;

// What a connect attempt gave, in the terms of this layer.
int32_t JudgeConnect(DiagLog* log, int32_t result, const DeviceInfo& info) {
  if (result > 0) {
    if (info.supported) return result;
    LogMessage(log, kLogError, kProtocolTag, "DPConnect this firmware version is not supported");
    return kProtocolCannotUpdate;
  }
  switch (result) {
    case kLoggerNothingListening:
      LogMessage(log, kLogNote, kProtocolTag, "DPConnect couldn't connect.");
      return result;
    case kLoggerModemAnswer:
    case kLoggerLoaderAnswer:
      LogMessage(log, kLogNote, kProtocolTag, "DPConnect found the HalvBSL listening (%d)", result);
      return result;
    case kLoggerBadReply:
    case kLoggerEcho:
      LogMessage(log, kLogError, kProtocolTag, "DPConnect this device must not be supported");
      return kProtocolCannotUpdate;
    default:
      LogMessage(log, kLogError, kProtocolTag,
                 "DPConnect received error %d trying to connect to device", result);
      return result;
  }
}

}  // namespace

int32_t DPConnect(InstrumentConnection* connection, const char* port_name, uint8_t baud_index,
                  uint32_t serial_retries, DeviceInfo* info) {
  if (connection == nullptr || port_name == nullptr || port_name[0] == '\0' || info == nullptr) {
    return kProtocolMissingArgument;
  }
  DiagLog* log = connection->log;
  DeviceLink* link = connection->link.get();
  ConnectRequest request;
  request.port_name.Assign(port_name);
  request.connection_kind = kConnectionSerial;
  request.baud_index = baud_index;
  LinkOptions options;
  options.keep_port_open = 0;
  options.serial_retries = serial_retries;
  options.radio_retries = 0;
  options.cancel_check = 0;
  options.trace_mode = 0;
  options.extra_reply_wait_ms = 0;
  int32_t result = DeviceLinkOptions(link, &options, 1);
  if (result < 0) {
    LogMessage(log, kLogError, kProtocolTag,
               "DPConnect received error %d trying to configure VADRO_Prototcol", result);
    return result;
  }
  *info = DeviceInfo{};
  result = DeviceConnect(link, &request);
  if (result > 0) {
    LoggerSettings block;
    uint32_t mask = kPresentVersion;
    result = DeviceSettings(link, &block, &mask, 0);
  }
  if (result > 0) result = ParseIdentification(link->settings.firmware_version_text.c_str(), info);
  result = JudgeConnect(log, result, *info);
  if (result < 0) return result;

  LoggerSettings& mine = connection->settings;
  mine.new_firmware = 1;
  mine.device_kind = link->settings.device_kind;
  mine.device_kind_name = link->settings.device_kind_name;
  mine.firmware_version = link->settings.firmware_version;
  mine.firmware_version_text = link->settings.firmware_version_text;
  connection->device_kind = static_cast<uint8_t>(info->kind);
  connection->device = *info;
  LogMessage(log, kLogNote, kProtocolTag, "DPConnect successfully connected to device");
  return result;
}

int32_t DPLogin(InstrumentConnection* connection) {
  if (connection == nullptr) return kProtocolMissingArgument;
  DeviceLink* link = connection->link.get();
  const uint32_t start = MsTick();
  WaitMs(kLoginSettleMs);
  char login[16];
  snprintf(login, sizeof login, "login %s", kLoginArgument);
  char reply[32] = {};
  int32_t result = kLoggerNoAnswer;
  bool accepted = false;
  for (int attempt = 0; attempt < kLoginTries; ++attempt) {
    DSPurge(&link->channel, 1);
    // The device takes a login only at typing speed.
    for (const char* p = login; *p != '\0'; ++p) {
      uint32_t written = 0;
      DSWrite(&link->channel, p, 1, &written);
      WaitMs(kLoginCharacterPauseMs);
    }
    WaitMs(kLoginCharacterPauseMs);
    uint32_t length = sizeof reply;
    uint32_t elapsed = 0;
    result = DeviceCommand(link, "\r\n\r", '>', 6000, reply, &length, &elapsed);
    if (result > 0 && (strstr(reply, "OK") != nullptr || strstr(reply, kLoginDigits) != nullptr)) {
      result = 1;
      accepted = true;
      break;
    }
  }
  const int32_t elapsed = static_cast<int32_t>(MsTick() - start);
  // A device that refused the code still answers the empty line after it with
  // its prompt: without "OK" or the code's digits it is not logged in, and a
  // capture would read none of its settings.
  if (!accepted) {
    LogMessage(connection->log, kLogError, kProtocolTag,
               "DPConnect couldn't log into the device (%d ms): heard \"%s\"", elapsed, reply);
    result = kProtocolLoginFailed;
  } else {
    LogMessage(connection->log, kLogError, kProtocolTag,
               "DPConnect successfully logged into the device (%d ms)", elapsed);
  }
  WaitMs(kLoginSettleMs);
  return result;
}

int32_t DPDisconnect(InstrumentConnection* connection, bool send_logout) {
  if (connection == nullptr) return kProtocolMissingArgument;
  DeviceLink* link = connection->link.get();
  if (connection->device.needs_login && send_logout) {
    char reply[32];
    uint32_t length = sizeof reply;
    uint32_t elapsed = 0;
    DeviceCommand(link, "logout\r", '>', 2000, reply, &length, &elapsed);
  }
  const int32_t result = DisconnectDevice(link, false);
  WaitMs(100);
  return result;
}

}  // namespace halv
