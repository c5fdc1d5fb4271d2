#include "sim/instrument_commands.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/firmware_commands.h"
#include "sim/sim_device.h"

namespace halv::sim {
namespace {

// What the firmware takes for a setting: a text no wider than its field, or
// a whole number within its range. Anything else is refused whole.
struct ValueRule {
  const char* key;
  size_t max_chars;
  bool number;
  long lowest;
  long highest;
};
// clang-format off
constexpr ValueRule kValueRules[] = {
  // key      width  number  lowest  highest
  {"sn",      15,    false,  0,      0},
  {"i",       8,     false,  0,      0},
  {"contr",   2,     true,   0,      15},
  {"lang",    1,     true,   0,      9},
};
// clang-format on

// The record lists the firmware keeps.
constexpr const char* kRecordLists[] = {"eqn", "user"};

bool Acceptable(std::string_view key, std::string_view value) {
  for (const ValueRule& rule : kValueRules) {
    if (key != rule.key) continue;
    if (value.size() > rule.max_chars) return false;
    if (!rule.number) return true;
    const std::string text(value);
    char* end = nullptr;
    const long number = strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && number >= rule.lowest && number <= rule.highest;
  }
  return true;
}

void Answer(SimDevice& d, std::string_view value) {
  d.Reply(FirmwareAnswer(value));
}

void Refuse(SimDevice& d) {
  d.Reply(kFirmwareError);
}

bool IsRecordList(std::string_view word) {
  for (const char* list : kRecordLists) {
    if (word == list) return true;
  }
  return false;
}

// A record number: decimal digits only, nothing else.
bool ReadIndex(std::string_view text, size_t* index) {
  if (text.empty() || text.size() > 4) return false;
  size_t n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<size_t>(c - '0');
  }
  *index = n;
  return true;
}

// "-eqn", "-eqn 3": the list and, when there is one, the record number.
bool SplitRecordKey(std::string_view key, std::string_view* list, std::string_view* rest) {
  const size_t blank = key.find(' ');
  *list = key.substr(0, blank);
  *rest = blank == std::string_view::npos ? std::string_view() : key.substr(blank + 1);
  return IsRecordList(*list);
}

void GetRecord(SimDevice& d, std::string_view list, std::string_view number) {
  static const std::vector<std::string> kNone;
  const auto found = d.Records().find(std::string(list));
  const std::vector<std::string>& records = found != d.Records().end() ? found->second : kNone;
  if (number.empty()) {
    Answer(d, std::to_string(records.size()));
    return;
  }
  size_t index = 0;
  if (!ReadIndex(number, &index) || index >= records.size()) {
    Refuse(d);
    return;
  }
  Answer(d, records[index]);
}

void SetRecord(SimDevice& d, std::string_view list, std::string_view rest) {
  const size_t blank = rest.find(' ');
  size_t index = 0;
  std::vector<std::string>& records = d.Records()[std::string(list)];
  if (blank == std::string_view::npos || !ReadIndex(rest.substr(0, blank), &index) ||
      index > records.size()) {
    Refuse(d);
    return;
  }
  const std::string value(rest.substr(blank + 1));
  if (index == records.size()) {
    records.push_back(value);
  } else {
    records[index] = value;
  }
  Answer(d, "OK");
}

// The setting whose key the argument begins with, followed by a blank: "cal 1"
// is the key of "-cal 1 7.5", never of "-cal 10 7.5".
std::map<std::string, std::string>::iterator FindSettingFor(SimDevice& d, std::string_view text) {
  auto& settings = d.Settings();
  for (auto it = settings.begin(); it != settings.end(); ++it) {
    const std::string& key = it->first;
    if (text.size() > key.size() && text.compare(0, key.size(), key) == 0 &&
        text[key.size()] == ' ') {
      return it;
    }
  }
  return settings.end();
}

void ResetList(SimDevice& d, const char* list) {
  d.Records()[list].clear();
  d.Note("records reset", list);
  Answer(d, "OK");
}

}  // namespace

void GetStoredValue(SimDevice& d, std::string_view argument) {
  if (argument.size() < 2 || argument[0] != '-') {
    Refuse(d);
    return;
  }
  const std::string_view key = argument.substr(1);
  const auto it = d.Settings().find(std::string(key));
  if (it != d.Settings().end()) {
    Answer(d, it->second);
    return;
  }
  std::string_view list;
  std::string_view number;
  if (SplitRecordKey(key, &list, &number)) {
    GetRecord(d, list, number);
    return;
  }
  Refuse(d);
}

void SetStoredValue(SimDevice& d, std::string_view argument) {
  if (argument.size() < 2 || argument[0] != '-') {
    Refuse(d);
    return;
  }
  const std::string_view text = argument.substr(1);
  const auto it = FindSettingFor(d, text);
  if (it != d.Settings().end()) {
    const std::string_view value = text.substr(it->first.size() + 1);
    if (!Acceptable(it->first, value)) {
      d.Note("value refused", it->first);
      Refuse(d);
      return;
    }
    it->second = std::string(value);
    Answer(d, "OK");
    return;
  }
  std::string_view list;
  std::string_view rest;
  if (SplitRecordKey(text, &list, &rest) && !rest.empty()) {
    SetRecord(d, list, rest);
    return;
  }
  Refuse(d);
}

void ResetEquations(SimDevice& d, std::string_view) {
  ResetList(d, "eqn");
}

void ResetUsers(SimDevice& d, std::string_view) {
  ResetList(d, "user");
}

void SetTimeOfDay(SimDevice& d, std::string_view argument) {
  const std::string text(argument);
  int h = 0, m = 0, s = 0;
  char extra = 0;
  if (sscanf(text.c_str(), "%d:%d:%d%c", &h, &m, &s, &extra) != 3 || h < 0 || h > 23 || m < 0 ||
      m > 59 || s < 0 || s > 59) {
    Refuse(d);
    return;
  }
  d.Note("time of day set", text);
  Answer(d, "OK");
}

void SetDate(SimDevice& d, std::string_view argument) {
  const std::string text(argument);
  int y = 0, mo = 0, day = 0;
  char extra = 0;
  if (sscanf(text.c_str(), "%d-%d-%d%c", &y, &mo, &day, &extra) != 3 || mo < 1 || mo > 12 ||
      day < 1 || day > 31) {
    Refuse(d);
    return;
  }
  d.Note("date set", text);
  Answer(d, "OK");
}

}  // namespace halv::sim
