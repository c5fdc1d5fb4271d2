#include "app/compat_checks.h"

#include <cctype>

#include "app/error_report.h"
#include "app/messages.h"

namespace halv {
namespace {

struct CalibrationNotice {
  int kind;
  const char* text;
  const char* caption;
};

// The notices by device kind; the Stomex text ends with the manuals page.
const CalibrationNotice kNotices[] = {
    {7,
     "The calibration of your Thermik is outdated or missing.\n\n"
     "Please contact Halvard or your authorized Halvard representative\n"
     "to have your Thermik calibrated.",
     "Thermik Calibration"},
    {8,
     "Updating the firmware in your Solvia Raylo requires you to calibrate\n"
     "the internal sensors using the external sensor as a reference.\n\n"
     "Please see your Raylo user manual for probe calibration instructions.\n\n"
     "Please also reset the Daylight Savings setting in your Solvia Raylo.",
     "Please Calibrate Your Raylo"},
    {9,
     "Updating the firmware in your Stomex requires you to calibrate\n"
     "the the sensor head using the Halvard-supplied calibration plate.\n\n"
     "Please see the Stomex user manual (version 7 or newer) for\n"
     "calibration instructions. The latest user manual is available for download from:\n",
     "Please Calibrate Your Stomex"},
};

// The first character that is not white space within the first 32 bytes.
char RevisionOf(const std::string& reply) {
  const size_t limit = reply.size() < 32 ? reply.size() : 32;
  for (size_t i = 0; i < limit; ++i) {
    if (!isspace(static_cast<unsigned char>(reply[i]))) return reply[i];
  }
  return '\0';
}

}  // namespace

bool FirmwareVersionCheck(UpdateWindow* window, DiagLog* log, const UpdateSettings& settings,
                          const DeviceInfo& device) {
  if (!device.version_window) return true;
  const std::string updater = settings.UpdaterName();
  std::string text;
  if (device.firmware_version > device.highest_version) {
    text = msg::VersionTooNew(updater, settings.device_name, device.firmware_version,
                              device.highest_version);
  } else if (device.firmware_version >= device.lowest_version) {
    return true;
  } else {
    text = msg::VersionTooOld(updater, settings.device_name, device.firmware_version,
                              device.lowest_version);
  }
  if (settings.FactorySwitch()) {
    return window->AskOkCancel(text + msg::ForceUpdateQuestion(), msg::kWrongFirmwareVersion);
  }
  ShowErrorMessage(window, log, text, msg::kWrongFirmwareVersion, kMessageError);
  return false;
}

bool HardwareRevisionCheck(UpdateWindow* window, DiagLog* log, const UpdateSettings& settings,
                           HardwareRevisionRule rule, const RevisionQuery& ask) {
  if (rule == HardwareRevisionRule::kAny) return true;
  std::string reply;
  const char revision = ask && ask(&reply) ? RevisionOf(reply) : '\0';
  const bool only_c = rule == HardwareRevisionRule::kOnlyC;
  const bool mismatch = only_c ? revision != 'C' : revision == 'C';
  if (!mismatch) return true;
  ShowErrorMessage(
      window, log,
      msg::WrongHardwareRevision(settings.device_name, revision, only_c ? "C" : "A' or 'B"),
      msg::kWrongHardwareRevision, kMessageError);
  return false;
}

void ReportConstructionError(UpdateWindow* window, DiagLog* log, const UpdateSettings& settings,
                             int32_t code) {
  ShowErrorMessage(window, log, msg::ConstructionError(settings.UpdaterName(), code),
                   msg::kApplicationLaunchError, kMessageError);
  LogMessage(log, kLogError, "HalvBSL frmMain", "HostBSL class got an constructor error (%d)",
             code);
}

void ShowPostUpdateNotice(UpdateWindow* window, DiagLog* log, int device_kind) {
  for (const CalibrationNotice& notice : kNotices) {
    if (notice.kind != device_kind) continue;
    std::string text = notice.text;
    if (device_kind == 9) text += kLiteratureAddress;
    ShowErrorMessage(window, log, text, notice.caption, kMessageWarning);
    return;
  }
}

}  // namespace halv
