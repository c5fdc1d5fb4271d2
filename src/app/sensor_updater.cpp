#include "app/sensor_updater.h"

#include <cctype>
#include <cstdio>

#include "app/app_paths.h"
#include "app/compat_checks.h"
#include "app/error_report.h"
#include "app/messages.h"
#include "logger/logger_link.h"
#include "protocol/instrument.h"
#include "sdi12/sdi_sensor.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr const char* kHostTag = "HalvBSL Host";
constexpr uint8_t kFirstBaudIndex = 2;  // 9600 baud
constexpr uint32_t kConnectRetries = 3;
constexpr uint32_t kLoaderRetries = 10;
constexpr uint32_t kLoaderBaud = 9600;
constexpr int32_t kLowestBattery = 10;
constexpr uint32_t kLoaderListeningVersion = 999;

// What the reader must be to carry a firmware update to a sensor.
constexpr uint32_t kLowestReaderVersion = 123;
constexpr char kLowestReaderRevision = 'B';
constexpr uint32_t kRevisionWaitMs = 1500;

// The bytes the reader takes between commands: "]" opens the path to the
// sensor's loader, "[" closes it, the grave accent cycles the sensor's power.
constexpr char kOpenPath = ']';
constexpr char kClosePath = '[';
constexpr char kPowerCycle = '`';
constexpr uint32_t kAfterOpenPathMs = 500;
constexpr uint32_t kAfterPowerCycleMs = 1000;
constexpr uint32_t kAfterClosePathMs = 500;
constexpr uint32_t kReaderBaud = 9600;
constexpr uint32_t kBeforeUploadMs = 100;
constexpr uint32_t kBeforeFirmwareCheckMs = 1000;

// The type letters a selected family accepts; any other selected type
// accepts only the letter of its own code.
struct SensorFamily {
  uint32_t type;
  const char* letters;
};
constexpr SensorFamily kSensorFamilies[] = {
    {260, "sron"},  // Nilt family
    {261, "ylk"},   // Pomar-A, Pomar-B and Garno P
    {262, "tjie"},  // Wesk family
    {264, "hg"},    // Garno K family
};

bool SensorTypeAccepted(uint32_t selected, uint8_t reported) {
  for (const SensorFamily& family : kSensorFamilies) {
    if (family.type != selected) continue;
    for (const char* c = family.letters; *c != '\0'; ++c) {
      if (static_cast<uint8_t>(*c) == reported) return true;
    }
    return false;
  }
  return reported == selected;
}

// The first character that is not white space within the first 32 bytes.
char RevisionOf(const char* reply, uint32_t length) {
  for (uint32_t i = 0; i < length && i < 32; ++i) {
    if (!isspace(static_cast<unsigned char>(reply[i]))) return reply[i];
  }
  return '\0';
}

}  // namespace

SensorUpdater::SensorUpdater(UpdateWindow* window, DiagLog* log, InstrumentConnection* connection,
                             HostBSL* host)
    : UpdateRun(window, log, connection, host) {
  FixedText<35> name;
  SensorTypeName(static_cast<int32_t>(sensor_type), &name);
  settings.device_name = name.c_str();
}

void SensorUpdater::WriteReaderByte(char byte) {
  SerialChannel* channel = &ConnectionLink(connection_)->channel;
  if (channel->port == nullptr) return;  // the connect failed: nothing to tell the reader
  uint32_t written = 0;
  const int32_t rc = DSWrite(channel, &byte, 1, &written);
  if (rc < 0) {
    LogMessage(log_, kLogError, kHostTag, "Writing the byte 0x%02X to the reader failed (%d)",
               static_cast<unsigned char>(byte), rc);
  }
}

void SensorUpdater::PrepareProduct() {
  settings_not_retrieved_ = false;
  // Kind 10 takes its layout from the selected sensor type's row.
  SetDigitalSensorSelection({static_cast<int32_t>(sensor_type), host_->image_version});
}

// A failed run leaves the reader's port with the instrument connection: the
// sensor's power is cycled and the borrowed port given back before the
// connection closes it.
void SensorUpdater::ReleaseLoader() {
  WriteReaderByte(kPowerCycle);
  BSLHandBack(host_);
}

// A reader that an earlier update left passing bytes to the sensor (its cable
// was pulled before the path could be closed) does not answer itself: its
// sensor stays silent, or the sensor's loader answers in its place. Closing
// the path lets the reader answer again; a reader in its command mode takes
// the byte between commands and goes on as before.
int32_t SensorUpdater::ClosePathLeftOpen() {
  LogMessage(log_, kLogNote, kHostTag,
             "The reader on %s did not answer: closing a path to the sensor left open",
             Port().c_str());
  SerialChannel* channel = &ConnectionLink(connection_)->channel;
  if (channel->port != nullptr) DSClose(channel);
  const int32_t opened = DSOpen(channel, settings.port_name.c_str(), kReaderBaud);
  if (opened < 0) return opened;
  WriteReaderByte(kClosePath);
  WaitMs(kAfterClosePathMs);
  DSClose(channel);
  return DPConnect(connection_, settings.port_name.c_str(), kFirstBaudIndex, kConnectRetries,
                   &device_);
}

