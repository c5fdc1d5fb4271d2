// A logger's settings commands, one table row each: "get WORD" answers the
// stored value, "set WORD VALUE" checks and stores it. The table says which
// feature the firmware needs for each, what form the value has and the
// value a logger leaves the factory with.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace halv::sim {

enum class LoggerValue : uint8_t {
  kInt,       // "15"
  kText,      // up to `limit` characters, blanks allowed
  kName,      // 1 to `limit` characters, no blank, no control character
  kFive,      // five numbers 0..255: "1 2 0 0 3"
  kReal,      // "+46.73012"; an empty value clears it
  kHexKey,    // exactly `limit` hexadecimal digits
  kTrait,     // 0..255, the trait's low byte inverted
  kRadioHex,  // hexadecimal 0..`limit`, answered after the radio's "OK"
  kRadioVer,  // read only, answered after the radio's "OK"
  kAdc,       // ten factors 0..255 with their checksum (three in the short form)
};

struct LoggerSetting {
  const char* word;       // "-w"
  const char* key;        // the settings store's key: "interval"
  uint32_t get_features;  // LoggerFeature bits the firmware needs to answer "get"
  uint32_t set_features;  // ... and "set"
  bool cellular;          // only with the cellular modem fitted
  bool old_firmware;      // the old firmware has it too
  LoggerValue form;
  uint32_t limit;
  const char* factory;  // null: the profile's (name, serial number)
};

std::span<const LoggerSetting> LoggerSettingTable();
const LoggerSetting* FindLoggerSetting(std::string_view word);

// The checked, stored form of a value to set; nothing when the firmware
// refuses it. short_adc: the one-pair form of the calibration.
std::optional<std::string> CheckLoggerValue(const LoggerSetting& setting, std::string_view value,
                                            bool short_adc, std::string_view stored);
// What "get" answers for a stored value (without the reply's frame).
std::string ShowLoggerValue(const LoggerSetting& setting, const std::string& stored,
                            bool short_adc);

}  // namespace halv::sim
