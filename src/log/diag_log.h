// The diagnostic log: one plain-text file that every layer appends its lines
// to, each line stamped with the local date and time and a tag.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace halv {

// Message levels as the layers use them.
enum LogLevel : uint32_t {
  kLogOff = 0,
  kLogError = 1,
  kLogNote = 10,
  kLogProgress = 30,
  kLogDetail = 40,
};

struct DiagLog {
  std::string file_name;  // "error.txt" when none was given
  uint32_t level = kLogError;
  uint32_t max_size = 0;  // bytes; 0 means unlimited
};

// Stores the name ("error.txt" for null) and the level (1 when it is not one
// of 0, 1, 10, 30, 40). With erase set, an existing file of that name is
// deleted; the file itself is created by the first line written.
void CreateDiagLog(DiagLog* log, const char* file_name, uint32_t level, bool erase);

// Accepts 0, 1, 10, 30 or 40; any other value is refused and the level stays.
bool SetLogLevel(DiagLog* log, uint32_t level);

// Writes one line "stamp - tag: message\r\n" when level is not above the
// log's level. Returns the number of characters written, 0 when nothing was.
// A null log, or a file that cannot be opened, loses the line silently.
int32_t LogMessage(DiagLog* log, uint32_t level, const char* tag, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int32_t LogMessageV(DiagLog* log, uint32_t level, const char* tag, const char* format, va_list args)
    __attribute__((format(printf, 4, 0)));

// The file's length in bytes, or the negated errno when it cannot be measured.
int64_t LogSize(const DiagLog* log);

// Cuts the file to its last whole lines within byte_count bytes.
bool LogKeepLast(DiagLog* log, uint32_t byte_count);

// Used after a write when a maximum size is set: keeps about the last third of
// the maximum, beginning at a whole line.
void LogCutBack(DiagLog* log);

// "7 Dec 2026 9:05:03": the stamp of a line for the given local time.
std::string FormatLogStamp(const struct tm& local);

}  // namespace halv
