// The logger link's device kinds, what each supports by firmware version,
// and the rule a device name must pass.
#include <cstring>

#include "logger/logger_link.h"

namespace halv {
namespace {

struct KindRow {
  const char* model_code;  // as the version reply names it; null: never reported
  uint8_t kind;
  const char* name;
};

constexpr KindRow kKinds[] = {
    {nullptr, kLoggerKindUnknown, "Unknown"},
    {nullptr, kLoggerKindUnknownLogger, "Unknown Logger"},
    {"LAGAN", kLoggerKindLagan, "Lagan"},
    {"LAGANX", kLoggerKindLaganX, "Lagan X"},
    {"FPO", kLoggerKindFieldpost, "Fieldpost"},
    {"WPO", kLoggerKindWebpost, "Webpost"},
    {"LAGANB", kLoggerKindLaganB, "Lagan B"},
    {nullptr, kLoggerKindGeneric, "Generic"},
    {"VCD", kLoggerKindCommDevice, "VADRO Comm Dev"},
    {"VADRO_CAL", kLoggerKindCalibrator, "VADRO Calibrator"},
    {"HX", kLoggerKindHandix, "Handix"},
    {"ZET", kLoggerKindZet, "Zet"},
    {"CRV", kLoggerKindCorvo, "Corvo"},
};

// The Lagan X gained settings release by release: (v above, bits added).
struct VersionStep {
  int32_t above;
  uint32_t bits;
};
constexpr VersionStep kLaganXSteps[] = {
    {199, 0x1000000}, {118, 0x200000}, {117, 0xC00000}, {113, 0x70000},
    {111, 0x8800},    {107, 0x40},     {104, 0x80},
};

// Words a device takes as commands; none may be a device's name.
constexpr const char* kReservedNames[] = {
    "ERROR", "Unsupported", "volt",   "show", "yes",  "hertz", "time", "dump", "erase",
    "login", "logout",      "query",  "help", "temp", "scan",  "term", "ping", "post",
    "get",   "set",         "teltst", "ack",  "nack", "OK",    "boot",
};
constexpr const char kForbiddenCharacters[] = "?\\\"/<>*|:;,";

}  // namespace

uint8_t LoggerKindOfModel(const char* model_code) {
  if (model_code == nullptr) return kLoggerKindUnknown;
  for (const KindRow& row : kKinds) {
    if (row.model_code != nullptr && strcmp(row.model_code, model_code) == 0) return row.kind;
  }
  return kLoggerKindUnknown;
}

const char* LoggerKindName(uint8_t kind) {
  for (const KindRow& row : kKinds) {
    if (row.kind == kind) return row.name;
  }
  return kKinds[0].name;
}

uint32_t LoggerSupportedMask(uint8_t kind, int32_t v, bool new_firmware) {
  switch (kind) {
    case kLoggerKindLagan:
      return new_firmware ? 0x371F : 0x331C;
    case kLoggerKindLaganX: {
      uint32_t mask = v > 201 ? 0x4007737 : 0x7737;
      for (const VersionStep& step : kLaganXSteps) {
        if (v > step.above) mask |= step.bits;
      }
      return mask;
    }
    case kLoggerKindFieldpost:
      return (v > 108 ? 0x24503u : 0x4503u) | (v > 104 ? 0x80u : 0u);
    case kLoggerKindLaganB:
      return v > 203 ? 0x474BE : 0x74BE;
    case kLoggerKindCommDevice:
      return 0x3007;
    case kLoggerKindCalibrator:
      return 0x10026;
    case kLoggerKindHandix:
      return 0x1D3083;
    case kLoggerKindZet:
      return 0x5E3FFF7;
    case kLoggerKindCorvo:
      return 0x7C3F6F7;
    default:
      return 0x1005;
  }
}

int32_t CheckDeviceName(const char* name) {
  if (name == nullptr || name[0] == '\0') return kLoggerNameEmpty;
  if (strnlen(name, 9) > 8) return kLoggerNameTooLong;
  for (const char* word : kReservedNames) {
    if (strcmp(name, word) == 0) return kLoggerNameReserved;
  }
  for (const char* p = name; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == ' ' || c == 127 || c == 255) return kLoggerNameBadCharacter;
    if (strchr(kForbiddenCharacters, c) != nullptr) return kLoggerNameForbiddenCharacter;
    if (c > 127) return kLoggerNameHighCharacter;
  }
  return 1;
}

}  // namespace halv