int32_t SensorUpdater::Connect() {
  int32_t rc = DPConnect(connection_, settings.port_name.c_str(), kFirstBaudIndex, kConnectRetries,
                         &device_);
  if (rc == kLoggerNothingListening || rc == kLoggerNoAnswer || rc == kLoggerModemAnswer ||
      rc == kLoggerLoaderAnswer) {
    rc = ClosePathLeftOpen();
  }
  if (rc >= 0) return 1;
  std::string text = PortErrorText(rc);
  if (text.empty()) {
    text = rc == kLoggerNothingListening ? msg::UnableToConnectReader(Updater(), Port())
                                         : msg::UnableToConnectReaderError(Updater(), Port(), rc);
  }
  return FailToConnect(text);
}

int32_t SensorUpdater::CheckReader() {
  const std::string connected = device_.kind_name.c_str();
  const uint8_t kind = connection_->settings.device_kind;
  if (kind == kLoggerKindCommDevice) return 1;
  if (kind != kLoggerKindHandix) {
    return Fail(UpdateFailure::kWrongDevice, kUpdateWrongDevice,
                msg::WrongReader(Updater(), connected), msg::kWrongDevice);
  }
  char reply[32] = {};
  uint32_t length = sizeof reply;
  uint32_t elapsed = 0;
  const int32_t rc = DeviceCommand(ConnectionLink(connection_), "get -hver\r", '>', kRevisionWaitMs,
                                   reply, &length, &elapsed);
  const char revision = rc >= 1 ? RevisionOf(reply, length) : '\0';
  const uint32_t version = static_cast<uint32_t>(connection_->settings.firmware_version);
  if (rc >= 1 && version >= kLowestReaderVersion && revision >= kLowestReaderRevision) return 1;
  return Fail(UpdateFailure::kWrongDevice, kUpdateNotSupported,
              msg::ReaderTooOld(connected, version, revision), msg::kWrongDeviceVersion);
}

int32_t SensorUpdater::CheckBattery() {
  Advance(2);
  Status(msg::kCheckingReaderBattery);
  int32_t percent = -1;
  const int32_t rc = DPCheckBattery(connection_, &percent);
  if (rc > 0 && percent < kLowestBattery) {
    return Fail(UpdateFailure::kBattery, kUpdateBatteryLow, msg::ReaderBatteryTooLow(),
                msg::kBatteriesTooLow);
  }
  return 1;
}

int32_t SensorUpdater::HandOff() {
  Advance(2);
  SerialChannel* reader = &ConnectionLink(connection_)->channel;
  const int32_t rc = BSLHandOff(host_, reader->port, reader->receive_buffer,
                                reader->port_name.c_str(), true, kLoaderRetries);
  if (rc < 0) {
    return Fail(UpdateFailure::kLoader, rc, msg::LoaderEngineNotStarted(Updater()),
                msg::kFirmwareLoaderError);
  }
  return 1;
}

bool SensorUpdater::ProbeLoader() {
  WriteReaderByte(kOpenPath);
  WaitMs(kAfterOpenPathMs);
  const int32_t rc = BSLCheck(host_, settings.port_name.c_str(), kLoaderBaud);
  if (rc == kBslWaitingForHost) {
    // A loader waiting for a host gives way to the firmware when the sensor
    // is powered again.
    WriteReaderByte(kPowerCycle);
    WaitMs(kAfterPowerCycleMs);
    return true;
  }
  return rc != kBslAlreadyActive;
}

int32_t SensorUpdater::SaveSettings() {
  Status(msg::kSavingSensorSettings);
  WriteReaderByte(kClosePath);
  WaitMs(kAfterClosePathMs);
  const std::string kept = KeepEarlierSettings();
  const int32_t rc = DPSaveInfo(connection_, settings_path_.c_str());
  if (rc >= 0 || rc == kProtocolPartlyDone) return 1;
  // Nothing new was captured: the earlier file is the one to restore from.
  if (!kept.empty() && rename(kept.c_str(), settings_path_.c_str()) == 0) {
    LogMessage(log_, kLogNote, kHostTag, "Put the settings file of the earlier update back");
  }
  if (!settings.FactorySwitch()) {
    return Fail(UpdateFailure::kSettings, rc, msg::SettingsNotRetrieved(Updater(), DeviceName()),
                msg::kSettingsError);
  }
  if (!window_->AskOkCancel(msg::SensorSettingsQuestion(Updater(), DeviceName()),
                            msg::kSettingsRetrieveError)) {
    return Fail(UpdateFailure::kCancelled, kUpdateCancelled, "", "");
  }
  settings_not_retrieved_ = true;
  return 1;
}

