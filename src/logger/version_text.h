// A device's version text, "MODEL major.minor-digit patch-digit" ("ZET 2.05"),
// read the same way wherever it is met: the logger link's identification and
// the instrument protocol's device kind look-up.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halv {

constexpr size_t kVersionModelMax = 19;

struct VersionText {
  char model[kVersionModelMax + 1] = {};
  int32_t major = 0;
  int32_t minor = 0;
  int32_t patch = 0;
  int count = 0;  // fields read: model, major, minor, patch
};

// Reads the model word (at most kVersionModelMax characters) and the version
// number after it. A major number outside 0 to 99999 is not read, so that a
// device's reply can never make the composed version overflow.
VersionText ReadVersionText(const char* text);

// Reads only the number part, "major.minor-digit patch-digit"; returns how
// many of the three were read.
int ReadVersionNumber(const char* text, int32_t* major, int32_t* minor, int32_t* patch);

// major × 100 + minor × 10 + patch.
int32_t ComposeVersion(int32_t major, int32_t minor, int32_t patch);

}  // namespace halv
