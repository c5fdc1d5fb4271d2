#include "sim/halvsim_options.h"

#include <cstring>

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

}  // namespace

const char* HalvsimUsage() {
  return "usage: halvsim [options]\n"
         "Serves one simulated device on a pseudo-terminal. The first line of output is\n"
         "the path of the terminal to open; the device runs until SIGTERM or SIGINT.\n"
         "\n"
         "Device:\n"
         "  --kind NAME|CODE     device profile (default pumatic; kind 24)\n"
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
         "Records:\n"
         "  --transcript PATH    every exchange as JSON lines\n"
         "  --dump PATH          memory and settings, written at exit\n"
         "  --help               this text\n";
}

int32_t ParseHalvsimOptions(int argc, char** argv, HalvsimOptions* o, std::string* error) {
  o->profile = FindDeviceProfile("pumatic");
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

    uint32_t n = 0;
    if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
      o->help = true;
    } else if (strcmp(arg, "--kind") == 0) {
      if (!need("a device kind")) return -1;
      o->profile = FindDeviceProfile(value);
      if (o->profile == nullptr) {
        *error = std::string("unknown device kind: ") + value;
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
  return 1;
}

}  // namespace halv::sim
