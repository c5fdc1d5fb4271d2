// The version-finder path: the small text resource on the software server
// that names the newest firmware version for one kind of device.
#pragma once

#include <string>

namespace halv {

// "/versionfinder/" followed by the kind's path word and its ending; empty for
// kinds that never check and for codes outside the table. The digital-sensor
// kind takes its path word from the selected sensor type (sensor_path_word,
// empty when no type with a path word is selected).
std::string VersionFinderPath(int device_kind, const std::string& sensor_path_word = {});

}  // namespace halv
