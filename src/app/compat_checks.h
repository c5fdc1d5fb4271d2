// Whether this build's firmware may be loaded into the connected device, and
// the notices that go with an update: the start-up check of the loader host
// and the calibration notice after a successful update.
#pragma once

#include <functional>
#include <string>

#include "app/build_config.h"
#include "app/update_window.h"
#include "log/diag_log.h"
#include "protocol/device_kinds.h"

namespace halv {

// True to go on. A device without a version window always passes; with a
// factory switch a refusal becomes an OK/Cancel question.
bool FirmwareVersionCheck(UpdateWindow* window, DiagLog* log, const UpdateSettings& settings,
                          const DeviceInfo& device);

// Asks the device for its hardware revision: the reply to "get -hver", or
// false when the exchange failed.
using RevisionQuery = std::function<bool(std::string* reply)>;

// True to go on. Under the rule "any revision" the device is not asked.
bool HardwareRevisionCheck(UpdateWindow* window, DiagLog* log, const UpdateSettings& settings,
                           HardwareRevisionRule rule, const RevisionQuery& ask);

// Shows the loader host's construction error and logs it; the caller then
// closes the window.
void ReportConstructionError(UpdateWindow* window, DiagLog* log, const UpdateSettings& settings,
                             int32_t code);

// The calibration notice after a successful update, for the kinds that have
// one; nothing for the others.
void ShowPostUpdateNotice(UpdateWindow* window, DiagLog* log, int device_kind);

}  // namespace halv
