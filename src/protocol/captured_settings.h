// What a settings capture holds of an instrument: the values its get commands
// returned, kept as the device gave them, and the numbered equation and user
// records. The flag word says which settings were read.
#pragma once

#include <cstdint>
#include <memory>

#include "serial/fixed_text.h"

namespace halv {

constexpr int kCaptureSlots = 20;

// The instrument settings; "text n" fields keep n characters and a zero.
struct CapturedSettings {
  uint32_t flags = 0;  // one bit per setting read
  uint8_t kind = 0;    // device kind at the capture
  FixedText<16> sn;
  FixedText<9> i;
  FixedText<257> loc;
  FixedText<19> build;  // no read fills it; the settings file keeps it as HalvBuild
  int32_t lang = 0;
  int32_t contr = 0;
  int32_t units = 0;
  int32_t interval = 0;
  FixedText<65> config;
  FixedText<64> autosec;
  FixedText<257> c76;
  FixedText<257> units_text;
  FixedText<257> sample;
  FixedText<17> x;
  FixedText<257> fvals;  // "get -fvals" or "get -p"
  FixedText<257> uvals;  // "get -uvals", "get -pvuser" or "get -pv"
  FixedText<17> adc;
  FixedText<64> adccal;
  FixedText<64> wtoffset;
  FixedText<64> wtfactory;
  FixedText<64> p1offset;
  FixedText<257> sys;
  FixedText<257> adc15;
  FixedText<257> adc30;
  FixedText<17> ext;
  FixedText<257> tadj;
  FixedText<257> hadj;
  uint32_t tau = 0;
  FixedText<257> usage;
  // The parameter set (0 p0, 1 p3, 2 p5, 3 lwidth, 4 ltemp, 5 current, 7 p1)
  // or the calibration list (0 to 19).
  FixedText<257> slots[kCaptureSlots];
};

// One numbered record of an equation or user list.
struct SettingRecord {
  FixedText<33> name;    // for sorting: from the value text
  FixedText<257> value;  // as the device gave it
};
static_assert(sizeof(SettingRecord) == 290, "a record is 290 bytes");

enum RecordType : int { kEquationRecords = 1, kUserRecords = 2 };

struct RecordList {
  int32_t count = 0;
  std::unique_ptr<SettingRecord[]> records;
};

// "eqn" or "user"; null for any other type.
const char* RecordTypeWord(int type);
// Drops the records; false when the list held none.
bool ReleaseRecords(RecordList* list);
// Replaces the records by `count` empty ones; false when out of memory.
bool AllocateRecords(RecordList* list, int32_t count);

}  // namespace halv
