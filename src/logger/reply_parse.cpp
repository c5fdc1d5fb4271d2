#include "logger/reply_parse.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace halv::reply {
namespace {

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int32_t Saturate(long long v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

const char* AfterFirstCr(const char* text) {
  const char* cr = strchr(text, '\r');
  return cr != nullptr ? cr + 1 : text;
}

const char* SkipWhite(const char* text) {
  while (IsWhite(*text)) ++text;
  return text;
}

const char* SkipCarriageReturns(const char* text) {
  while (*text == '\r') ++text;
  return text;
}

const char* AfterLabel(const char* text, const char* label, size_t offset) {
  const char* at = strstr(text, label);
  if (at == nullptr) return nullptr;
  if (strnlen(at, offset) < offset) return nullptr;
  return at + offset;
}

bool ReadInt(const char* text, int32_t* value, const char** end) {
  const char* p = SkipWhite(text);
  char* stop = nullptr;
  errno = 0;
  const long long v = strtoll(p, &stop, 10);
  if (stop == p) return false;
  *value = Saturate(v);
  if (end != nullptr) *end = stop;
  return true;
}

bool ReadUnsigned(const char* text, uint32_t* value, const char** end) {
  const char* p = SkipWhite(text);
  if (*p == '-') return false;
  char* stop = nullptr;
  const unsigned long long v = strtoull(p, &stop, 10);
  if (stop == p) return false;
  *value = v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
  if (end != nullptr) *end = stop;
  return true;
}

bool ReadHex(const char* text, uint32_t* value) {
  const char* p = SkipWhite(text);
  if (!isxdigit(static_cast<unsigned char>(*p))) return false;
  char* stop = nullptr;
  const unsigned long long v = strtoull(p, &stop, 16);
  if (stop == p) return false;
  *value = v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
  return true;
}

bool ReadDouble(const char* text, double* value) {
  const char* p = SkipWhite(text);
  char* stop = nullptr;
  const double v = strtod(p, &stop);
  if (stop == p) return false;
  *value = v;
  return true;
}

int ReadInts(const char* text, int32_t* values, int count) {
  int n = 0;
  const char* p = text;
  while (n < count && ReadInt(p, &values[n], &p)) ++n;
  return n;
}

int ReadUnsigneds(const char* text, uint32_t* values, int count) {
  int n = 0;
  const char* p = text;
  while (n < count && ReadUnsigned(p, &values[n], &p)) ++n;
  return n;
}

std::string_view ReadWord(const char* text, size_t max_chars) {
  const char* p = SkipWhite(text);
  size_t n = 0;
  while (n < max_chars && p[n] != '\0' && !IsWhite(p[n])) ++n;
  return std::string_view(p, n);
}

std::string_view ReadLine(const char* text, size_t max_chars) {
  size_t n = 0;
  while (n < max_chars && text[n] != '\0' && text[n] != '\r') ++n;
  return std::string_view(text, n);
}

bool Contains(const char* text, const char* part) {
  return strstr(text, part) != nullptr;
}

}  // namespace halv::reply
