// The digital-sensor update from end to end: the sensor hangs on a Handix
// reader (or a VADRO Comm Device) that passes bytes through. Check the
// reader and its battery, save the sensor's identity and calibration, start
// its loader with an SDI-12 command, program it through the reader's open
// port, check the new firmware and write calibration, address and sensor
// type back. Both front ends of the digital-sensor build drive it through the
// UpdateWindow interface, as they drive InstrumentUpdater in the other build.
#pragma once

#include <cstdint>
#include <string>

#include "app/update_run.h"
#include "app/update_window.h"
#include "bsl/host_bsl.h"
#include "log/diag_log.h"
#include "protocol/device_kinds.h"

namespace halv {

// The sensor type the digital-sensor build updates until the user picks
// another one (a type letter's code, or a family from 260 to 264).
inline constexpr uint32_t kDefaultSensorType = 93;

class SensorUpdater : public UpdateRun {
 public:
  SensorUpdater(UpdateWindow* window, DiagLog* log, InstrumentConnection* connection,
                HostBSL* host);

  // The selected sensor type: written into the sensor after the update and
  // compared with what the sensor reports before it. The device name in the
  // settings is that of the default type to begin with; the updater name
  // stays the window caption.
  uint32_t sensor_type = kDefaultSensorType;

  // The user chose to go on although the sensor's settings could not be read.
  bool SettingsNotRetrieved() const { return settings_not_retrieved_; }

 private:
  int32_t Sequence() override;
  void PrepareProduct() override;
  void ReleaseLoader() override;

  // The steps of the sequence; each returns 1 to go on or the run's result.
  int32_t Connect();
  int32_t ClosePathLeftOpen();
  int32_t CheckReader();
  int32_t CheckBattery();
  int32_t HandOff();
  bool ProbeLoader();  // true: the sensor still runs its firmware
  int32_t SaveSettings();
  int32_t CheckSensor();
  int32_t InvokeLoader();
  int32_t Program();
  int32_t CheckNewFirmware();
  void RestoreSettings();
  void RestoreSensorType();

  void WriteReaderByte(char byte);

  bool settings_not_retrieved_ = false;
};

}  // namespace halv
