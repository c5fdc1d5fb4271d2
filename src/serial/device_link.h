// The device link record: a serial channel with everything the logger link
// and the instrument protocol keep about the device at its other end.
#pragma once

#include <cstdint>

#include "serial/serial_channel.h"

namespace halv {

constexpr uint32_t kResponseBufferSize = 2049;

struct LinkOptions {
  uint8_t keep_port_open = 0;  // disconnect leaves the port open at 9600 baud
  uint32_t serial_retries = 3;
  uint32_t radio_retries = 5;
  uint8_t cancel_check = 0;  // long operations call the progress-and-cancel hook
  uint8_t trace_mode = 0;    // 1 received text, 2 sent text, 3 both
  uint32_t extra_reply_wait_ms = 0;
};

constexpr uint32_t kDefaultSerialRetries = 3;
constexpr uint32_t kDefaultRadioRetries = 5;
constexpr uint32_t kMaxRetries = 12;
constexpr uint32_t kMaxExtraReplyWaitMs = 30000;

constexpr int kSensorPorts = 5;

// A logger's settings, copied whole between the record and the caller.
struct LoggerSettings {
  uint32_t present_mask = 0;
  uint32_t supported_mask = 0;
  uint8_t device_kind = 0;
  FixedText<31> device_kind_name;
  uint8_t new_firmware = 0;
  FixedText<9> device_id;
  FixedText<18> device_name;
  FixedText<16> serial_number;
  FixedText<23> firmware_version_text;
  int32_t firmware_version = 0;
  uint32_t trait = 0;
  FixedText<20> build;
  int32_t measurement_interval = -1;
  uint8_t port_sensor_types[kSensorPorts] = {};
  uint8_t port_depths[kSensorPorts] = {};
  int32_t padc = 0;
  FixedText<32> site_name;
  double latitude = 0;
  double longitude = 0;
  int32_t time_zone = 0;
  uint8_t adc30_calibration[2][kSensorPorts] = {};
  uint8_t adc15_calibration[2][kSensorPorts] = {};
  int32_t data_parameter = 0;
  int32_t report_mode = 0;
  int32_t radio_mode = 0;
  int32_t radio_channel = 0;
  int32_t radio_subchannel = 0;
  FixedText<9> radio_version;
  FixedText<36> apn;
  FixedText<36> apn_user_name;
  FixedText<36> apn_password;
  FixedText<33> authorisation_key;
  FixedText<66> remote_host_name;
  int32_t ip_port = 0;
};

// Connection kinds of a connect request.
enum ConnectionKind : uint8_t {
  kConnectionNone = 0,
  kConnectionSerial = 10,
  kConnectionRadio = 30,
};

struct ConnectRequest {
  FixedText<13> port_name;
  uint8_t connection_kind = kConnectionNone;
  uint8_t baud_index = kDefaultBaudIndex;
  FixedText<9> login_name;
  FixedText<24> login_password;
  uint32_t radio_channel = 0;
  uint32_t radio_subchannel = 0;
  uint8_t configure_radio = 0;
};

struct DeviceLink {
  explicit DeviceLink(DiagLog* log);
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  SerialChannel channel;
  int32_t construction_status = 1;  // -60 when a buffer was not allocated
  LinkOptions options;
  LoggerSettings settings;
  ConnectRequest request;
  uint32_t retries = kDefaultSerialRetries;
  int32_t reset_count = 0;
  char* response = nullptr;                // kResponseBufferSize bytes
  char* receive_buffer_storage = nullptr;  // what channel.receive_buffer points at
  DiagLog* log = nullptr;
};

// What destroying a link does while a connection is up: the logger link
// installs its disconnect here; until then the port is simply closed.
using LinkDisconnectHook = int32_t (*)(DeviceLink* link);
void SetLinkDisconnectHook(LinkDisconnectHook hook);

}  // namespace halv
