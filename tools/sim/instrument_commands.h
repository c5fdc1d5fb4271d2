// The running firmware's settings store as the host reaches it: "get -KEY"
// and "set -KEY VALUE" for every setting the profile lists, the numbered
// equation and user records, and the clock's date and time of day. One
// generic firmware serves every instrument kind; a kind differs only by the
// settings and records of its profile row.
#pragma once

#include <string_view>

namespace halv::sim {

class SimDevice;

// "get -KEY": the setting's value; "get -eqn" / "get -user": the number of
// records; "get -eqn N": record N.
void GetStoredValue(SimDevice& device, std::string_view argument);
// "set -KEY VALUE" and "set -eqn N VALUE" (N up to the list's length: a
// record replaced or one added at the end).
void SetStoredValue(SimDevice& device, std::string_view argument);
// "reset -eqn" and "reset -users": the list is emptied.
void ResetEquations(SimDevice& device, std::string_view argument);
void ResetUsers(SimDevice& device, std::string_view argument);
// "set -t H:M:S" and "set -d Y-M-D": the clock of a device that keeps its
// date and time of day apart.
void SetTimeOfDay(SimDevice& device, std::string_view argument);
void SetDate(SimDevice& device, std::string_view argument);

}  // namespace halv::sim
