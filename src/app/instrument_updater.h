// The instrument update from end to end: connect, check, save the settings,
// reprogram through the loader, restart, check the new firmware and write the
// settings back. Both front ends drive it through the UpdateWindow interface.
#pragma once

#include <cstdint>

#include "app/update_window.h"
#include "bsl/host_bsl.h"
#include "log/diag_log.h"
#include "protocol/device_kinds.h"

namespace halv {

struct InstrumentConnection;

// Result codes of the sequence beyond those passed up from the layers.
enum UpdateResult : int32_t {
  kUpdateConnectFailed = -20,
  kUpdateCancelled = -40,
  kUpdateLoaderFailed = -110,
  kUpdateNotSupported = -120,
  kUpdateWrongDevice = -121,
  kUpdateBatteryLow = -130,
};

// Which step a failed run stopped at, for a front end that reports classes of
// failure (the command line's exit status).
enum class UpdateFailure {
  kNone,
  kConnection,
  kWrongDevice,
  kBattery,
  kCancelled,
  kSettings,
  kLoader,
  kFlash,
  kFirmwareCheck,
  kDataErase,
};

class InstrumentUpdater {
 public:
  InstrumentUpdater(UpdateWindow* window, DiagLog* log, InstrumentConnection* connection,
                    HostBSL* host);
  ~InstrumentUpdater();
  InstrumentUpdater(const InstrumentUpdater&) = delete;
  InstrumentUpdater& operator=(const InstrumentUpdater&) = delete;

  // What the window holds: device name, port, switches and menu options.
  UpdateSettings settings;

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

 private:
  int32_t UpdateInstrument();
  void Prepare();
  void Finish(int32_t result);

  // The steps of the sequence; each returns 1 to go on or the run's result.
  int32_t Connect(bool* loader_listening);
  int32_t CheckDevice();
  int32_t CheckBattery();
  int32_t SaveSettings();
  int32_t Program();
  int32_t Reconnect();
  int32_t CheckNewFirmware();
  void RestoreSettings();
  int32_t EraseData();

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
  // A restore that failed leaves the captured settings only in the file.
  bool restore_failed_ = false;
  uint32_t start_tick_ = 0;
  uint32_t elapsed_seconds_ = 0;
  UpdateFailure failure_ = UpdateFailure::kNone;
};

}  // namespace halv
