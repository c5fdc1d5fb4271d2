// Which updater this build is: the Pumatic updater or the digital-sensor
// updater. Both come from the same sources; the build sets
// HALV_PRODUCT_SENSOR for the second (CMake's HALV_PRODUCT=sensor).
#pragma once

#include <cstdint>

#include "protocol/device_kinds.h"

namespace halv {

#if defined(HALV_PRODUCT_SENSOR) && HALV_PRODUCT_SENSOR
inline constexpr bool kSensorBuild = true;
inline constexpr int kBuildKind = kKindDigitalSensor;
// The sensor type the build names its device after until the user picks
// another one.
inline constexpr uint32_t kBuildSensorType = 93;
#else
inline constexpr bool kSensorBuild = false;
inline constexpr int kBuildKind = kKindPumatic;
inline constexpr uint32_t kBuildSensorType = 0;
#endif

}  // namespace halv
