#include "app/update_run.h"

#include <cstdio>

#include "app/app_paths.h"
#include "app/compat_checks.h"
#include "app/error_report.h"
#include "app/messages.h"
#include "app/port_hints.h"
#include "bsl/flash.h"
#include "bsl/loader_progress.h"
#include "protocol/instrument.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr const char* kHostTag = "HalvBSL Host";

// The run the loader host's progress reports go to while it programs.
UpdateRun* g_reporting = nullptr;

}  // namespace

UpdateRun::UpdateRun(UpdateWindow* window, DiagLog* log, InstrumentConnection* connection,
                     HostBSL* host)
    : window_(window), log_(log), connection_(connection), host_(host) {}

UpdateRun::~UpdateRun() {
  if (g_reporting == this) g_reporting = nullptr;
}

void UpdateRun::TakeLoaderProgress() {
  g_reporting = this;
}

int UpdateRun::ReportToCurrentRun(uint32_t, uint32_t, int, char letter) {
  return g_reporting != nullptr && g_reporting->ReportLoaderProgress(letter) ? 1 : 0;
}

void UpdateRun::Status(const std::string& text) {
  window_->ShowStatus(text);
  window_->ProcessEvents();
}

void UpdateRun::Advance(int amount) {
  window_->SetProgress(window_->Progress() + amount);
}

int32_t UpdateRun::Fail(UpdateFailure failure, int32_t code, const std::string& text,
                        const char* caption) {
  failure_ = failure;
  if (!text.empty()) ShowErrorMessage(window_, log_, text, caption, kMessageError);
  return code;
}

int32_t UpdateRun::EraseAndProgram(uint32_t wait_before_upload_ms) {
  Advance(2);
  Status(msg::kErasing);
  const bool extended = device_.extended_addresses != 0;
  TakeLoaderProgress();
  ScopedLoaderProgress progress(ReportToCurrentRun);
  int32_t rc = BSLEraseINFO(host_, device_.info_start, device_.info_segment_count,
                            device_.info_segment_size, extended);
  if (rc < 0) {
    return Fail(UpdateFailure::kFlash, rc, msg::DeviceError(Updater(), DeviceName(), rc),
                msg::kInfoEraseError);
  }
  rc = BSLEraseFlash(host_, device_.flash_start, device_.flash_end, extended);
  if (rc < 0) {
    return Fail(UpdateFailure::kFlash, rc, msg::DeviceError(Updater(), DeviceName(), rc),
                msg::kFirmwareEraseError);
  }
  progress_position_ = 21.0f;
  window_->SetProgress(21);
  Status(msg::kUploading);
  if (wait_before_upload_ms != 0) WaitMs(wait_before_upload_ms);
  rc = BSLSendFirmware(host_, extended);
  if (rc < 0) {
    return Fail(UpdateFailure::kFlash, rc, msg::DeviceError(Updater(), DeviceName(), rc),
                msg::kFirmwareUploadError);
  }
  Status(msg::Restarting(DeviceName()));
  rc = BSLSendVectors(host_);
  if (rc < 0) {
    return Fail(UpdateFailure::kFlash, rc, msg::DeviceError(Updater(), DeviceName(), rc),
                msg::kFirmwareUploadError);
  }
  return 1;
}

std::string UpdateRun::KeepEarlierSettings() {
  const std::string kept = KeepEarlierSettingsFile(settings_path_);
  if (!kept.empty()) {
    LogMessage(log_, kLogNote, kHostTag, "Kept the settings file of an earlier update as %s",
               kept.c_str());
  }
  return kept;
}

std::string UpdateRun::PortErrorText(int32_t rc) const {
  switch (rc) {
    case kPortBusy:
      return msg::PortInUse(Port());
    case kPortNoDevice:
      return msg::PortUnavailable(Port());
    case kPortNoPermission:
      return msg::PortNoPermission(Port());
    default:
      return std::string();
  }
}

int32_t UpdateRun::FailToConnect(const std::string& text) {
  return Fail(UpdateFailure::kConnection, kUpdateConnectFailed,
              text + ConnectionHint(settings.port_name, log_), msg::kConnectionError);
}

int32_t UpdateRun::Run() {
  if (busy_) return 0;  // a run never starts inside another
  Prepare();
  const int32_t result = Sequence();
  Finish(result);
  return result;
}

void UpdateRun::Prepare() {
  busy_ = true;
  continue_ = true;
  restore_failed_ = false;
  failure_ = UpdateFailure::kNone;
  elapsed_seconds_ = 0;
  window_->SetProgress(0);
  window_->SetBusyCursor(true);
  window_->SetConnectLabel(msg::DoNotDisconnect(DeviceName()));
  settings_path_ = SettingsFilePath(settings.app_data_folder, DeviceName());
  ClearCapturedSettings(connection_);
  device_ = DeviceInfo{};
  PrepareProduct();
  Status(msg::Connecting(DeviceName()));
  start_tick_ = MsTick();
}

void UpdateRun::Finish(int32_t result) {
  if (result < 0) {
    window_->HideStatus();
    window_->SetProgress(0);
    ReleaseLoader();
    DPDisconnect(connection_, false);
    window_->SetConnectLabel(msg::ConnectDevice(DeviceName()));
  } else {
    elapsed_seconds_ = (MsTick() - start_tick_) / 1000;
    if (device_.post_update_notice) ShowPostUpdateNotice(window_, log_, device_.kind);
    window_->SetProgress(100);
    window_->ShowStatus(msg::Success(elapsed_seconds_));
    window_->InformationBeep();
    window_->ProcessEvents();
    LogMessage(log_, kLogError, kHostTag, "Finished updating device in %d seconds",
               static_cast<int>(elapsed_seconds_));
    // The file is all that is left of settings the device did not take
    // back: it stays for the next run to restore from.
    if (restore_failed_) {
      LogMessage(log_, kLogError, kHostTag, "Kept the settings file %s: settings not restored",
                 settings_path_.c_str());
    } else {
      remove(settings_path_.c_str());
    }
    window_->SetConnectLabel(msg::MayDisconnect(DeviceName()));
  }
  window_->SetBusyCursor(false);
  busy_ = false;
}

bool UpdateRun::ConfirmQuit() {
  if (busy_ && window_->ShowNotice(msg::QuitGuard(Updater(), DeviceName()), msg::kDontQuitNow)) {
    return false;
  }
  continue_ = false;
  return true;
}

bool UpdateRun::ReportLoaderProgress(char letter) {
  if (letter == 'X') {
    Advance(1);
  } else if (letter == 'W') {
    progress_position_ += settings.progress_step;
    window_->SetProgress(static_cast<int>(progress_position_ + 0.5f));
  }
  window_->ProcessEvents();
  return continue_;
}

}  // namespace halv
