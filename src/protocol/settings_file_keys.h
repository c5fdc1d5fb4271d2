// The keys of an instrument's settings file, shared by its writer and reader.
#pragma once

#include <cstdint>

#include "protocol/settings_flags.h"

namespace halv {

enum class KeyForm : uint8_t { kText, kNumber, kTau };

struct InstrumentKey {
  const char* key;
  KeyForm form;
  TextField text;      // kText
  NumberField number;  // kNumber
  uint32_t only_with;  // 0: always written; else only when the capture holds this flag
};

// In the order the writer writes them.
extern const InstrumentKey kInstrumentKeys[];
extern const int kInstrumentKeyCount;

// The row of a key, or null.
const InstrumentKey* FindInstrumentKey(const char* key);

}  // namespace halv
