#include "sim/firmware_commands.h"

#include <cerrno>
#include <cinttypes>
#include <cstdlib>

#include "sim/instrument_commands.h"
#include "sim/sim_device.h"

namespace halv::sim {
namespace {

constexpr const char* kStartWord = "ZIBW";

void Answer(SimDevice& d, std::string_view value) {
  d.Reply(FirmwareAnswer(value));
}

void GetVersion(SimDevice& d, std::string_view) {
  Answer(d, d.VersionText());
}

void GetHardwareRevision(SimDevice& d, std::string_view) {
  Answer(d, std::string(1, d.Profile().hardware_revision));
}

// A fault of -2 or below is a gauge that cannot be read: the firmware says so.
void GetBattery(SimDevice& d, std::string_view) {
  const int forced = d.Setup().faults.battery_percent;
  if (forced < -1) {
    d.Reply(kFirmwareError);
    return;
  }
  Answer(d, std::to_string(forced >= 0 ? forced : d.Profile().battery_percent));
}

void PostCheck(SimDevice& d, std::string_view) {
  Answer(d, d.CodeGood() ? "Code Good!" : "Code Corrupt!");
}

void EraseStoredData(SimDevice& d, std::string_view) {
  if (!d.Profile().data_memory) {
    Answer(d, "No DataFlash");
    return;
  }
  if (d.Setup().faults.dataflash_fail) {
    Answer(d, "DataFlash FAIL");
    return;
  }
  d.EraseData();
  d.Note("data erased");
  Answer(d, "OK");
}

void SetSeconds(SimDevice& d, std::string_view argument) {
  const std::string text(argument);
  char* end = nullptr;
  errno = 0;
  const long long seconds = strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || errno != 0) {
    d.Reply(kFirmwareError);
    return;
  }
  d.SetClockSeconds(seconds, d.Now());
  Answer(d, "OK");
}

void GetSeconds(SimDevice& d, std::string_view) {
  Answer(d, std::to_string(d.ClockSeconds(d.Now())));
}

void Login(SimDevice& d, std::string_view argument) {
  const std::string wanted = std::string("*") + d.Profile().login_code;
  if (argument != wanted) {
    d.Note("login refused", argument);
    d.Reply(kFirmwareError);
    return;
  }
  d.SetLoggedIn(true);
  Answer(d, "OK");
}

void Logout(SimDevice& d, std::string_view) {
  d.SetLoggedIn(false);
  Answer(d, "OK");
}

// The start request: the firmware hands the line to its loader.
void Boot(SimDevice& d, std::string_view argument) {
  if (argument != kStartWord) {
    d.Reply(kFirmwareError);
    return;
  }
  if (!d.Profile().has_loader || d.Setup().faults.no_loader) {
    Answer(d, "HalvBSL MISSING");
    return;
  }
  d.Reply("\r\nOK\r\n");
  d.EnterLoader();
}

// Longer texts before their prefixes: "post -init" before "post".
constexpr FirmwareCommand kCommands[] = {
    // text        argument             login  handler
    {"get -ver", Argument::kNone, false, GetVersion},
    {"get -hver", Argument::kNone, false, GetHardwareRevision},
    {"get -batt", Argument::kNone, false, GetBattery},
    {"get -sec", Argument::kNone, true, GetSeconds},
    {"set -sec", Argument::kRequired, true, SetSeconds},
    {"set -t", Argument::kRequired, true, SetTimeOfDay},
    {"set -d", Argument::kRequired, true, SetDate},
    {"reset -eqn", Argument::kNone, true, ResetEquations},
    {"reset -users", Argument::kNone, true, ResetUsers},
    {"post -init", Argument::kNone, false, PostCheck},
    {"post", Argument::kNone, false, PostCheck},
    {"yes", Argument::kNone, true, EraseStoredData},
    {"login", Argument::kOptional, false, Login},
    {"logout", Argument::kNone, false, Logout},
    {"boot", Argument::kRequired, false, Boot},
    // Last: any other "get -KEY" and "set -KEY VALUE" go to the settings
    // store and the record lists.
    {"get", Argument::kRequired, true, GetStoredValue},
    {"set", Argument::kRequired, true, SetStoredValue},
};

}  // namespace

std::span<const FirmwareCommand> FirmwareCommands() {
  return kCommands;
}

const FirmwareCommand* FindFirmwareCommand(std::string_view line, std::string_view* argument) {
  for (const FirmwareCommand& c : kCommands) {
    const std::string_view text = c.text;
    if (line == text && c.argument != Argument::kRequired) {
      *argument = {};
      return &c;
    }
    if (c.argument == Argument::kNone || line.size() <= text.size() + 1) continue;
    if (line.substr(0, text.size()) != text || line[text.size()] != ' ') continue;
    *argument = line.substr(text.size() + 1);
    return &c;
  }
  return nullptr;
}

std::string FirmwareAnswer(std::string_view value) {
  return "\r\n" + std::string(value) + "\r\n>";
}

}  // namespace halv::sim
