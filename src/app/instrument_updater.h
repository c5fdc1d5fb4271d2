// The instrument update from end to end: connect, check, save the settings,
// reprogram through the loader, restart, check the new firmware and write the
// settings back. Both front ends drive it through the UpdateWindow interface.
#pragma once

#include <cstdint>
#include <string>

#include "app/update_run.h"
#include "app/update_window.h"
#include "bsl/host_bsl.h"
#include "log/diag_log.h"
#include "protocol/device_kinds.h"

namespace halv {

class InstrumentUpdater : public UpdateRun {
 public:
  InstrumentUpdater(UpdateWindow* window, DiagLog* log, InstrumentConnection* connection,
                    HostBSL* host);

 private:
  int32_t Sequence() override;
  void ReleaseLoader() override;

  // The steps of the sequence; each returns 1 to go on or the run's result.
  int32_t Connect(bool* loader_listening);
  std::string ConnectionFailureText(int32_t rc) const;
  int32_t CheckDevice();
  int32_t CheckBattery();
  int32_t SaveSettings();
  int32_t Program();
  int32_t Reconnect();
  int32_t CheckNewFirmware();
  void RestoreSettings();
  int32_t EraseData();
};

}  // namespace halv
