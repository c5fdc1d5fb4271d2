// The running firmware's text commands, one table row each. A line is the
// command text, or the command text, a blank and an argument. Answers have
// the firmware's form: "\r\n" answer "\r\n>".
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace halv::sim {

class SimDevice;

inline constexpr const char* kFirmwareError = "\r\nERROR\r\n>";

enum class Argument { kNone, kRequired, kOptional };

struct FirmwareCommand {
  const char* text;  // "get -ver"
  Argument argument;
  bool needs_login;  // refused before "login" on a device that needs one
  void (*handler)(SimDevice& device, std::string_view argument);
};

std::span<const FirmwareCommand> FirmwareCommands();
// The row for a line, with the argument after the blank. Null when none fits.
const FirmwareCommand* FindFirmwareCommand(std::string_view line, std::string_view* argument);

// "\r\n" value "\r\n>".
std::string FirmwareAnswer(std::string_view value);

}  // namespace halv::sim
