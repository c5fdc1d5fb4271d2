// The list of comm ports the user can pick from: every serial port the system
// reports, sorted by port number, named after its adapter, with ports another
// program holds marked " (busy)". A forced probe tries the usual port names
// directly, and ports given outright by path (a pseudo-terminal, a simulator's
// link) are listed after them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/diag_log.h"
#include "serial/fixed_text.h"
#include "serial/port.h"
#include "serial/serial_channel.h"

namespace halv {

// The room the main window gives the list.
constexpr int32_t kMaxPortEntries = 16;

struct PortEntry {
  FixedText<25> port_name;      // the name to open, such as ttyUSB0
  FixedText<64> display_text;   // what the port box shows
  int32_t port_number = 0;      // the number at the end of the name
  uint8_t direct = 0;           // 0 for a port on a radio-modem adapter
  uint8_t generic_adapter = 0;  // 0 for a port on the maker's own USB adapter
  uint8_t busy = 0;             // the port exists but could not be opened
  uint8_t modem_manager = 0;    // ModemManager may probe it with AT commands
};

enum PortEnumResult : int32_t {
  kPortEnumMissingArgument = -10,
  kPortEnumNoRoom = -11,
  kPortEnumNoMemory = -60,
};

// Opens the port at a device path for exclusive use, as DSOpen does: 1 with
// the port stored, or a negative port error (-5 when another opener holds it).
using PortOpener = int32_t (*)(const char* path, std::unique_ptr<Port>* port);

// Where the facts about ports come from. The defaults are the running
// system's; tests point the roots at fixture trees.
struct PortSources {
  std::string sysfs_root = "/sys";
  std::string dev_root = "/dev";
  // Device paths listed after the found ports, each as its own name.
  std::vector<std::string> named_ports;
  PortOpener open_port = nullptr;  // null: OpenPosixPort
};

// ModemManager probes new USB modem-like ports (ttyACM) by sending them AT
// commands, which an instrument takes for commands of its own. Such ports are
// marked " (ModemManager)" while it runs.
bool IsModemLikePort(std::string_view port_name);

// Whether ModemManager runs now. The check is replaceable, so tests can say
// either; null restores the system's (a process of that name under /proc).
using ModemManagerCheck = bool (*)(DiagLog* log);
ModemManagerCheck SetModemManagerCheck(ModemManagerCheck check);
bool ModemManagerRunning(DiagLog* log);

// Fills entries (capacity *count on entry) and stores the number filled in
// *count. The channel only lends its log (it may be null). Returns -10 when
// entries or count is missing, -11 for a capacity below 1, -60 without
// memory; otherwise the number of ports the system reported, or 1 when only
// probed or named ports were filled, or 0 for an empty list.
int32_t CommPortEnum(SerialChannel* channel, PortEntry* entries, int32_t* count, bool force_all);
int32_t CommPortEnum(SerialChannel* channel, const PortSources& sources, PortEntry* entries,
                     int32_t* count, bool force_all);

// For callers that hold only the log: the capacity is given apart from the
// count, which receives the number filled.
int32_t CommPortEnum(DiagLog* log, PortEntry* entries, int32_t capacity, int32_t* count,
                     bool force_all);

}  // namespace halv
