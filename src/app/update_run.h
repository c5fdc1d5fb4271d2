// What every update run shares, whichever product it updates: the window it
// reports to, the preparation before the sequence and the finish after it,
// the quit guard and the loader's progress reports. InstrumentUpdater and
// SensorUpdater add their sequences.
#pragma once

#include <cstdint>
#include <string>

#include "app/update_window.h"
#include "bsl/host_bsl.h"
#include "log/diag_log.h"
#include "protocol/device_kinds.h"

namespace halv {

struct InstrumentConnection;

// Result codes of the sequences beyond those passed up from the layers.
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

class UpdateRun {
 public:
  UpdateRun(UpdateWindow* window, DiagLog* log, InstrumentConnection* connection, HostBSL* host);
  virtual ~UpdateRun();
  UpdateRun(const UpdateRun&) = delete;
  UpdateRun& operator=(const UpdateRun&) = delete;

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

 protected:
  // The product's sequence, between the preparation and the finish.
  virtual int32_t Sequence() = 0;
  // What the product prepares beyond the shared preparation.
  virtual void PrepareProduct() {}
  // A failed run lets go of the loader (and the port it may have borrowed)
  // before the connection is closed.
  virtual void ReleaseLoader() = 0;

  // Sends the loader host's progress reports to this run while it programs
  // (with a ScopedLoaderProgress on ReportToCurrentRun).
  void TakeLoaderProgress();
  static int ReportToCurrentRun(uint32_t total, uint32_t done, int phase, char letter);

  // Erases INFO memory and the flash, uploads the image and sends the
  // vectors, reporting progress; waits wait_before_upload_ms between erase
  // and upload. 1, or the run's result when a step failed.
  int32_t EraseAndProgram(uint32_t wait_before_upload_ms);
  // A settings file left by an update that did not finish may hold settings
  // the device has lost since: it is kept under a time-stamped name before a
  // capture writes a new one. The kept file's path, or empty.
  std::string KeepEarlierSettings();

  int32_t Fail(UpdateFailure failure, int32_t code, const std::string& text, const char* caption);
  // The message of a port that could not be opened (in use, gone, not
  // allowed); empty for any other connection failure.
  std::string PortErrorText(int32_t rc) const;
  // Shows a connection failure, with advice where another program may be
  // disturbing the port, and gives the run's result.
  int32_t FailToConnect(const std::string& text);
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
  bool continue_ = true;
  // A restore that failed leaves the captured settings only in the file,
  // which the finish then keeps.
  bool restore_failed_ = false;
  UpdateFailure failure_ = UpdateFailure::kNone;

 private:
  void Prepare();
  void Finish(int32_t result);

  bool busy_ = false;
  uint32_t start_tick_ = 0;
  uint32_t elapsed_seconds_ = 0;
};

}  // namespace halv
