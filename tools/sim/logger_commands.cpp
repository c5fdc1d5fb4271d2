#include "sim/logger_commands.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sim/logger_profile.h"

namespace halv::sim {
namespace {

constexpr uint32_t kNone = 0;
constexpr int kAdcPairs = 5;
constexpr double kMaxDegrees = 180.0;

using V = LoggerValue;

// clang-format off
constexpr LoggerSetting kSettings[] = {
  // word       key          get features           set features           cell   old    form          limit   factory
  {"-i",       "name",       kNone,                 kNone,                 false, false, V::kName,     8,      nullptr},
  {"-sn",      "sn",         kNone,                 kNone,                 false, false, V::kText,     15,     nullptr},
  {"-devid",   "devid",      kFeatureIdentity,      kFeatureIdentity,      false, false, V::kName,     8,      "D0042"},
  {"-report",  "report",     kFeatureIdentity,      kFeatureIdentity,      false, false, V::kInt,      0,      "1"},
  {"-depth",   "depth",      kFeatureIdentity,      kFeatureIdentity,      false, false, V::kFive,     0,      "10 20 30 40 50"},
  {"-site",    "site",       kFeatureIdentity,      kFeatureIdentity,      false, false, V::kText,     25,     "North Weir"},
  {"-lat",     "lat",        kFeatureLocation,      kFeatureLocation,      false, false, V::kReal,     0,      "+46.73012"},
  {"-long",    "long",       kFeatureLocation,      kFeatureLocation,      false, false, V::kReal,     0,      "-117.18210"},
  {"-tz",      "tz",         kFeatureIdentity,      kFeatureIdentity,      false, false, V::kInt,      0,      "-32"},
  {"-w",       "interval",   kFeatureInterval,      kFeatureInterval,      false, true,  V::kInt,      0,      "15"},
  {"-padc",    "padc",       kFeatureInterval,      kFeatureInterval,      false, false, V::kInt,      0,      "60"},
  {"-ports",   "ports",      kFeaturePorts,         kFeaturePorts,         false, false, V::kFive,     0,      "1 2 0 0 3"},
  {"-data",    "data",       kFeatureDataParameter, kFeatureDataParameter, false, false, V::kInt,      0,      "2"},
  {"-build",   "build",      kFeatureBuild,         kFeatureBuild,         false, false, V::kText,     16,     "B-1207"},
  {"-apn",     "apn",        kNone,                 kNone,                 true,  false, V::kText,     35,     "field.example"},
  {"-user",    "user",       kNone,                 kNone,                 true,  false, V::kText,     35,     "halv"},
  {"-passwd",  "passwd",     kNone,                 kNone,                 true,  false, V::kText,     35,     "pa55word"},
  {"-authkey", "authkey",    kNone,                 kNone,                 true,  false, V::kHexKey,   32,     "0123456789ABCDEF0123456789ABCDEF"},
  {"-host",    "host",       kNone,                 kNone,                 true,  false, V::kText,     63,     "data.halvard.example"},
  {"-ipport",  "ipport",     kNone,                 kNone,                 true,  false, V::kInt,      0,      "8080"},
  {"-r",       "rmode",      kFeatureRadioMode,     kFeatureRadioMode,     false, true,  V::kInt,      0,      "3"},
  {"-trait",   "trait",      kFeatureTraitRead,     kFeatureIdentity,      false, false, V::kTrait,    255,    nullptr},
  {"-rch",     "rch",        kFeatureRadio,         kFeatureRadio,         false, false, V::kRadioHex, 6,      "3"},
  {"-rsch",    "rsch",       kFeatureRadio,         kFeatureRadio,         false, false, V::kRadioHex, 0xFFFF, "1A2B"},
  {"-rver",    "rver",       kFeatureRadio,         ~0u,                   false, false, V::kRadioVer, 0,      "0A12"},
  {"-adc30",   "adc30",      kFeatureAdcCal,        kFeatureAdcCal,        false, false, V::kAdc,      0,      "120 130 121 131 122 132 123 133 124 134"},
  {"-adc15",   "adc15",      kFeatureAdcCal,        kFeatureAdcCal,        false, false, V::kAdc,      0,      "60 70 61 71 62 72 63 73 64 74"},
};
// clang-format on

bool ParseLong(std::string_view text, int base, long* value) {
  const std::string s(text);
  if (s.empty() || isspace(static_cast<unsigned char>(s[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long v = strtol(s.c_str(), &end, base);
  if (*end != '\0' || errno != 0) return false;
  *value = v;
  return true;
}

// Blank-separated numbers 0..255.
bool ParseBytes(std::string_view text, std::vector<long>* values) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t blank = text.find(' ', at);
    const size_t end = blank == std::string_view::npos ? text.size() : blank;
    long v = 0;
    if (!ParseLong(text.substr(at, end - at), 10, &v) || v < 0 || v > 255) return false;
    values->push_back(v);
    at = end + 1;
  }
  return !text.empty() && text.back() != ' ';
}

std::string JoinNumbers(const std::vector<long>& values) {
  std::string out;
  for (long v : values) out += (out.empty() ? "" : " ") + std::to_string(v);
  return out;
}

bool Printable(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) return false;
  }
  return true;
}

std::optional<std::string> CheckAdc(std::string_view value, bool short_adc,
                                    std::string_view stored) {
  std::vector<long> given;
  const size_t wanted = short_adc ? 3 : 2 * kAdcPairs + 1;
  if (!ParseBytes(value, &given) || given.size() != wanted) return std::nullopt;
  long sum = 0;
  for (size_t i = 0; i + 1 < given.size(); ++i) sum += given[i];
  if (sum % 256 != given.back()) return std::nullopt;  // the checksum protects the factors
  given.pop_back();
  if (short_adc) {
    // One pair: the others stay as they were.
    std::vector<long> all;
    ParseBytes(stored, &all);
    all.resize(2 * kAdcPairs, 0);
    all[0] = given[0];
    all[1] = given[1];
    return JoinNumbers(all);
  }
  return JoinNumbers(given);
}

}  // namespace

std::span<const LoggerSetting> LoggerSettingTable() {
  return kSettings;
}

const LoggerSetting* FindLoggerSetting(std::string_view word) {
  for (const LoggerSetting& s : kSettings) {
    if (word == s.word) return &s;
  }
  return nullptr;
}

std::optional<std::string> CheckLoggerValue(const LoggerSetting& setting, std::string_view value,
                                            bool short_adc, std::string_view stored) {
  long number = 0;
  switch (setting.form) {
    case V::kInt:
      if (!ParseLong(value, 10, &number)) return std::nullopt;
      return std::to_string(number);
    case V::kText:
      if (value.size() > setting.limit || !Printable(value)) return std::nullopt;
      return std::string(value);
    case V::kName:
      if (value.empty() || value.size() > setting.limit || !Printable(value) ||
          value.find(' ') != std::string_view::npos) {
        return std::nullopt;
      }
      return std::string(value);
    case V::kFive: {
      std::vector<long> values;
      if (!ParseBytes(value, &values) || values.size() != 5) return std::nullopt;
      return JoinNumbers(values);
    }
    case V::kReal: {
      if (value.empty()) return std::string();  // "set -lat " clears it
      const std::string s(value);
      char* end = nullptr;
      const double v = strtod(s.c_str(), &end);
      if (*end != '\0' || end == s.c_str() || !(v >= -kMaxDegrees && v <= kMaxDegrees)) {
        return std::nullopt;
      }
      char text[32];
      snprintf(text, sizeof text, "%+.5f", v);
      return std::string(text);
    }
    case V::kHexKey:
      if (value.size() != setting.limit) return std::nullopt;
      for (char c : value) {
        if (!isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
      }
      return std::string(value);
    case V::kTrait:
      if (!ParseLong(value, 10, &number) || number < 0 || number > 255) return std::nullopt;
      return std::to_string(number);
    case V::kRadioHex: {
      if (value.size() > 8 || !ParseLong(value, 16, &number) || number < 0 ||
          number > static_cast<long>(setting.limit)) {
        return std::nullopt;
      }
      char text[16];
      snprintf(text, sizeof text, "%lX", number);
      return std::string(text);
    }
    case V::kRadioVer:
      return std::nullopt;
    case V::kAdc:
      return CheckAdc(value, short_adc, stored);
  }
  return std::nullopt;
}

std::string ShowLoggerValue(const LoggerSetting& setting, const std::string& stored,
                            bool short_adc) {
  if (setting.form == V::kRadioHex || setting.form == V::kRadioVer) return "OK\r" + stored;
  if (setting.form != V::kAdc) return stored;
  std::vector<long> factors;
  ParseBytes(stored, &factors);
  factors.resize(2 * kAdcPairs, 0);
  if (short_adc) factors.resize(2);
  long sum = 0;
  for (long f : factors) sum += f;
  factors.push_back(sum % 256);
  return JoinNumbers(factors);
}

}  // namespace halv::sim
