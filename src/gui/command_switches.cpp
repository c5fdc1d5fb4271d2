#include "gui/command_switches.h"

namespace halv::gui {

CommandSwitches ParseCommandSwitches(const std::vector<std::string>& arguments) {
  CommandSwitches switches;
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "-factory") {
      switches.factory_mode = true;
      switches.file_opening = true;
    } else if (arguments[i] == "-rep") {
      switches.rep_mode = true;
      switches.file_opening = true;
    }
  }
  return switches;
}

}  // namespace halv::gui
