// The values the window remembers between runs, in the per-user settings
// store (organisation "Halvard Devices, Inc", application "HalvBSL").
#pragma once

#include <string>

namespace halv::gui {

inline constexpr const char* kSettingsOrganisation = "Halvard Devices, Inc";
inline constexpr const char* kSettingsApplication = "HalvBSL";

struct RememberedSettings {
  bool find_all_comms = false;  // FindAllComms
  bool has_comm_port = false;   // CommPort was stored
  std::string comm_port;        // CommPort
  bool verbose_log = true;      // VerboseLog (written only)
};

// Missing values give the defaults; the store is created on first use.
RememberedSettings ReadRememberedSettings();
// Writes FindAllComms, VerboseLog and CommPort. False when the store could
// not be written (the reason is in the returned text).
bool WriteRememberedSettings(const RememberedSettings& settings, std::string* error);

}  // namespace halv::gui
