// The comm port on POSIX systems, through termios.
#pragma once

#include <string>

#include "serial/port.h"

namespace halv {

// "/dev/" followed by the name, unless the name is already a path.
std::string PosixDevicePath(const char* name);

// Maps an errno of open() to the port error table (-2, -5, -13) or -errno.
int32_t PosixOpenError(int error);

// Opens the device for exclusive use (TIOCEXCL and a non-blocking flock, so a
// second opener, in this program or another, is refused with -5).
int32_t OpenPosixPort(const char* name, std::unique_ptr<Port>* port);

}  // namespace halv
