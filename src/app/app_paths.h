// Where the updater keeps its files: the per-user application-data folder,
// the error log and the settings file of an update.
#pragma once

#include <string>

namespace halv {

// $XDG_DATA_HOME (by default ~/.local/share) followed by "/Halvard/HalvBSL",
// created with its parents when missing. When no such folder can be had, the
// folder of the program file (program_folder) is used instead.
std::string ApplicationDataFolder(const std::string& program_folder);

// folder "/" updater name ".errors.txt"
std::string ErrorLogPath(const std::string& folder, const std::string& updater_name);

// folder "/" device name ".settings.txt"
std::string SettingsFilePath(const std::string& folder, const std::string& device_name);

// A settings file left by an update that did not finish is kept beside it
// under a time-stamped name before a new capture writes the file
// ("Pumatic.settings.20261210-093015.txt"). Returns the new name, or an empty
// text when there was no file to keep (or it could not be renamed).
std::string KeepEarlierSettingsFile(const std::string& settings_path);

}  // namespace halv
