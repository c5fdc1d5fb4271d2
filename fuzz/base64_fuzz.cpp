// The equation and user records of a settings file: read from its text,
// their names taken (a user record's from its Base64 value) and sorted; and
// the Base64 group decoder on raw groups.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_line.h"
#include "protocol/settings_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t at = 0; at + 4 <= size; at += 4) {
    uint8_t out[3];
    halv::DecodeBase64Group(reinterpret_cast<const char*>(data + at), out);
  }
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  halv::DiagLog log = halv::fuzz::NullLog();
  halv::InstrumentConnection connection(&log);
  for (int type : {halv::kUserRecords, halv::kEquationRecords}) {
    halv::RecordList list;
    if (halv::GetRecords_File(&connection, &list, type, text) > 0) {
      halv::AlphabetizeRecords(&connection, &list, type);
    }
  }
  return 0;
}
