#include "cli/cli_options.h"

#include <cstring>
#include <string_view>

namespace halv::cli {
namespace {

struct CommandName {
  const char* word;
  Command command;
};

constexpr CommandName kCommands[] = {
    {"update", Command::kUpdate}, {"ports", Command::kPorts}, {"info", Command::kInfo},
    {"dump", Command::kDump},     {"help", Command::kHelp},
};

// Texts from the command line are kept within sane bounds.
constexpr size_t kMaxArgument = 4096;

bool TakeValue(int argc, const char* const* argv, int* i, std::string* value, std::string* error) {
  const std::string_view option = argv[*i];
  if (*i + 1 >= argc) {
    *error = std::string(option) + " needs a value";
    return false;
  }
  ++*i;
  const std::string_view text = argv[*i];
  if (text.empty() || text.size() > kMaxArgument) {
    *error = std::string(option) + " needs a value of 1 to 4096 characters";
    return false;
  }
  *value = text;
  return true;
}

bool ParseNumber(const std::string& text, int* value) {
  if (text.empty() || text.size() > 4) return false;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  *value = n;
  return true;
}

bool CheckCombination(const Options& o, std::string* error) {
  const bool updates = o.command == Command::kUpdate;
  if ((updates || o.command == Command::kInfo) && o.port.empty()) {
    *error = "--port is required";
    return false;
  }
  if (o.command == Command::kDump && o.dump_file.empty()) {
    *error = "dump needs the name of the file to write";
    return false;
  }
  if (!o.firmware_file.empty() && !o.factory && !o.rep) {
    *error = "--firmware is allowed only with --factory or --rep";
    return false;
  }
  if ((o.replace_serial_number || o.no_erase) && !o.factory) {
    *error = "--new-sn and --no-erase are allowed only with --factory";
    return false;
  }
  if (o.sensor_type != 0 && !o.factory) {
    *error = "--sensor-type is allowed only with --factory";
    return false;
  }
  if (o.new_serial_number.size() > kMaxNewSerialNumber) {
    *error = "--new-sn takes at most 15 characters";
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options* o, std::string* error) {
  *o = Options{};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i] != nullptr ? argv[i] : "";
    if (arg == "--help" || arg == "-h") {
      o->command = Command::kHelp;
      return true;
    }
    bool ok = true;
    if (arg == "--port") {
      ok = TakeValue(argc, argv, &i, &o->port, error);
    } else if (arg == "--firmware") {
      ok = TakeValue(argc, argv, &i, &o->firmware_file, error);
    } else if (arg == "--new-sn") {
      ok = TakeValue(argc, argv, &i, &o->new_serial_number, error);
      o->replace_serial_number = true;
    } else if (arg == "--log") {
      ok = TakeValue(argc, argv, &i, &o->log_file, error);
    } else if (arg == "--sensor-type") {
      std::string text;
      ok = TakeValue(argc, argv, &i, &text, error) && ParseNumber(text, &o->sensor_type);
      if (!ok && error->empty()) *error = "--sensor-type takes a sensor type number";
    } else if (arg == "--factory") {
      o->factory = true;
    } else if (arg == "--rep") {
      o->rep = true;
    } else if (arg == "--no-erase") {
      o->no_erase = true;
    } else if (arg == "--yes") {
      o->yes = true;
    } else if (!arg.empty() && arg[0] == '-') {
      *error = "unknown option " + std::string(arg.substr(0, 64));
      return false;
    } else if (o->command == Command::kNone) {
      for (const CommandName& c : kCommands) {
        if (arg == c.word) o->command = c.command;
      }
      if (o->command == Command::kNone) {
        *error = "unknown command " + std::string(arg.substr(0, 64));
        return false;
      }
      if (o->command == Command::kHelp) return true;
    } else if (o->command == Command::kDump && o->dump_file.empty() && arg.size() <= kMaxArgument) {
      o->dump_file = arg;
    } else {
      *error = "unexpected argument " + std::string(arg.substr(0, 64));
      return false;
    }
    if (!ok) return false;
  }
  if (o->command == Command::kNone) {
    *error = "no command given";
    return false;
  }
  return CheckCombination(*o, error);
}

std::string HelpText() {
  return R"(Usage: halvbsl-cli COMMAND [OPTIONS]

Updates the firmware of an instrument on a serial or USB port, as the
HalvBSL window does, from a terminal.

Commands:
  update --port PORT   Update the instrument on PORT: identify it, check it,
                       save its settings, program the new firmware, restart
                       it, check the firmware and write the settings back.
  ports                List the serial ports, as the window's list shows them.
  info --port PORT     Identify the device on PORT and say whether this
                       updater can update it. Changes nothing.
  dump FILE            Write the firmware image this updater holds to FILE
                       as TI-Text.
  help                 Show this text.

PORT is a port name such as ttyUSB0, or a full path such as /dev/pts/3.

Options:
  --factory            Factory mode: wrong-device and version questions can
                       be overridden; allows --firmware, --new-sn, --no-erase.
  --rep                Representative mode: allows --firmware.
  --firmware FILE      Load the firmware from a TI-Text file first.
  --new-sn SN          Replace the serial number with SN (at most 15
                       characters; factory mode only).
  --no-erase           Don't erase the instrument's stored data (factory
                       mode only).
  --sensor-type N      Digital-sensor build: update sensors of type N
                       (factory mode only).
  --yes                Answer OK to every question. Without it a question is
                       asked on the terminal, and answered Cancel when
                       standard input is not a terminal.
  --log FILE           Write the diagnostic log to FILE instead of the error
                       log in the application-data folder.
  --help               Show this text.

Ctrl-C during an update shows a warning and the update goes on: stopping
half-way would leave the instrument without working firmware.

Exit status:
  0   success
  1   bad arguments
  2   connection failed (port, cable, no answer)
  3   wrong device, or a firmware version or hardware revision it refuses
  4   battery too low
  5   cancelled by the user
  6   the firmware loader failed
  7   erasing or programming the flash failed
  8   the new firmware failed its check
  9   the stored data could not be erased
  10  the settings could not be saved or read
  11  the firmware file could not be loaded or written
)";
}

}  // namespace halv::cli
