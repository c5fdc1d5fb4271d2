// What a simulated data logger is: one row of the logger table per kind. A
// row fixes what "get -ver" reports, which commands the firmware has, which
// modems are fitted, and the name and serial number it leaves the factory
// with. Loggers talk in their own reply form: "\r" value "\r>".
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace halv::sim {

// What a logger's firmware can do, one bit each. The firmware of a kind and
// version has a fixed set of these.
enum LoggerFeature : uint32_t {
  kFeatureBaud = 1u << 0,            // "set -baud"
  kFeatureInterval = 1u << 4,        // "-w", "-padc"
  kFeaturePorts = 1u << 5,           // "-ports"
  kFeatureTraitRead = 1u << 6,       // "get -trait"
  kFeatureRadio = 1u << 8,           // "-rch", "-rsch", "get -rver"
  kFeatureRadioMode = 1u << 9,       // "-r"
  kFeatureClock = 1u << 12,          // a clock at all
  kFeatureAdcCal = 1u << 16,         // "-adc30", "-adc15"
  kFeatureDataParameter = 1u << 17,  // "-data"
  kFeatureBuild = 1u << 18,          // "-build"
  kFeatureSecondsClock = 1u << 19,   // the clock in seconds since 2000 only
  kFeatureShortAdcCal = 1u << 20,    // one factor pair
  kFeatureIdentity = 1u << 24,       // "-devid", "-report", "-depth", "-site", "-tz", "set -trait"
  kFeatureLocation = 1u << 26,       // "-lat", "-long"
};

// Modems fitted, as the firmware's trait reports them.
enum FittedModem : uint8_t {
  kModemNone = 0,
  kModemRadio = 0x01,
  kModemCellular = 0x08,
};

struct LoggerProfile {
  const char* name;        // what --kind takes: "zet"
  const char* model_code;  // first word of the "get -ver" answer
  const char* version;     // "2.05"
  // Old firmware knows neither "get -ver" nor "OK": it answers "show", and
  // its writes end with the bare prompt.
  bool old_firmware;
  uint32_t features;  // LoggerFeature bits
  uint8_t modems;     // FittedModem bits
  const char* device_name;
  const char* serial_number;
  uint32_t erase_ms;  // "yes" answers once the data flash is erased
};

std::span<const LoggerProfile> LoggerProfiles();
// By name, case ignored. Null when unknown.
const LoggerProfile* FindLoggerProfile(const char* name);

// Misbehaviours of a logger's firmware, all deterministic. Lines are counted
// from 1 as they reach the firmware (a radio logger: as it hears them awake).
struct LoggerFaults {
  // Every line (or only lines beginning with answer_only_to) is answered with
  // exactly these bytes: "\rERROR\r>", "\r?\r>", a bare "\r\r>", garbage.
  std::string answer = {};
  std::string answer_only_to = {};
  // From line silent_from on, silent_lines lines go unanswered; then the
  // firmware restarts (a watchdog): back at 9600 baud and logged out.
  uint32_t silent_from = 0;
  uint32_t silent_lines = 0;
  bool ignore_logout = false;  // a radio logger that stays logged in
};

struct LoggerSetup {
  const LoggerProfile* profile = nullptr;  // null: the device is no logger
  // Reached through a radio modem on the comm port: the logger sleeps, is
  // woken by a run of carriage returns, and is logged into by name.
  bool over_radio = false;
  bool start_awake = false;  // a radio logger that is awake already
  LoggerFaults faults = {};
};

}  // namespace halv::sim
