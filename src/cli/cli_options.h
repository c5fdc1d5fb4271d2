// The command line of halvbsl-cli.
#pragma once

#include <string>

namespace halv::cli {

enum class Command { kNone, kHelp, kUpdate, kPorts, kInfo, kDump };

struct Options {
  Command command = Command::kNone;
  std::string port;
  bool factory = false;  // "-factory" of the window
  bool rep = false;      // "-rep" of the window
  std::string firmware_file;
  bool replace_serial_number = false;
  std::string new_serial_number;
  bool no_erase = false;
  bool yes = false;
  std::string log_file;
  std::string dump_file;
  int sensor_type = 0;  // digital-sensor build: the factory override
};

// The longest serial number the window's edit box takes.
constexpr size_t kMaxNewSerialNumber = 15;

// Parses argv. Returns true with the options filled, or false with a message
// for the user in *error.
bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error);

// The --help text.
std::string HelpText();

}  // namespace halv::cli
