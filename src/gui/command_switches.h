// The command-line switches of the window: "-factory" and "-rep".
#pragma once

#include <string>
#include <vector>

namespace halv::gui {

struct CommandSwitches {
  bool factory_mode = false;  // "-factory"
  bool file_opening = false;  // "-factory" or "-rep"
  bool rep_mode = false;      // "-rep" (file opening without the factory entries)
};

// Looks at every argument after the program name. Only the exact,
// case-sensitive words count; everything else is ignored.
CommandSwitches ParseCommandSwitches(const std::vector<std::string>& arguments);

}  // namespace halv::gui
