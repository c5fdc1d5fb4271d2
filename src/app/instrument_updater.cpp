#include "app/instrument_updater.h"

#include <cstdio>
#include <cstring>

#include "app/app_paths.h"
#include "app/compat_checks.h"
#include "app/error_report.h"
#include "app/messages.h"
#include "logger/logger_link.h"
#include "protocol/instrument.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint8_t kFirstBaudIndex = 2;  // 9600 baud
constexpr uint32_t kConnectRetries = 3;
constexpr uint32_t kLoaderRetries = 3;
constexpr int kReconnectAttempts = 3;
constexpr uint32_t kReconnectPauseMs = 1500;
constexpr int32_t kLowestBattery = 10;
constexpr uint32_t kLoaderListeningVersion = 999;
constexpr const char* kCalibratedAdc = "50.98";

}  // namespace

InstrumentUpdater::InstrumentUpdater(UpdateWindow* window, DiagLog* log,
                                     InstrumentConnection* connection, HostBSL* host)
    : UpdateRun(window, log, connection, host) {}

void InstrumentUpdater::ReleaseLoader() {
  BSLDisconnect(host_);
}

int32_t InstrumentUpdater::Connect(bool* loader_listening) {
  const int32_t rc = DPConnect(connection_, settings.port_name.c_str(), kFirstBaudIndex,
                               kConnectRetries, &device_);
  *loader_listening = rc == kBslAlreadyActive || rc == kBslWaitingForHost;
  if (rc >= 0 || *loader_listening) return 1;
  return FailToConnect(ConnectionFailureText(rc));
}

std::string InstrumentUpdater::ConnectionFailureText(int32_t rc) const {
  const std::string port_error = PortErrorText(rc);
  if (!port_error.empty()) return port_error;
  switch (rc) {
    case kLoggerNothingListening:
    case kLoggerNoAnswer:
      return msg::UnableToConnect(Updater(), DeviceName(), Port());
    case kUpdateNotSupported:
      return device_.firmware_version != 0 && device_.kind != 0
                 ? msg::DeviceNotSupported(Updater(), device_.kind_name.c_str(),
                                           device_.firmware_version)
                 : msg::UnknownDevice(Updater(), DeviceName(), Port());
    case -25:
      return msg::UnableToLogIn(Updater(), DeviceName(), Port());
    default:
      return msg::UnableToConnectError(Updater(), DeviceName(), Port(), rc);
  }
}

int32_t InstrumentUpdater::CheckDevice() {
  if (device_.kind != host_->image_kind) {
    std::string text = msg::WrongDevice(Updater(), DeviceName(), device_.kind_name.c_str());
    if (!settings.factory_mode) {
      return Fail(UpdateFailure::kWrongDevice, kUpdateWrongDevice, text, msg::kWrongDevice);
    }
    if (!window_->AskOkCancel(text + msg::FactoryOverride(), msg::kWrongDevice)) {
      return Fail(UpdateFailure::kCancelled, kUpdateWrongDevice, "", "");
    }
  }
  if (!device_.supported) {
    return Fail(UpdateFailure::kWrongDevice, kUpdateNotSupported, msg::FirmwareTooOld(DeviceName()),
                msg::kFirmwareTooOld);
  }
  if (device_.firmware_version > settings.updater_firmware_version && !settings.factory_mode &&
      !window_->AskOkCancel(msg::NewerFirmware(DeviceName()), msg::kNewerFirmware)) {
    return Fail(UpdateFailure::kCancelled, kUpdateCancelled, "", "");
  }
  auto ask_revision = [this](std::string* reply) {
    char text[32] = {};
    uint32_t length = sizeof text;
    uint32_t elapsed = 0;
    const int32_t rc = DeviceCommand(ConnectionLink(connection_), "get -hver\r", '>', 1500, text,
                                     &length, &elapsed);
    if (rc < 1) return false;
    reply->assign(text, length);
    return true;
  };
  if (!HardwareRevisionCheck(window_, log_, settings, kHardwareRevisionRule, ask_revision) ||
      !FirmwareVersionCheck(window_, log_, settings, device_)) {
    return Fail(UpdateFailure::kWrongDevice, kUpdateNotSupported, "", "");
  }
  return 1;
}

int32_t InstrumentUpdater::CheckBattery() {
  if (!device_.check_battery) return 1;
  Status(msg::kCheckingBattery);
  int32_t percent = -1;
  const int32_t rc = DPCheckBattery(connection_, &percent);
  if (rc > 0 && percent < kLowestBattery) {
    return Fail(UpdateFailure::kBattery, kUpdateBatteryLow, msg::BatteryTooLow(),
                msg::kBatteriesTooLow);
  }
  return 1;
}

int32_t InstrumentUpdater::SaveSettings() {
  if (!device_.keeps_settings) return 1;
  Status(msg::SavingSettings(DeviceName()));
  if (device_.needs_login) {
    const int32_t rc = DPLogin(connection_);
    if (rc < 0) {
      return Fail(UpdateFailure::kSettings, rc, msg::SettingsNotRetrieved(Updater(), DeviceName()),
                  msg::kLoginError);
    }
  }
  KeepEarlierSettings();
  const int32_t rc = DPSaveInfo(connection_, settings_path_.c_str());
  if (rc < 0 && rc != -35) {
    return Fail(UpdateFailure::kSettings, rc, msg::SettingsNotRetrieved(Updater(), DeviceName()),
                msg::kSettingsError);
  }
  return 1;
}

