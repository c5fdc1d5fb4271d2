#include "app/messages.h"

#include <cstdio>

namespace halv::msg {

std::string Version(uint32_t hundredths) {
  char text[32];
  snprintf(text, sizeof text, "%.2f", hundredths * 0.01);
  return text;
}

namespace {
std::string Number(int32_t n) {
  return std::to_string(n);
}
std::string Unsigned(uint32_t n) {
  return std::to_string(n);
}
}  // namespace

std::string PortInUse(const std::string& port) {
  return "Comm Port \"" + port + "\" is already in use by another application.\n" +
         "Please choose a new Comm Port to use or quit the application using this port.";
}

std::string PortUnavailable(const std::string& port) {
  return "Comm Port \"" + port + "\" isn't available.\nPlease choose a new Comm Port to use.";
}

// Linux refuses a serial port to a user outside the group that owns it.
std::string PortNoPermission(const std::string& port) {
  return "Comm Port \"" + port + "\" can't be opened: you don't have permission to use it.\n" +
         "On Linux, add your user to the \"dialout\" group (sudo usermod -aG dialout $USER),\n" +
         "then log out and log in again before you retry.";
}

std::string UnableToConnect(const std::string& updater, const std::string& device,
                            const std::string& port) {
  return "The " + updater + " is unable to connect to your " + device + "\n on Comm Port \"" +
         port + "\".\n\nPlease check your serial cable and Comm Port choice.";
}

std::string DeviceNotSupported(const std::string& updater, const std::string& found_name,
                               uint32_t found_version) {
  return "The " + updater + " does not support your " + found_name + "\n" + "running version " +
         Unsigned(found_version) + ".";
}

std::string UnknownDevice(const std::string& updater, const std::string& device,
                          const std::string& port) {
  return "The " + updater + " is unable to connect to your unknown device" + "\n on Comm Port \"" +
         port + "\".\n\nPlease check your serial cable and Comm Port choice.\n\n" +
         "Please verify the device connected is a \"" + device +
         "\" and has a version of\nfirmware that supports updates.";
}

std::string UnableToLogIn(const std::string& updater, const std::string& device,
                          const std::string& port) {
  return "The " + updater + " is unable to log into to your " + device + "\n on Comm Port \"" +
         port + "\".\n\nPlease try again or contact your Halvard representative.";
}

std::string UnableToConnectError(const std::string& updater, const std::string& device,
                                 const std::string& port, int32_t error) {
  return "The " + updater + " is unable to connect to your " + device + "\n on Comm Port \"" +
         port + "\".\n\nPlease check your serial cable and Comm Port choice.\nError " +
         Number(error);
}

std::string WrongDevice(const std::string& updater, const std::string& device,
                        const std::string& found_name) {
  return "The " + updater + " expected to find a " + device + ";\nhowever, it found a " +
         found_name + ".\n\nThis updater can not update a " + found_name + ".";
}

std::string FactoryOverride() {
  return "\n\n[Factory Mode Override: Click OK to load FW anyway]";
}

std::string FirmwareTooOld(const std::string& device) {
  return "The firmware in the connected " + device +
         "\nis too old.\n\nThis updater can not update this device.";
}

std::string NewerFirmware(const std::string& device) {
  return "The firmware in your " + device + "\nis newer than the version in this updater.\n\n" +
         "Are you sure you want to load older firmware.";
}

std::string BatteryTooLow() {
  return std::string("The battery power is too low!\n\n") +
         "Please replace the batteries before running this updater.";
}

std::string SettingsNotRetrieved(const std::string& updater, const std::string& device) {
  return "This " + updater + " could not retrieve the settings from your " + device +
         ".\nPlease try again or contact Halvard for help.";
}

std::string NoWorkingLoader(const std::string& device) {
  return "This " + device + " does not have a working firmware loader." +
         "\n\nPlease contact Halvard for help.";
}

std::string LoaderUnreachable(const std::string& updater, const std::string& device) {
  return "The " + updater + " is unable to connect to the firmware loader in your " + device +
         ".\n\nPlease try again.";
}

std::string DeviceError(const std::string& updater, const std::string& device, int32_t error) {
  return "The " + updater + " encountered an error working with your " + device +
         ".\n\nPlease try again.\n\n[Error " + Number(error) + "]";
}

std::string LoginAfterUpdateFailed(const std::string& updater, const std::string& device) {
  return "This " + updater + " failed to log into your " + device +
         ".\nPlease check the settings on your instrument or contact Halvard for help.";
}

std::string FirmwareCorrupt(const std::string& device) {
  return "The new firmware for your " + device +
         " is corrupt!\n\nPlease try again or contact Halvard.";
}

std::string SettingsFileMissing(const std::string& updater, const std::string& device) {
  return "The " + updater + " couldn't find the settings file for your " + device +
         ".\n\nPlease try again or contact Halvard for help.";
}

std::string SettingsFileUnreadable(const std::string& updater, const std::string& device,
                                   int32_t error) {
  return "The " + updater + " failed to read the settings file for your " + device +
         ".\n\nPlease try again or contact Halvard for help." + "\n\nError: " + Number(error);
}

std::string SomeSettingsNotRestored(const std::string& updater, const std::string& device) {
  return "The " + updater + " failed to restore some of the settings for your " + device +
         ".\n\nPlease check the settings after this updater is finished.";
}

std::string SettingsNotRestored(const std::string& updater, const std::string& device,
                                int32_t error) {
  return "The " + updater + " failed to restore the settings for your " + device +
         ".\n\nPlease try again.\n\n[Error " + Number(error) + "]";
}

std::string DataChipErrors(const std::string& updater, const std::string& device) {
  return "The " + updater + " was unable to erase the data in your " + device +
         " because the data storage chip is reporting errors.\n\nPlease contact Halvard for help.";
}

std::string DataNotErased(const std::string& updater, const std::string& device, int32_t error) {
  return "The " + updater + " was unable to erase the data in your " + device +
         ".\nPlease try again.\n[Error: " + Number(error) + "]";
}

std::string Success(uint32_t seconds) {
  return "Successfully updated firmware in " + Unsigned(seconds) + " seconds.";
}

std::string QuitGuard(const std::string& updater, const std::string& device) {
  return "The " + updater + " is updating your " + device +
         "!\nThis process should NOT be interrupted.\n\n" + "Your " + device +
         " may be unusable or have missing settings\n" +
         "until you complete the firmware update process.\n\n" +
         "Click OK to continue updating your " + device + ".\n";
}

std::string DoNotDisconnect(const std::string& device) {
  return "Do NOT disconnect " + device + " until finished.";
}

std::string ConnectDevice(const std::string& device) {
  return "Connect " + device + " to computer comm port.";
}

std::string MayDisconnect(const std::string& device) {
  return "You may disconnect your " + device + " now.";
}

std::string VersionTooNew(const std::string& updater, const std::string& device,
                          uint32_t device_version, uint32_t highest) {
  return "The " + updater + " doesn't support this " + device + "\nrunning version " +
         Version(device_version) + ".\n\nThis updater only works with firmware version " +
         Version(highest) + " (or older).";
}

std::string VersionTooOld(const std::string& updater, const std::string& device,
                          uint32_t device_version, uint32_t lowest) {
  return "The " + updater + " doesn't support this " + device + "\nrunning version " +
         Version(device_version) + ".\n\nThis updater only works with firmware version " +
         Version(lowest) + " (or newer).";
}

std::string ForceUpdateQuestion() {
  return std::string("\n\nClick OK to force the update anyway.") +
         "\nClick CANCEL to quit the updater.";
}

std::string WrongHardwareRevision(const std::string& device, char revision,
                                  const std::string& allowed) {
  const std::string found = revision != '\0' ? std::string(1, revision) : std::string();
  return "The hardware revision of the connected " + device + " is '" + found + "'" +
         ".\n\nThis updater only works with " + device + " hardware revision '" + allowed + "'.";
}

std::string ConstructionError(const std::string& updater, int32_t code) {
  switch (code) {
    case -60:
      return "The " + updater + " ran out of memory while allocating internal buffers.\n\n" +
             "Please restart this application and try again.";
    case -101:
      return "The internal firware file for this " + updater + " is corrupt.\n\n" +
             "Please restart this application and try again.";
    default:
      return "The " + updater + " got an unexpected error starting up.\n" +
             "[Error: " + Number(code) + "]\n\n" + "Please restart this application and try again.";
  }
}

std::string UnableToConnectReader(const std::string& updater, const std::string& port) {
  return "The " + updater + " is unable to connect to your communication device" +
         "\n on Comm Port \"" + port +
         "\".\n\nPlease check your serial cable and Comm Port choice.";
}

std::string UnableToConnectReaderError(const std::string& updater, const std::string& port,
                                       int32_t error) {
  return "The " + updater + " is unable to connect to your communication device" +
         "\n on Comm Port \"" + port +
         "\".\n\nPlease check your serial cable and Comm Port choice.\nError " + Number(error);
}

std::string WrongReader(const std::string& updater, const std::string& connected) {
  return "The " + updater + " expected to find a Handix (or VADRO Comm Device)" +
         ";\nhowever, it found a " + connected + ".\n\nThis updater can not work with a " +
         connected + ".";
}

// A reader that did not say its revision shows an empty one.
std::string ReaderTooOld(const std::string& connected, uint32_t version, char revision) {
  const std::string letter = revision != '\0' ? std::string(1, revision) : std::string();
  return "Your " + connected + " version " + Version(version) + " with hardware revision '" +
         letter + "' " + "doesn't\nsupport bootstrapping digital sensors.\n\n" +
         "Please use a supported Handix (or VADRO Comm Device)";
}

std::string ReaderBatteryTooLow() {
  return std::string("The battery power in the Handix is too low!\n\n") +
         "Please replace the batteries before running this updater.";
}

std::string LoaderEngineNotStarted(const std::string& updater) {
  return "The " + updater + " is unable to start the HalvBSL engine.\n\nPlease try again.";
}

std::string SensorSettingsQuestion(const std::string& updater, const std::string& device) {
  return "The " + updater + " could not retrieve the settings from your " + device +
         ".\nThis can happen when an intrument is new or doesn't have " +
         "a serial number set yet.\n\nClick OK to continue loading new firmware." +
         "\nClick CANCEL to try retrieving the settings again.";
}

std::string WrongSensorType(const std::string& reported, const std::string& device) {
  return "The attached sensor is claiming to be a \"" + reported + "\"\n\n" +
         "This firmware updater is for a \"" + device + "\".\n\n" +
         "Are you sure you want to load the firmware for a " + device + "?\n";
}

std::string SensorWithoutLoader() {
  return std::string("This digital sensor does not have a working firmware loader.") +
         ".\n\nPlease contact Halvard for help.";
}

std::string SensorFirmwareUnverified(const std::string& updater, const std::string& device,
                                     int32_t error) {
  return "The " + updater + " was unable to verify the new firmware in your " + device +
         ".\n\nPlease try again or contact Halvard.\n\n[Error " + Number(error) + "]";
}

std::string SensorNotRestored(const std::string& updater, const std::string& device,
                              int32_t error) {
  return "The " + updater + " failed to restore the calibration and address\n" + "for your " +
         device + ".\n\nPlease calibrate this sensor and check the address.\n\n[Error " +
         Number(error) + "]";
}

std::string SensorTypeNotSet(const std::string& updater, const std::string& device, int32_t error) {
  return "The " + updater + " failed to set the sensor type for your " + device +
         ".\n\nThe sensor type will be auto-determined by the firmware.\n\n[Error " +
         Number(error) + "]";
}

std::string Connecting(const std::string& device) {
  return "Connecting to " + device + "...";
}

std::string SavingSettings(const std::string& device) {
  return "Saving settings for this " + device + "...";
}

std::string Restarting(const std::string& device) {
  return "Restarting the " + device + ", please wait...";
}

}  // namespace halv::msg
