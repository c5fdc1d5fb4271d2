// The facts the port list is built from, as Linux keeps them: the serial
// ports in sysfs' tty class and, for USB adapters, the USB device's strings
// and ids. Every attribute is read bounded; an odd or unreadable one is an
// empty fact, never a failure of the listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log/diag_log.h"
#include "serial/fixed_text.h"

namespace halv {

struct SystemPort {
  FixedText<25> port_name;      // the name under /dev, such as ttyUSB0
  int32_t port_number = 0;      // the decimal number that ends the name
  FixedText<65> friendly_name;  // "FT232R USB UART (ttyUSB0)"; empty without one
  FixedText<65> instance_id;    // "USB\VID_0403&PID_6001\A50285BI"; empty if not USB
};

// The longest port name kept; a longer one could not be opened from its cut.
constexpr size_t kPortNameChars = 24;

// Appends the serial ports found under sysfs_root/class/tty to ports, in
// directory order. Returns the number appended, or -1 when the class folder
// cannot be read (no sysfs), or -60 without memory.
int32_t ReadSystemPorts(const std::string& sysfs_root, DiagLog* log,
                        std::vector<SystemPort>* ports);

// Whether a process named ModemManager runs: the "comm" files of the numbered
// folders under proc_root ("/proc"). False when proc_root cannot be read.
bool ModemManagerProcessRuns(const std::string& proc_root, DiagLog* log);

// The number at the end of a port name; -1 when it has none or it is too big.
int32_t TrailingPortNumber(std::string_view name);

// The longest prefix of text within max bytes that does not split a UTF-8
// sequence, so a cut text stays printable.
size_t Utf8CutLength(std::string_view text, size_t max);

}  // namespace halv
