#include "logger/version_text.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "logger/reply_parse.h"

namespace halv {
namespace {

constexpr int32_t kHighestMajor = 99999;

bool ReadDigit(const char** p, int32_t* digit) {
  const char* q = reply::SkipWhite(*p);
  if (!isdigit(static_cast<unsigned char>(*q))) return false;
  *digit = *q - '0';
  *p = q + 1;
  return true;
}

}  // namespace

int ReadVersionNumber(const char* text, int32_t* major, int32_t* minor, int32_t* patch) {
  const char* p = text;
  if (!reply::ReadInt(p, major, &p) || *major < 0 || *major > kHighestMajor) return 0;
  if (*p != '.') return 1;
  ++p;
  if (!ReadDigit(&p, minor)) return 1;
  if (!ReadDigit(&p, patch)) return 2;
  return 3;
}

VersionText ReadVersionText(const char* text) {
  VersionText v;
  const std::string_view model = reply::ReadWord(text, kVersionModelMax);
  if (model.empty()) return v;
  memcpy(v.model, model.data(), model.size());
  const char* rest = model.data() + model.size();
  v.count = 1 + ReadVersionNumber(rest, &v.major, &v.minor, &v.patch);
  return v;
}

int32_t ComposeVersion(int32_t major, int32_t minor, int32_t patch) {
  return major * 100 + minor * 10 + patch;
}

}  // namespace halv
