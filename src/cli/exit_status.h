// The exit statuses of halvbsl-cli, one per class of failure.
#pragma once

#include "app/instrument_updater.h"

namespace halv::cli {

enum ExitStatus : int {
  kExitSuccess = 0,
  kExitBadArguments = 1,
  kExitConnection = 2,
  kExitWrongDevice = 3,
  kExitBattery = 4,
  kExitCancelled = 5,
  kExitLoader = 6,
  kExitFlash = 7,
  kExitFirmwareCheck = 8,
  kExitDataErase = 9,
  kExitSettings = 10,
  kExitFirmwareFile = 11,
};

inline int ExitStatusFor(UpdateFailure failure) {
  switch (failure) {
    case UpdateFailure::kNone:
      return kExitSuccess;
    case UpdateFailure::kConnection:
      return kExitConnection;
    case UpdateFailure::kWrongDevice:
      return kExitWrongDevice;
    case UpdateFailure::kBattery:
      return kExitBattery;
    case UpdateFailure::kCancelled:
      return kExitCancelled;
    case UpdateFailure::kSettings:
      return kExitSettings;
    case UpdateFailure::kLoader:
      return kExitLoader;
    case UpdateFailure::kFlash:
      return kExitFlash;
    case UpdateFailure::kFirmwareCheck:
      return kExitFirmwareCheck;
    case UpdateFailure::kDataErase:
      return kExitDataErase;
  }
  return kExitConnection;
}

}  // namespace halv::cli