int32_t InstrumentUpdater::Program() {
  window_->SetProgress(6);
  Status(msg::kStartingLoader);
  int32_t rc =
      BSLConnect(host_, settings.port_name.c_str(), device_.loader_baud, true, kLoaderRetries);
  if (rc == kBslNoLoader) {
    return Fail(UpdateFailure::kLoader, rc, msg::NoWorkingLoader(DeviceName()),
                msg::kFirmwareLoaderError);
  }
  if (rc < 0) {
    return Fail(UpdateFailure::kLoader, kUpdateLoaderFailed,
                msg::LoaderUnreachable(Updater(), DeviceName()), msg::kFirmwareLoaderError);
  }
  return EraseAndProgram(0);
}

int32_t InstrumentUpdater::Reconnect() {
  BSLDisconnect(host_);
  WaitMs(static_cast<uint32_t>(device_.restart_delay_ms));
  window_->SetProgress(92);
  window_->ProcessEvents();
  int32_t rc = 0;
  for (int attempt = 0; attempt < kReconnectAttempts; ++attempt) {
    rc = DPConnect(connection_, settings.port_name.c_str(), kFirstBaudIndex, kConnectRetries,
                   &device_);
    if (rc > 0) break;
    WaitMs(static_cast<uint32_t>(attempt) * kReconnectPauseMs);
  }
  if (rc < 0) {
    return Fail(UpdateFailure::kConnection, rc, msg::DeviceError(Updater(), DeviceName(), rc),
                msg::kConnectionError);
  }
  if (device_.needs_login && DPLogin(connection_) < 0) {
    ShowErrorMessage(window_, log_, msg::LoginAfterUpdateFailed(Updater(), DeviceName()),
                     msg::kLoginError, kMessageError);
  }
  return 1;
}

int32_t InstrumentUpdater::CheckNewFirmware() {
  Advance(2);
  Status(msg::kCheckingFirmware);
  const int32_t rc = DPCheckFirmware(connection_, device_.post_check_argument);
  if (rc < 0) {
    return Fail(UpdateFailure::kFirmwareCheck, rc, msg::FirmwareCorrupt(DeviceName()),
                msg::kFirmwareError);
  }
  return 1;
}

void InstrumentUpdater::RestoreSettings() {
  Advance(2);
  Status(msg::kRestoringSettings);
  if (!device_.keeps_settings) return;
  const bool replace = settings.replace_serial_number && !settings.new_serial_number.empty();
  const int32_t rc = DPRestoreInfo(connection_, settings_path_.c_str(),
                                   replace ? settings.new_serial_number.c_str() : nullptr);
  if (rc >= 0) return;
  // Settings that were read but not taken back live on only in the file; a
  // file that could not be read at all holds nothing to come back for.
  restore_failed_ = connection_->settings_saved != 0;
  const std::string updater = Updater();
  if (rc == -102) {
    ShowErrorMessage(window_, log_, msg::SettingsFileMissing(updater, DeviceName()),
                     msg::kSettingsError, kMessageError);
  }
  std::string text;
  if (rc == -105 || rc == -106) {
    text = msg::SettingsFileUnreadable(updater, DeviceName(), rc);
  } else if (rc == -35) {
    text = msg::SomeSettingsNotRestored(updater, DeviceName());
  } else {
    text = msg::SettingsNotRestored(updater, DeviceName(), rc);
  }
  ShowErrorMessage(window_, log_, text, msg::kSettingsError, kMessageError);
}

int32_t InstrumentUpdater::EraseData() {
  Advance(2);
  if (!device_.erase_data || settings.dont_erase_data) return 1;
  Status(msg::kErasingData);
  const int32_t rc = DPEraseData(connection_);
  if (rc >= 0) return 1;
  const std::string text = rc == -65 ? msg::DataChipErrors(Updater(), DeviceName())
                                     : msg::DataNotErased(Updater(), DeviceName(), rc);
  return Fail(UpdateFailure::kDataErase, rc, text, msg::kDataEraseError);
}

int32_t InstrumentUpdater::Sequence() {
  bool loader_listening = false;
  int32_t rc = Connect(&loader_listening);
  if (rc < 0) return rc;
  Advance(2);
  if (loader_listening) {
    // The loader of an earlier, unfinished update is waiting: program at
    // once and restore from the settings file that update left.
    LookupDeviceKind(host_->image_kind, kLoaderListeningVersion, &device_);
  } else {
    if ((rc = CheckDevice()) < 0) return rc;
    if ((rc = CheckBattery()) < 0) return rc;
    Advance(2);
    if ((rc = SaveSettings()) < 0) return rc;
  }
  DPDisconnect(connection_, false);
  if ((rc = Program()) < 0) return rc;
  if ((rc = Reconnect()) < 0) return rc;
  if ((rc = CheckNewFirmware()) < 0) return rc;
  RestoreSettings();
  if (device_.set_time) DPSetTime(connection_);
  if ((rc = EraseData()) < 0) return rc;
  const char* adc = CapturedAdc(connection_);
  if (adc == nullptr || adc[0] == '\0' || strcmp(adc, kCalibratedAdc) != 0) {
    device_.post_update_notice = 1;
  }
  DPDisconnect(connection_, true);
  return 1;
}

}  // namespace halv
