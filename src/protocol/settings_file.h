// The settings file that carries a capture from before an update to after it
// when the updater was closed in between: key="value" lines under a header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/instrument.h"

namespace halv {

constexpr const char* kSettingsFileHeader =
    "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n";

// 1 written; -10 empty path; the negated system error when the file does not
// open; a negative write error.
int32_t WriteInfoFile(InstrumentConnection* connection, const char* path);
// 1 (0 for a VCD) read; -10 empty path; -102 no such file; -105 access
// denied; -106 bad handle; other negated system errors; -60 out of memory;
// -13 a kind without a settings file; -30 the file is not for this kind.
int32_t ReadInfoFile(InstrumentConnection* connection, const char* path);

// The key readers. A key is looked for where it begins a line and is followed
// by "="; a file without such a line is searched for the key anywhere, as
// files of hand-made or older layouts may need. The value is what follows the
// next double quote, up to the closing one.
bool ReadKeyText(std::string_view file_text, const char* key, char* destination, size_t capacity);
bool ReadKeyNumber(std::string_view file_text, const char* key, uint32_t* value);
bool ReadKeyReal(std::string_view file_text, const char* key, double* value);
// Whether the key occurs, and where its value starts (after the quote).
bool FindKeyValue(std::string_view file_text, const char* key, size_t* value_start);

}  // namespace halv
