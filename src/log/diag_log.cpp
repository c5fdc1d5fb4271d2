#include "log/diag_log.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace halv {
namespace {

constexpr const char* kDefaultFileName = "error.txt";
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsValidLevel(uint32_t level) {
  return level == kLogOff || level == kLogError || level == kLogNote || level == kLogProgress ||
         level == kLogDetail;
}

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

File OpenFile(const std::string& path, const char* mode) {
  return File(fopen(path.c_str(), mode));
}

std::string TempName(const DiagLog& log) {
  return log.file_name + ".temp";
}

// Length of an open file, or -1.
long FileLength(FILE* f) {
  if (fseek(f, 0, SEEK_END) != 0) return -1;
  return ftell(f);
}

// Positions f just past the first "\n" at or after offset, or at the end.
void SeekPastLineEnd(FILE* f, long offset) {
  fseek(f, offset, SEEK_SET);
  int c;
  while ((c = fgetc(f)) != EOF && c != '\n') {
  }
}

// Moves the rest of the open log (from its current position) into the temp
// file and puts the temp file in the log's place. The temp file is started
// afresh: text left by an interrupted cut would otherwise be glued in front of
// the kept lines.
bool ReplaceWithRest(DiagLog* log, File in) {
  const std::string temp = TempName(*log);
  File out = OpenFile(temp, "wb");
  if (!out) return false;
  std::vector<char> block(64 * 1024);
  size_t n;
  bool ok = true;
  while ((n = fread(block.data(), 1, block.size(), in.get())) > 0) {
    if (fwrite(block.data(), 1, n, out.get()) != n) ok = false;
  }
  in.reset();
  if (fclose(out.release()) != 0) ok = false;
  if (!ok) {
    remove(temp.c_str());
    return false;
  }
  remove(log->file_name.c_str());
  return rename(temp.c_str(), log->file_name.c_str()) == 0;
}

}  // namespace

void CreateDiagLog(DiagLog* log, const char* file_name, uint32_t level, bool erase) {
  log->file_name = file_name != nullptr ? file_name : kDefaultFileName;
  log->level = IsValidLevel(level) ? level : kLogError;
  log->max_size = 0;
  if (erase) remove(log->file_name.c_str());
}

bool SetLogLevel(DiagLog* log, uint32_t level) {
  if (!IsValidLevel(level)) return false;
  log->level = level;
  return true;
}

std::string FormatLogStamp(const struct tm& local) {
  char stamp[64];
  const int month = local.tm_mon >= 0 && local.tm_mon < 12 ? local.tm_mon : 0;
  snprintf(stamp, sizeof stamp, "%d %s %d %d:%02d:%02d", local.tm_mday, kMonthNames[month],
           local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return stamp;
}

int32_t LogMessageV(DiagLog* log, uint32_t level, const char* tag, const char* format,
                    va_list args) {
  if (log == nullptr || level > log->level) return 0;

  // The message is formatted in full, whatever its length: a first try into a
  // stack buffer, a second into one of the exact size.
  char small[512];
  va_list again;
  va_copy(again, args);
  const int needed = vsnprintf(small, sizeof small, format != nullptr ? format : "", args);
  std::string message;
  if (needed < 0) {
    message = "(unformattable message)";
  } else if (static_cast<size_t>(needed) < sizeof small) {
    message.assign(small, static_cast<size_t>(needed));
  } else {
    message.resize(static_cast<size_t>(needed) + 1);
    vsnprintf(message.data(), message.size(), format, again);
    message.resize(static_cast<size_t>(needed));
  }
  va_end(again);

  File f = OpenFile(log->file_name, "ab");
  if (!f) return 0;

  time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  std::string line = FormatLogStamp(local);
  line += " - ";
  line += tag != nullptr ? tag : "";
  line += ": ";
  line += message;
  line += "\r\n";

  const size_t written = fwrite(line.data(), 1, line.size(), f.get());
  const long length = FileLength(f.get());
  f.reset();
  if (log->max_size != 0 && length > static_cast<long>(log->max_size)) LogCutBack(log);
  return static_cast<int32_t>(written);
}

int32_t LogMessage(DiagLog* log, uint32_t level, const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int32_t n = LogMessageV(log, level, tag, format, args);
  va_end(args);
  return n;
}

int64_t LogSize(const DiagLog* log) {
  File f = OpenFile(log->file_name, "rb");
  if (!f) return -static_cast<int64_t>(errno);
  const long length = FileLength(f.get());
  if (length < 0) return -static_cast<int64_t>(errno);
  return length;
}

void LogCutBack(DiagLog* log) {
  if (log->max_size == 0) return;
  File f = OpenFile(log->file_name, "rb");
  if (!f) return;
  const long length = FileLength(f.get());
  if (length < static_cast<long>(log->max_size)) return;
  const long keep = static_cast<long>(0.33 * log->max_size);
  SeekPastLineEnd(f.get(), length - keep);
  ReplaceWithRest(log, std::move(f));
}

bool LogKeepLast(DiagLog* log, uint32_t byte_count) {
  File f = OpenFile(log->file_name, "rb");
  if (!f) return false;
  const long length = FileLength(f.get());
  if (length < 0) return false;
  if (length < static_cast<long>(byte_count)) return true;
  SeekPastLineEnd(f.get(), length - static_cast<long>(byte_count));
  return ReplaceWithRest(log, std::move(f));
}

}  // namespace halv
