// Every text the update sequences show, built from its fixed fragments and
// inserted values in one place, so that each can be checked against its
// source word for word.
#pragma once

#include <cstdint>
#include <string>

namespace halv::msg {

// A version in hundredths shown as "0.00" (202 is "2.02").
std::string Version(uint32_t hundredths);

// Connection (the first connect).
std::string PortInUse(const std::string& port);
std::string PortUnavailable(const std::string& port);
std::string PortNoPermission(const std::string& port);
std::string UnableToConnect(const std::string& updater, const std::string& device,
                            const std::string& port);
std::string DeviceNotSupported(const std::string& updater, const std::string& found_name,
                               uint32_t found_version);
std::string UnknownDevice(const std::string& updater, const std::string& device,
                          const std::string& port);
std::string UnableToLogIn(const std::string& updater, const std::string& device,
                          const std::string& port);
std::string UnableToConnectError(const std::string& updater, const std::string& device,
                                 const std::string& port, int32_t error);

// Checks before the update.
std::string WrongDevice(const std::string& updater, const std::string& device,
                        const std::string& found_name);
std::string FactoryOverride();
std::string FirmwareTooOld(const std::string& device);
std::string NewerFirmware(const std::string& device);
std::string BatteryTooLow();
std::string SettingsNotRetrieved(const std::string& updater, const std::string& device);

// The loader, erase and upload.
std::string NoWorkingLoader(const std::string& device);
std::string LoaderUnreachable(const std::string& updater, const std::string& device);
std::string DeviceError(const std::string& updater, const std::string& device, int32_t error);

// After the restart.
std::string LoginAfterUpdateFailed(const std::string& updater, const std::string& device);
std::string FirmwareCorrupt(const std::string& device);
std::string SettingsFileMissing(const std::string& updater, const std::string& device);
std::string SettingsFileUnreadable(const std::string& updater, const std::string& device,
                                   int32_t error);
std::string SomeSettingsNotRestored(const std::string& updater, const std::string& device);
std::string SettingsNotRestored(const std::string& updater, const std::string& device,
                                int32_t error);
std::string DataChipErrors(const std::string& updater, const std::string& device);
std::string DataNotErased(const std::string& updater, const std::string& device, int32_t error);
std::string Success(uint32_t seconds);
std::string QuitGuard(const std::string& updater, const std::string& device);

// Labels.
std::string DoNotDisconnect(const std::string& device);
std::string ConnectDevice(const std::string& device);
std::string MayDisconnect(const std::string& device);

// Compatibility checks.
std::string VersionTooNew(const std::string& updater, const std::string& device,
                          uint32_t device_version, uint32_t highest);
std::string VersionTooOld(const std::string& updater, const std::string& device,
                          uint32_t device_version, uint32_t lowest);
std::string ForceUpdateQuestion();
std::string WrongHardwareRevision(const std::string& device, char revision,
                                  const std::string& allowed);
std::string ConstructionError(const std::string& updater, int32_t code);

// The digital-sensor update: the reader, its battery, the sensor's loader,
// settings and type.
std::string UnableToConnectReader(const std::string& updater, const std::string& port);
std::string UnableToConnectReaderError(const std::string& updater, const std::string& port,
                                       int32_t error);
std::string WrongReader(const std::string& updater, const std::string& connected);
std::string ReaderTooOld(const std::string& connected, uint32_t version, char revision);
std::string ReaderBatteryTooLow();
std::string LoaderEngineNotStarted(const std::string& updater);
std::string SensorSettingsQuestion(const std::string& updater, const std::string& device);
std::string WrongSensorType(const std::string& reported, const std::string& device);
std::string SensorWithoutLoader();
std::string SensorFirmwareUnverified(const std::string& updater, const std::string& device,
                                     int32_t error);
std::string SensorNotRestored(const std::string& updater, const std::string& device, int32_t error);
std::string SensorTypeNotSet(const std::string& updater, const std::string& device, int32_t error);
inline constexpr const char* kWrongDeviceVersion = "Wrong Device Version";
inline constexpr const char* kSettingsRetrieveError = "Settings Retrieve Error";
inline constexpr const char* kWrongSensorType = "Wrong Sensor Type";
inline constexpr const char* kCheckingReaderBattery = "Checking Handix battery power...";
inline constexpr const char* kSavingSensorSettings = "Saving settings for this digital sensor...";

// Captions.
inline constexpr const char* kConnectionError = "Connection Error";
inline constexpr const char* kWrongDevice = "Wrong Device";
inline constexpr const char* kFirmwareTooOld = "Firmware Too Old";
inline constexpr const char* kNewerFirmware = "Newer Firmware";
inline constexpr const char* kBatteriesTooLow = "Batteries Too Low";
inline constexpr const char* kLoginError = "Login Error";
inline constexpr const char* kSettingsError = "Settings Error";
inline constexpr const char* kFirmwareLoaderError = "Firmware Loader Error";
inline constexpr const char* kInfoEraseError = "INFO Memory Erase Error";
inline constexpr const char* kFirmwareEraseError = "Firmware Erase Error";
inline constexpr const char* kFirmwareUploadError = "Firmware Upload Error";
inline constexpr const char* kFirmwareError = "Firmware Error";
inline constexpr const char* kDataEraseError = "Data Erase Error";
inline constexpr const char* kDontQuitNow = "Don't Quit Now!";
inline constexpr const char* kWrongFirmwareVersion = "Wrong Firmware Version";
inline constexpr const char* kWrongHardwareRevision = "Wrong Hardware Revision";
inline constexpr const char* kApplicationLaunchError = "Application Launch Error";

// Statuses.
std::string Connecting(const std::string& device);
inline constexpr const char* kCheckingBattery = "Checking battery power...";
std::string SavingSettings(const std::string& device);
inline constexpr const char* kStartingLoader = "Starting the firmware loader...";
inline constexpr const char* kErasing = "Erasing firmware memory...";
inline constexpr const char* kUploading = "Uploading new firmware code...";
std::string Restarting(const std::string& device);
inline constexpr const char* kCheckingFirmware = "Checking new firmware...";
inline constexpr const char* kRestoringSettings = "Restoring settings...";
inline constexpr const char* kErasingData = "Erasing old data...";

}  // namespace halv::msg
