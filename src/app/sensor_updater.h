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

#include "app/instrument_updater.h"
#include "app/update_window.h"
#include "bsl/host_bsl.h"
#include "log/diag_log.h"
#include "protocol/device_kinds.h"

namespace halv {

struct InstrumentConnection;

// The sensor type the digital-sensor build updates until the user picks
// another one (a type letter's code, or a family from 260 to 264).
inline constexpr uint32_t kDefaultSensorType = 93;

class SensorUpdater {
 public:
  SensorUpdater(UpdateWindow* window, DiagLog* log, InstrumentConnection* connection,
                HostBSL* host);
  ~SensorUpdater();
  SensorUpdater(const SensorUpdater&) = delete;
  SensorUpdater& operator=(const SensorUpdater&) = delete;

  // What the window holds: device name (the selected sensor type's name,
  // that of the default type to begin with), port, switches. The updater
  // name stays the window caption.
  UpdateSettings settings;
  // The selected sensor type: written into the sensor after the update and
  // compared with what the sensor reports before it.
  uint32_t sensor_type = kDefaultSensorType;

  // One run: the preparation, the sequence and the finish. A run asked for
  // while one is under way does nothing and returns 0.
  int32_t Run();

  // The quit guard: true when the window may close now; while a run is busy
  // it tells the user why not and the run goes on.
  bool ConfirmQuit();

  // The progress and cancel hook of the erase and upload loops.
  bool ReportLoaderProgress(char letter);

  bool Busy() const { return busy_; }
  UpdateFailure Failure() const { return failure_; }
  const DeviceInfo& Device() const { return device_; }
  uint32_t ElapsedSeconds() const { return elapsed_seconds_; }
  const std::string& SettingsPath() const { return settings_path_; }
  // The user chose to go on although the sensor's settings could not be read.
  bool SettingsNotRetrieved() const { return settings_not_retrieved_; }

 private:
  int32_t UpdateSensor();
  void Prepare();
  void Finish(int32_t result);

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
  int32_t Fail(UpdateFailure failure, int32_t code, const std::string& text, const char* caption);
  void Status(const std::string& text);
  void Advance(int amount);
  std::string Updater() const { return settings.UpdaterName(); }
  const std::string& DeviceName() const { return settings.device_name; }
  const std::string& Port() const { return settings.port_display_text; }

  UpdateWindow* window_;
  DiagLog* log_;
  InstrumentConnection* connection_;
  HostBSL* host_;
  DeviceInfo device_;
  std::string settings_path_;
  float progress_position_ = 0;
  bool busy_ = false;
  bool continue_ = true;
  bool settings_not_retrieved_ = false;
  bool restore_failed_ = false;  // the settings file is then kept
  uint32_t start_tick_ = 0;
  uint32_t elapsed_seconds_ = 0;
  UpdateFailure failure_ = UpdateFailure::kNone;
};

}  // namespace halv
