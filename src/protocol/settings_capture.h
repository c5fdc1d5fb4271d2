// Capturing an instrument's settings before an update and writing them back
// after it: single settings by the flag word, and the numbered equation and
// user records, which are written back sorted by name.
#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/instrument.h"

namespace halv {

// Read the settings of the flags into the captured area; the bits read go to
// its flags. 1 all read; 0 flags zero; -35 some failed; -21 or -32 the device
// stopped answering; -36 the device is not initialised.
int32_t GetInstInfo(InstrumentConnection* connection, uint32_t flags);
// Write them back. 1 all written; 0 flags zero; -35 some failed; -21, -32 or
// -33 the device stopped answering; -30 flags that cannot be written remained.
int32_t SetInstInfo(InstrumentConnection* connection, uint32_t flags);

int32_t GetRecords_Serial(InstrumentConnection* connection, RecordList* list, int type);
int32_t SetRecords_Serial(InstrumentConnection* connection, RecordList* list, int type);
// Reads the records from a settings file's text.
int32_t GetRecords_File(InstrumentConnection* connection, RecordList* list, int type,
                        std::string_view file_text);
int32_t AlphabetizeRecords(InstrumentConnection* connection, RecordList* list, int type);
int32_t ExtractNames(InstrumentConnection* connection, RecordList* list, int type);

// Four Base64 characters to three bytes; a character outside the alphabet,
// and the padding "=", count as 0.
void DecodeBase64Group(const char group[4], uint8_t out[3]);

}  // namespace halv
