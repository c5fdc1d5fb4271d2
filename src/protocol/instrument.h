// The instrument connection: the updater's side of an instrument's running
// firmware before and after the loader does its work. Connecting and
// identifying, logging in and out, single values and setting commands, and
// the checks and maintenance around an update.
#pragma once

#include <cstdint>
#include <memory>

#include "log/diag_log.h"
#include "protocol/captured_settings.h"
#include "protocol/device_kinds.h"
#include "sdi12/sdi_sensor.h"
#include "serial/device_link.h"

namespace halv {

struct InstrumentConnection {
  explicit InstrumentConnection(DiagLog* log);
  ~InstrumentConnection();
  InstrumentConnection(const InstrumentConnection&) = delete;
  InstrumentConnection& operator=(const InstrumentConnection&) = delete;

  std::unique_ptr<DeviceLink> link;  // owned; its port is closed until DPConnect
  std::unique_ptr<SDISensor> sdi;    // owned; reaches a digital sensor through the link
  // Identity and, for loggers, the settings; the present mask holds the
  // flags of the last capture.
  LoggerSettings settings;
  CapturedSettings captured;
  uint8_t device_kind = 0;
  DeviceInfo device;            // the connected device's row, as DPConnect found it
  uint8_t settings_saved = 0;   // a capture is held in memory
  RecordList user_records;      // type 2
  RecordList equation_records;  // type 1
  DiagLog* log = nullptr;
  uint32_t saved_flags = 0;
};

// Forgets a capture held in memory, so that the next restore reads the
// settings file; done before every update.
void ClearCapturedSettings(InstrumentConnection* connection);
DeviceLink* ConnectionLink(InstrumentConnection* connection);
// The adc value of the last capture (empty when none was read).
const char* CapturedAdc(const InstrumentConnection* connection);

// Result codes of the instrument protocol beyond those the logger link passes up.
enum ProtocolResult : int32_t {
  kProtocolRefused = -1,
  kProtocolMissingArgument = -10,
  kProtocolNotForDevice = -11,
  kProtocolBadSerialNumber = -12,
  kProtocolNotForKind = -13,
  kProtocolNothingListening = -20,
  kProtocolLoginFailed = -25,
  kProtocolBadReply = -30,
  kProtocolPartlyDone = -35,
  kProtocolNotInitialised = -36,
  kProtocolNoMemory = -60,
  kProtocolBrokenDataFlash = -65,
  kProtocolFileNotFound = -102,
  kProtocolAccessDenied = -105,
  kProtocolBadHandle = -106,
  kProtocolCannotUpdate = -120,
};

// Connects at the given baud index and identifies the device against the
// device kind table; `info` receives its row.
int32_t DPConnect(InstrumentConnection* connection, const char* port_name, uint8_t baud_index,
                  uint32_t serial_retries, DeviceInfo* info);
int32_t DPLogin(InstrumentConnection* connection);
int32_t DPDisconnect(InstrumentConnection* connection, bool send_logout);

// One value: the reply's first line. The destination holds capacity + 1 bytes.
int32_t GetValueString(InstrumentConnection* connection, const char* command, uint32_t wait_ms,
                       char* destination, size_t capacity);
int32_t GetValueLong(InstrumentConnection* connection, const char* command, uint32_t wait_ms,
                     int32_t* value);
// 1 when the reply holds "OK", else the last exchange's result.
int32_t DPSetCommand(InstrumentConnection* connection, const char* command);

int32_t DPCheckBattery(InstrumentConnection* connection, int32_t* percent);
int32_t DPCheckFirmware(InstrumentConnection* connection, uint8_t initialise);
int32_t DPEraseData(InstrumentConnection* connection);
int32_t DPSetTime(InstrumentConnection* connection);
int32_t DPSaveInfo(InstrumentConnection* connection, const char* path);
// new_serial_number may be null: the device keeps its own.
int32_t DPRestoreInfo(InstrumentConnection* connection, const char* path,
                      const char* new_serial_number);

}  // namespace halv
