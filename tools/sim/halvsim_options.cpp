#include "sim/halvsim_options.h"

#include <cstring>

#include "sim/logger_firmware.h"

namespace halv::sim {
namespace {

constexpr uint32_t kMaxNumber = 100000000;

bool ParseNumber(const char* text, uint32_t* value) {
  if (text == nullptr || *text == '\0' || strlen(text) > 9) return false;
  uint32_t v = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + static_cast<uint32_t>(*p - '0');
  }
  if (v > kMaxNumber) return false;
  *value = v;
  return true;
}

bool ParseState(const char* text, DeviceState* state) {
  if (strcmp(text, "firmware") == 0) {
    *state = DeviceState::kFirmware;
  } else if (strcmp(text, "loader") == 0) {
    *state = DeviceState::kLoaderWaiting;
  } else if (strcmp(text, "attached") == 0) {
    *state = DeviceState::kLoaderAttached;
  } else {
    return false;
  }
  return true;
}

// Options that take a number, and where the number goes.
struct NumberOption {
  const char* name;
  uint32_t FaultPlan::*field;
};
constexpr NumberOption kFrameFaults[] = {
    {"--drop-frame", &FaultPlan::drop_frame},     {"--refuse-frame", &FaultPlan::refuse_frame},
    {"--drop-every", &FaultPlan::drop_every},     {"--refuse-every", &FaultPlan::refuse_every},
    {"--unplug-after", &FaultPlan::unplug_after},
};

struct FlagOption {
  const char* name;
  bool FaultPlan::*field;
};
constexpr FlagOption kFlagFaults[] = {
    {"--silent", &FaultPlan::silent},
    {"--echo", &FaultPlan::echo},
    {"--post-corrupt", &FaultPlan::post_corrupt},
    {"--dataflash-fail", &FaultPlan::dataflash_fail},
    {"--no-loader", &FaultPlan::no_loader},
};

bool IsErrorWord(const char* word) {
  return strcmp(word, "ERROR") == 0 || strcmp(word, "?") == 0 || strcmp(word, "Unsupported") == 0;
}

// 1 taken, 0 not a logger option, -1 a bad value (*error set).
int32_t LoggerOption(const char* arg, const char* value, HalvsimOptions* o, int* i,
                     std::string* error) {
  LoggerSetup& logger = o->setup.logger;
  auto need = [&](const char* what) {
    if (value == nullptr) *error = std::string(arg) + " needs " + what;
    return value != nullptr;
  };
  if (strcmp(arg, "--radio") == 0) {
    logger.over_radio = true;
  } else if (strcmp(arg, "--awake") == 0) {
    logger.start_awake = true;
  } else if (strcmp(arg, "--ignore-logout") == 0) {
    logger.faults.ignore_logout = true;
  } else if (strcmp(arg, "--prompt-only") == 0) {
    logger.faults.answer = "\r\r>";
  } else if (strcmp(arg, "--error-word") == 0) {
    if (!need("ERROR, ? or Unsupported")) return -1;
    if (!IsErrorWord(value)) {
      *error = std::string("--error-word: not ERROR, ? or Unsupported: ") + value;
      return -1;
    }
    logger.faults.answer = std::string("\r") + value + "\r>";
    ++*i;
  } else if (strcmp(arg, "--answer-only-to") == 0) {
    if (!need("a command")) return -1;
    logger.faults.answer_only_to = value;
    ++*i;
  } else if (strcmp(arg, "--silent-from") == 0 || strcmp(arg, "--silent-lines") == 0) {
    uint32_t n = 0;
    if (!need("a number")) return -1;
    if (!ParseNumber(value, &n)) {
      *error = std::string(arg) + ": not a number: " + value;
      return -1;
    }
    (strcmp(arg, "--silent-from") == 0 ? logger.faults.silent_from : logger.faults.silent_lines) =
        n;
    ++*i;
  } else {
    return 0;
  }
  return 1;
}

// The logger kinds, wrapped under the --kind line of the help text.
std::string LoggerKindNames() {
  constexpr size_t kIndent = 23;
  constexpr size_t kWidth = 79;
  std::string text(kIndent, ' ');
  size_t column = kIndent;
  bool first = true;
  for (const LoggerProfile& p : LoggerProfiles()) {
    const size_t length = strlen(p.name) + 2;  // with ", " or "," at the line's end
    if (!first) text += column + length > kWidth ? ",\n" + std::string(kIndent, ' ') : ", ";
    if (!first && column + length > kWidth) column = kIndent;
    text += p.name;
    column += length;
    first = false;
  }
  return text + "\n";
}

constexpr const char* kUsageHead =
    "usage: halvsim [options]\n"
    "Serves one simulated device on a pseudo-terminal. The first line of output is\n"
    "the path of the terminal to open; the device runs until SIGTERM or SIGINT.\n"
    "\n"
    "Device:\n"
    "  --kind NAME|CODE     device profile (default pumatic; kind 24); instruments\n"
    "                       by name or kind code, loggers by name:\n";

constexpr const char* kUsageTail =
    "  --sensor NAME        a Handix reader with this SDI-12 sensor behind it (the\n"
    "                       options below then apply to the reader; --dump shows\n"
    "                       the sensor)\n"
    "  --state STATE        start in: firmware (default), loader (waiting for a\n"
    "                       host), attached (a host already attached)\n"
    "  --version TEXT       version of the firmware the device leaves the factory with\n"
    "  --sn TEXT            serial number in the settings store\n"
    "  --battery N          battery percentage \"get -batt\" reports\n"
    "Line and timing:\n"
    "  --link PATH          also make a symlink to the terminal at PATH\n"
    "  --pace               bytes take 10 bit times each at the line's current rate\n"
    "  --device-timing      erases and writes take the device's own times\n"
    "  --erase-ms N         time of one segment erase (implies --device-timing)\n"
    "  --write-us N         time of one word written (implies --device-timing)\n"
    "  --no-baud-check      a host at another rate than the device is still heard\n"
    "Faults (loader frames are counted from 1):\n"
    "  --drop-frame N       frame N is lost: not carried out, no answer\n"
    "  --refuse-frame N     frame N is answered \"-\"\n"
    "  --drop-every K       every Kth frame is lost\n"
    "  --refuse-every K     every Kth frame is answered \"-\"\n"
    "  --unplug-after N     the line is pulled once frame N was answered\n"
    "  --replug-ms N        plug a pulled line back in N ms later (a new terminal,\n"
    "                       printed on its own line; --link follows it); SIGUSR1\n"
    "                       plugs it back in at once\n"
    "  --silent             the device answers nothing\n"
    "  --echo               a relay on the line echoes every byte\n"
    "  --post-corrupt       \"post\" always answers \"Code Corrupt!\"\n"
    "  --dataflash-fail     \"yes\" answers \"DataFlash FAIL\"\n"
    "  --no-loader          the start request answers \"HalvBSL MISSING\"\n"
    "Loggers (with a logger --kind):\n"
    "  --radio              reached through a radio modem on the port: the logger\n"
    "                       sleeps until woken, is queried and logged into by name;\n"
    "                       \"+++\" puts the modem into AT command mode\n"
    "  --awake              a radio logger that is awake already\n"
    "  --version TEXT       also the version \"get -ver\" reports\n"
    "Logger faults (lines counted from 1; --echo and --dataflash-fail apply too):\n"
    "  --error-word WORD    every line is answered WORD: ERROR, ? or Unsupported\n"
    "  --prompt-only        every line is answered by the bare prompt \"\\r\\r>\"\n"
    "  --answer-only-to CMD those answers go only to lines beginning with CMD\n"
    "  --silent-from N      from line N on the logger answers nothing ...\n"
    "  --silent-lines K     ... for K lines, then restarts at 9600 baud, logged out\n"
    "  --ignore-logout      a radio logger that stays logged in after \"logout\"\n"
    "Records:\n"
    "  --transcript PATH    every exchange as JSON lines\n"
    "  --dump PATH          memory and settings, written at exit\n"
    "  --help               this text\n";

}  // namespace

