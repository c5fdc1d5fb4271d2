// Loading the firmware from a TI-Text file in place of the built-in image,
// for factory and representative users, and writing the held image out.
#pragma once

#include <string>

#include "app/update_window.h"
#include "bsl/host_bsl.h"
#include "log/diag_log.h"

namespace halv {

// Loads the file into the loader host. On failure shows the "File Error"
// message and leaves the previous image and settings as they were. On
// success re-targets the settings to the file's instrument kind (device
// name, updater firmware version, progress step); the window caption, and so
// the updater name, keeps naming the build's kind. Returns the load's result.
int32_t OpenFirmwareFile(UpdateWindow* window, DiagLog* log, HostBSL* host,
                         UpdateSettings* settings, const std::string& path, int build_kind);

// The progress step for an image of `image_length` characters.
float ProgressStep(uint32_t image_length);

}  // namespace halv