int32_t SensorUpdater::CheckSensor() {
  const SDISensor* sdi = connection_->sdi.get();
  LookupDeviceKind(host_->image_kind, sdi->sensor_version, &device_);
  if (!FirmwareVersionCheck(window_, log_, settings, device_)) {
    return Fail(UpdateFailure::kWrongDevice, kUpdateNotSupported, "", "");
  }
  if (sdi->sensor_version > settings.updater_firmware_version &&
      !window_->AskOkCancel(msg::NewerFirmware(DeviceName()), msg::kNewerFirmware)) {
    return Fail(UpdateFailure::kCancelled, kUpdateCancelled, "", "");
  }
  if (!SensorTypeAccepted(sensor_type, sdi->sensor_type)) {
    FixedText<35> reported;
    SensorTypeName(sdi->sensor_type, &reported);
    if (!window_->AskOkCancel(msg::WrongSensorType(reported.c_str(), DeviceName()),
                              msg::kWrongSensorType)) {
      return Fail(UpdateFailure::kCancelled, kUpdateCancelled, "", "");
    }
  }
  return 1;
}

int32_t SensorUpdater::InvokeLoader() {
  window_->SetProgress(6);
  Status(msg::kStartingLoader);
  const int32_t rc = SDIInvokeHalvBSL(connection_->sdi.get());
  // A sensor without a loader cannot be helped by trying again.
  if (rc == kSdiNoLoader || rc == kBslNoLoader) {
    return Fail(UpdateFailure::kLoader, kBslNoLoader, msg::SensorWithoutLoader(),
                msg::kFirmwareLoaderError);
  }
  if (rc < 0) {
    return Fail(UpdateFailure::kLoader, kUpdateLoaderFailed,
                msg::LoaderUnreachable(Updater(), DeviceName()), msg::kFirmwareLoaderError);
  }
  return 1;
}

int32_t SensorUpdater::Program() {
  if (BSLAttach(host_) < 0) {
    return Fail(UpdateFailure::kLoader, kUpdateLoaderFailed,
                msg::LoaderUnreachable(Updater(), DeviceName()), msg::kFirmwareLoaderError);
  }
  return EraseAndProgram(kBeforeUploadMs);
}

int32_t SensorUpdater::CheckNewFirmware() {
  Advance(2);
  Status(msg::kCheckingFirmware);
  WaitMs(kBeforeFirmwareCheckMs);
  const int32_t rc = SDICheckBinary(connection_->sdi.get());
  if (rc == kSdiCorruptFirmware) {
    return Fail(UpdateFailure::kFirmwareCheck, rc, msg::FirmwareCorrupt(DeviceName()),
                msg::kFirmwareError);
  }
  if (rc < 0) {
    return Fail(UpdateFailure::kFirmwareCheck, rc,
                msg::SensorFirmwareUnverified(Updater(), DeviceName(), rc), msg::kFirmwareError);
  }
  return 1;
}

void SensorUpdater::RestoreSettings() {
  Advance(2);
  Status(msg::kRestoringSettings);
  const int32_t rc = DPRestoreInfo(connection_, settings_path_.c_str(), nullptr);
  if (rc < 0) {
    restore_failed_ = true;
    ShowErrorMessage(window_, log_, msg::SensorNotRestored(Updater(), DeviceName(), rc),
                     msg::kSettingsError, kMessageError);
  }
}

void SensorUpdater::RestoreSensorType() {
  const int32_t rc = SDISetSensorType(connection_->sdi.get(), sensor_type);
  if (rc < 0) {
    ShowErrorMessage(window_, log_, msg::SensorTypeNotSet(Updater(), DeviceName(), rc),
                     msg::kSettingsError, kMessageError);
  }
}

int32_t SensorUpdater::Sequence() {
  int32_t rc = Connect();
  if (rc < 0) return rc;
  if ((rc = CheckReader()) < 0) return rc;
  if ((rc = CheckBattery()) < 0) return rc;
  if ((rc = HandOff()) < 0) return rc;
  const bool sensor_mode = ProbeLoader();
  connection_->device_kind = kKindDigitalSensor;
  LookupDeviceKind(host_->image_kind, kLoaderListeningVersion, &device_);
  if (sensor_mode) {
    if ((rc = SaveSettings()) < 0) return rc;
    if ((rc = CheckSensor()) < 0) return rc;
    if ((rc = InvokeLoader()) < 0) return rc;
  }
  if ((rc = Program()) < 0) return rc;
  window_->SetProgress(92);
  window_->ProcessEvents();
  BSLHandBack(host_);
  WriteReaderByte(kClosePath);
  if ((rc = CheckNewFirmware()) < 0) return rc;
  RestoreSettings();
  RestoreSensorType();
  Advance(2);
  WriteReaderByte(kPowerCycle);
  DPDisconnect(connection_, false);
  return 1;
}

}  // namespace halv
