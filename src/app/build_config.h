// What a build of the updater is for: its instrument kind, its image and the
// rules that come with it. The digital-sensor build sets other values.
#pragma once

#include <cstdint>

namespace halv {

// Which hardware revisions this build may update.
enum class HardwareRevisionRule { kAny, kOnlyC, kOnlyAOrB };

inline constexpr HardwareRevisionRule kHardwareRevisionRule = HardwareRevisionRule::kAny;

// The maker's page of user manuals, named in the calibration notices.
inline constexpr const char* kLiteratureAddress = "https://www.quorrin.example/literature/";

}  // namespace halv
