// Where the window's port list comes from: the system's comm ports, then the
// ports named in the environment variable HALVBSL_PORTS (device paths
// separated by ":"), which the enumeration cannot see (a pseudo-terminal, a
// simulator's link).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "log/diag_log.h"
#include "serial/port_enum.h"

namespace halv::gui {

inline constexpr const char* kNamedPortsVariable = "HALVBSL_PORTS";

// Fills up to `capacity` entries and stores the number filled in *count;
// returns the enumeration's result (negative on failure).
using PortLister =
    std::function<int32_t(bool force_all, PortEntry* entries, int32_t capacity, int32_t* count)>;

// The paths in a HALVBSL_PORTS value; empty pieces are skipped.
std::vector<std::string> SplitNamedPorts(const char* value);

// The system's ports followed by those of HALVBSL_PORTS, logging to `log`.
PortLister SystemPortLister(DiagLog* log);

}  // namespace halv::gui
