// The equation and user records as lists: names for sorting, the sort, and
// reading them back from a settings file.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "protocol/settings_capture.h"
#include "protocol/settings_file.h"

namespace halv {
namespace {

constexpr size_t kEquationNameChars = 20;
constexpr size_t kUserNameChars = 9;
constexpr size_t kNameCompareChars = 32;
constexpr int kMaxFileRecords = 100;

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;  // "=" and anything outside the alphabet
}

// An equation's name is its first word, with "_" for a blank and "`" for a comma.
void EquationName(SettingRecord* record) {
  char name[kEquationNameChars + 1];
  size_t n = 0;
  for (const char* p = record->value.c_str(); *p != '\0' && *p != ' ' && n < kEquationNameChars;
       ++p) {
    name[n++] = *p == '_' ? ' ' : (*p == '`' ? ',' : *p);
  }
  name[n] = '\0';
  record->name.Assign(name);
}

// A user record is Base64 of tab-separated fields; the name is the fourth.
void UserName(SettingRecord* record) {
  const std::string_view value = record->value.view();
  char decoded[(sizeof(record->value.text) / 4 + 1) * 3 + 1];
  size_t length = 0;
  for (size_t at = 0; at < value.size(); at += 4) {
    char group[4] = {'=', '=', '=', '='};
    for (size_t k = 0; k < 4 && at + k < value.size(); ++k) group[k] = value[at + k];
    DecodeBase64Group(group, reinterpret_cast<uint8_t*>(decoded + length));
    length += 3;
  }
  const std::string_view text(decoded, length);
  size_t start = 0;
  for (int tabs = 0; tabs < 3; ++tabs) {
    const size_t tab = text.find('\t', start);
    if (tab == std::string_view::npos) {
      record->name.Clear();
      return;
    }
    start = tab + 1;
  }
  size_t end = text.find('\t', start);
  if (end == std::string_view::npos) end = text.size();
  record->name.Assign(text.substr(start, end - start), kUserNameChars);
}

// a goes before b: the first differing character, in upper case, is smaller,
// or a ends first. Equal names count as "before".
bool NameBefore(const SettingRecord& a, const SettingRecord& b) {
  for (size_t k = 0; k < kNameCompareChars; ++k) {
    const int ca = std::toupper(static_cast<unsigned char>(a.name.text[k]));
    const int cb = std::toupper(static_cast<unsigned char>(b.name.text[k]));
    if (ca != cb) return ca < cb;
    if (ca == 0) return true;
  }
  return true;
}

std::string FileKey(const char* word, int index) {
  char key[16];
  snprintf(key, sizeof key, "%s%02d", word, index);
  return key;
}

}  // namespace

void DecodeBase64Group(const char group[4], uint8_t out[3]) {
  const uint32_t bits = (Base64Value(group[0]) << 18) | (Base64Value(group[1]) << 12) |
                        (Base64Value(group[2]) << 6) | Base64Value(group[3]);
  out[0] = static_cast<uint8_t>(bits >> 16);
  out[1] = static_cast<uint8_t>(bits >> 8);
  out[2] = static_cast<uint8_t>(bits);
}

int32_t ExtractNames(InstrumentConnection* connection, RecordList* list, int type) {
  if (list == nullptr || (list->count > 0 && list->records == nullptr)) {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "ExtractNames found an null record pointer");
    return kProtocolMissingArgument;
  }
  if (RecordTypeWord(type) == nullptr) {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "ExtractNames found an unexpected record type \"%d\"", type);
    return kProtocolNotForDevice;
  }
  for (int32_t k = 0; k < list->count; ++k) {
    if (type == kEquationRecords) {
      EquationName(&list->records[k]);
    } else {
      UserName(&list->records[k]);
    }
  }
  return 1;
}

int32_t AlphabetizeRecords(InstrumentConnection* connection, RecordList* list, int type) {
  if (RecordTypeWord(type) == nullptr) {
    LogMessage(connection->log, kLogNote, kProtocolTag,
               "AlphabetizeRecords found an unexpected record type \"%d\"", type);
    return kProtocolNotForDevice;
  }
  const int32_t named = ExtractNames(connection, list, type);
  if (named < 0) return named;
  SettingRecord* records = list->records.get();
  for (int32_t k = 1; k < list->count; ++k) {
    for (int32_t j = k; j > 0 && NameBefore(records[j], records[j - 1]); --j) {
      std::swap(records[j], records[j - 1]);
    }
  }
  return 1;
}

int32_t GetRecords_File(InstrumentConnection* connection, RecordList* list, int type,
                        std::string_view file_text) {
  DiagLog* log = connection->log;
  const char* word = RecordTypeWord(type);
  if (word == nullptr) {
    LogMessage(log, kLogNote, kProtocolTag,
               "GetRecords_File found an unexpected record type \"%d\"", type);
    return kProtocolNotForDevice;
  }
  if (ReleaseRecords(list)) {
    LogMessage(log, kLogNote, kProtocolTag, "GetRecords_File found a non-null \"%s\" set", word);
  }
  int count = 0;
  size_t ignored;
  while (count < kMaxFileRecords &&
         FindKeyValue(file_text, FileKey(word, count).c_str(), &ignored)) {
    ++count;
  }
  if (count == 0) {
    LogMessage(log, kLogNote, kProtocolTag, "GetRecords_File found no \"%s\" records in instrument",
               word);
    return 0;
  }
  if (!AllocateRecords(list, count)) {
    LogMessage(log, kLogNote, kProtocolTag,
               "GetRecords_File couldn't allocate memory for %d records", count);
    return kProtocolNoMemory;
  }
  int read = 0;
  for (; read < count; ++read) {
    FixedText<257>& value = list->records[read].value;
    if (!ReadKeyText(file_text, FileKey(word, read).c_str(), value.text, sizeof value.text)) break;
    LogMessage(log, kLogNote, kProtocolTag, "GetRecords_File found \"%s\" %d as \"%s\"", word, read,
               value.c_str());
  }
  LogMessage(log, kLogNote, kProtocolTag, "GetRecords_File retrieved %d of %d \"%s\" records", read,
             count, word);
  list->count = read;
  return 1;
}

}  // namespace halv
