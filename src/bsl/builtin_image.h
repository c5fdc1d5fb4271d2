// The firmware image the build carries, turned from the configured TI-Text
// file into this form by the image converter when the updater is built.
#pragma once

#include <cstdint>

#include "bsl/ti_text_convert.h"

namespace halv {

struct BuiltInImage {
  const char* name;  // name and version text, "Pumatic 1.06"
  uint32_t version;  // hundredths
  uint8_t kind;      // device kind code
  uint32_t vectors[kTiVectorCount];
  const char* text;        // the in-memory form, zero-terminated
  uint32_t text_capacity;  // bytes of storage behind text, the zero included
  // What the text must measure: its length and the sum of its character codes.
  uint32_t length;
  uint32_t sum;
};

// The build's image (generated source).
extern const BuiltInImage kBuiltInImage;

}  // namespace halv
