// The demo's "ports" command: prints the comm port list.
#pragma once

namespace halv::demo {

// argv holds the arguments after "ports". Returns the process exit status.
int PortsCommand(int argc, char** argv);

}  // namespace halv::demo
