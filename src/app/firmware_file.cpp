#include "app/firmware_file.h"

#include "app/error_report.h"
#include "bsl/ti_text.h"
#include "protocol/device_kinds.h"

namespace halv {
namespace {

// Upload reports come every 512 characters of image text; 69 of them for a
// full-size image take the bar from 21 to 90.
constexpr float kProgressSpan = 35328.0f;

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LoadErrorText(int32_t rc, const std::string& updater, const std::string& file) {
  switch (rc) {
    case kBslBadImageFile:
      return "The file \"" + file + "\" is not a valid firmware file.\n" +
             "Please choose a new firmware file to open.";
    case kBslNoMemory:
      return "The " + updater + " ran out of memory opening \"" + file + "\".\n" +
             "Please restart this application and try again.";
    default:
      return "The " + updater + " could not opening \"" + file + "\".\n" +
             "Please try again.\nError " + std::to_string(rc);
  }
}

}  // namespace

float ProgressStep(uint32_t image_length) {
  return image_length > 0 ? kProgressSpan / static_cast<float>(image_length) : 0.0f;
}

int32_t OpenFirmwareFile(UpdateWindow* window, DiagLog* log, HostBSL* host,
                         UpdateSettings* settings, const std::string& path, int build_kind) {
  const int32_t rc = BSLLoadTIFile(host, path.c_str());
  if (rc < 0) {
    ShowErrorMessage(window, log, LoadErrorText(rc, settings->UpdaterName(), BaseName(path)),
                     "File Error", kMessageError);
    return rc;
  }
  if (host->image_kind == 0) host->image_kind = static_cast<uint8_t>(build_kind);
  DeviceInfo kind;
  LookupDeviceKind(host->image_kind, 0, &kind);
  // The caption keeps the build's name; everything else follows the file.
  const std::string updater = settings->UpdaterName();
  settings->device_name = kind.kind_name.c_str();
  settings->window_caption = updater;
  settings->updater_firmware_version = host->image_version;
  settings->progress_step = ProgressStep(host->image_length);
  window->InformationBeep();
  return rc;
}

}  // namespace halv
