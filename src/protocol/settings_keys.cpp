// Reading key="value" lines of a settings file.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "protocol/settings_file.h"

namespace halv {
namespace {

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Where a line "key=" begins, or npos.
size_t FindKeyLine(std::string_view text, std::string_view key) {
  for (size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
    const bool line_start = at == 0 || text[at - 1] == '\n';
    const size_t after = at + key.size();
    if (line_start && after < text.size() && text[after] == '=') return at;
  }
  return std::string_view::npos;
}

// The value's text: from its opening quote's next character up to the closing
// quote, a zero or the end of the file.
std::string_view ValueAt(std::string_view text, size_t start) {
  size_t end = start;
  while (end < text.size() && text[end] != '"' && text[end] != '\0') ++end;
  return text.substr(start, end - start);
}

}  // namespace

bool FindKeyValue(std::string_view file_text, const char* key, size_t* value_start) {
  if (key == nullptr || key[0] == '\0') return false;
  const std::string_view key_text(key);
  size_t at = FindKeyLine(file_text, key_text);
  if (at == std::string_view::npos) at = file_text.find(key_text);
  if (at == std::string_view::npos) return false;
  const size_t quote = file_text.find('"', at + key_text.size());
  if (quote == std::string_view::npos) return false;
  *value_start = quote + 1;
  return true;
}

bool ReadKeyText(std::string_view file_text, const char* key, char* destination, size_t capacity) {
  size_t start;
  if (destination == nullptr || capacity == 0 || !FindKeyValue(file_text, key, &start)) {
    return false;
  }
  std::string_view value = ValueAt(file_text, start);
  if (value.size() > capacity - 1) value = value.substr(0, capacity - 1);
  memcpy(destination, value.data(), value.size());
  destination[value.size()] = '\0';
  return !value.empty();
}

bool ReadKeyNumber(std::string_view file_text, const char* key, uint32_t* value) {
  size_t start;
  if (value == nullptr || !FindKeyValue(file_text, key, &start)) return false;
  const std::string_view text = ValueAt(file_text, start);
  size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  uint64_t number = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    number = number * 10 + static_cast<uint64_t>(text[at] - '0');
    if (number > UINT32_MAX) number = UINT32_MAX + uint64_t{1};  // saturates below
  }
  if (number > UINT32_MAX) {
    *value = UINT32_MAX;
  } else {
    // As an unsigned reading does: "-1" is the largest value.
    *value = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(number))
                      : static_cast<uint32_t>(number);
  }
  return true;
}

bool ReadKeyReal(std::string_view file_text, const char* key, double* value) {
  size_t start;
  if (value == nullptr || !FindKeyValue(file_text, key, &start)) return false;
  const std::string_view text = ValueAt(file_text, start);
  char number[64];
  const size_t n = text.size() < sizeof number - 1 ? text.size() : sizeof number - 1;
  memcpy(number, text.data(), n);
  number[n] = '\0';
  *value = strtod(number, nullptr);
  return true;
}

}  // namespace halv
