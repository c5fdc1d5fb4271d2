// Link options and the connection to a logger: open the port, set up the
// radio modem when asked, log in.
#include "logger/link_internal.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kAfterOpenMs = 100;
constexpr uint32_t kRadioSetupRetries = 3;

// Connection kinds that exist but that this updater does not serve.
constexpr uint8_t kRefusedKinds[] = {20, 40, 100, 110, 120};

bool Refused(uint8_t kind) {
  for (uint8_t k : kRefusedKinds) {
    if (k == kind) return true;
  }
  return false;
}

// A link that is destroyed while connected leaves the device properly.
int32_t DisconnectOnDestroy(DeviceLink* link) {
  return DisconnectDevice(link, false);
}

void Drop(DeviceLink* link) {
  if (link->options.keep_port_open) return;
  DSClose(&link->channel);
  link->request.connection_kind = kConnectionNone;
}

}  // namespace

int32_t DeviceLinkOptions(DeviceLink* link, LinkOptions* options, int direction) {
  if (options == nullptr) return kLoggerMissingArgument;
  if (direction != 1) {
    *options = link->options;
    return 1;
  }
  LinkOptions taken = *options;
  if (taken.serial_retries > kMaxRetries || taken.radio_retries > kMaxRetries ||
      taken.trace_mode > 3 || taken.extra_reply_wait_ms > kMaxExtraReplyWaitMs) {
    return kLoggerNotApplicable;
  }
  if (taken.serial_retries == 0) taken.serial_retries = kDefaultSerialRetries;
  if (taken.radio_retries == 0) taken.radio_retries = kDefaultRadioRetries;
  link->options = taken;
  link->retries = OnRadio(link) ? taken.radio_retries : taken.serial_retries;
  return 1;
}

int32_t DeviceConnect(DeviceLink* link, const ConnectRequest* request) {
  if (request == nullptr) return kLoggerMissingArgument;
  if (link->response == nullptr) return kLoggerNoMemory;
  link->settings = LoggerSettings{};
  link->reset_count = 0;

  const uint8_t kind = request->connection_kind;
  if (kind == kConnectionNone) return kLoggerNotApplicable;
  if (Refused(kind)) return kLoggerTooOld;
  if (kind != kConnectionSerial && kind != kConnectionRadio) return kLoggerMissingArgument;
  link->retries =
      kind == kConnectionRadio ? link->options.radio_retries : link->options.serial_retries;

  if (link->request.connection_kind == kConnectionNone || link->channel.port == nullptr) {
    const int32_t rc = DSOpen(&link->channel, request->port_name.c_str(), kDefaultBaud);
    if (rc < 0) {
      DSClose(&link->channel);  // a half-configured port is not kept
      return rc;
    }
  }
  link->request = *request;
  if (link->request.baud_index == 0) link->request.baud_index = kDefaultBaudIndex;
  SetLinkDisconnectHook(DisconnectOnDestroy);
  WaitMs(kAfterOpenMs);

  if (kind == kConnectionRadio && request->configure_radio) {
    link->retries = kRadioSetupRetries;
    int32_t channel = static_cast<int32_t>(request->radio_channel);
    int32_t subchannel = static_cast<int32_t>(request->radio_subchannel);
    uint32_t selection = kRadioChannelItem | kRadioSubchannelItem;
    if (RodoConfig(link, &channel, &subchannel, nullptr, 1, &selection) != 1) {
      Drop(link);
      return kLoggerRadioConfigFailed;
    }
    link->retries = link->options.radio_retries;
  }
  ConnectRequest& own = link->request;
  const int32_t rc =
      DeviceLogin(link, &own.login_name, own.login_password.c_str(), &own.baud_index);
  if (rc < 0) Drop(link);
  return rc;
}

}  // namespace halv
