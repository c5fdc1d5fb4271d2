// The demo's "connect" command: starts the loader on a port and reads its
// version.
#pragma once

namespace halv::demo {

// argv holds the arguments after "connect". Returns the process exit status.
int ConnectCommand(int argc, char** argv);

}  // namespace halv::demo