const char* HalvsimUsage() {
  static const std::string usage = std::string(kUsageHead) + LoggerKindNames() + kUsageTail;
  return usage.c_str();
}

int32_t ParseHalvsimOptions(int argc, char** argv, HalvsimOptions* o, std::string* error) {
  o->profile = FindDeviceProfile("pumatic");
  bool logger_options = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto need = [&](const char* what) {
      if (value == nullptr) *error = std::string(arg) + " needs " + what;
      return value != nullptr;
    };
    auto number = [&](uint32_t* out) {
      if (!need("a number")) return false;
      if (!ParseNumber(value, out)) {
        *error = std::string(arg) + ": not a number: " + value;
        return false;
      }
      ++i;
      return true;
    };
    bool matched = false;
    for (const NumberOption& n : kFrameFaults) {
      if (strcmp(arg, n.name) != 0) continue;
      if (!number(&(o->setup.faults.*n.field))) return -1;
      matched = true;
    }
    for (const FlagOption& f : kFlagFaults) {
      if (strcmp(arg, f.name) != 0) continue;
      o->setup.faults.*f.field = true;
      matched = true;
    }
    if (matched) continue;
    const int32_t logger = LoggerOption(arg, value, o, &i, error);
    if (logger < 0) return -1;
    if (logger > 0) {
      logger_options = true;
      continue;
    }

    uint32_t n = 0;
    if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
      o->help = true;
    } else if (strcmp(arg, "--kind") == 0) {
      if (!need("a device kind")) return -1;
      // Instruments first; a logger's firmware runs on the logger device.
      o->profile = FindDeviceProfile(value);
      o->setup.logger.profile = o->profile == nullptr ? FindLoggerProfile(value) : nullptr;
      if (o->setup.logger.profile != nullptr) o->profile = &LoggerDeviceProfile();
      if (o->profile == nullptr) {
        *error = std::string("unknown device kind: ") + value;
        return -1;
      }
      ++i;
    } else if (strcmp(arg, "--sensor") == 0) {
      if (!need("a sensor name")) return -1;
      o->sensor = FindSdiSensorProfile(value);
      if (o->sensor == nullptr) {
        *error = std::string("unknown sensor: ") + value;
        return -1;
      }
      ++i;
    } else if (strcmp(arg, "--state") == 0) {
      if (!need("a state") || !ParseState(value, &o->setup.start)) {
        if (error->empty()) *error = std::string("unknown state: ") + value;
        return -1;
      }
      ++i;
    } else if (strcmp(arg, "--version") == 0 || strcmp(arg, "--sn") == 0 ||
               strcmp(arg, "--link") == 0 || strcmp(arg, "--transcript") == 0 ||
               strcmp(arg, "--dump") == 0) {
      if (!need("a value")) return -1;
      if (strcmp(arg, "--version") == 0) {
        if (strlen(value) > 16) {
          *error = "--version: at most 16 characters";
          return -1;
        }
        o->setup.firmware_version = value;
      } else if (strcmp(arg, "--sn") == 0) {
        o->setup.serial_number = value;
      } else if (strcmp(arg, "--link") == 0) {
        o->link = value;
      } else if (strcmp(arg, "--transcript") == 0) {
        o->transcript = value;
      } else {
        o->dump = value;
      }
      ++i;
    } else if (strcmp(arg, "--battery") == 0) {
      if (!number(&n)) return -1;
      o->setup.faults.battery_percent = static_cast<int>(n);
    } else if (strcmp(arg, "--pace") == 0) {
      o->line.pace = true;
    } else if (strcmp(arg, "--device-timing") == 0) {
      o->setup.device_timing = true;
    } else if (strcmp(arg, "--erase-ms") == 0) {
      if (!number(&n)) return -1;
      o->setup.device_timing = true;
      o->setup.erase_ms = static_cast<int>(n);
    } else if (strcmp(arg, "--write-us") == 0) {
      if (!number(&n)) return -1;
      o->setup.device_timing = true;
      o->setup.write_us_per_word = static_cast<int>(n);
    } else if (strcmp(arg, "--no-baud-check") == 0) {
      o->line.check_baud = false;
    } else if (strcmp(arg, "--replug-ms") == 0) {
      if (!number(&o->replug_ms)) return -1;
    } else {
      *error = std::string("unknown option: ") + arg;
      return -1;
    }
  }
  if (logger_options && o->setup.logger.profile == nullptr) {
    *error = "the logger options need a logger --kind";
    return -1;
  }
  return 1;
}

}  // namespace halv::sim
