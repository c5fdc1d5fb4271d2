// halvbsl-demo: small commands that show the updater's layers at work
// without the window, against a device or the device simulator.
#include <cstdio>
#include <cstring>

#include "demo_connect.h"
#include "demo_ports.h"

namespace {

struct DemoCommand {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);  // the arguments after the command's name
};

constexpr DemoCommand kCommands[] = {
    {"connect", "connect PORT [--log FILE]   start the loader and print its version",
     halv::demo::ConnectCommand},
    {"ports", "ports [--all] [--details] [--log FILE] [PATH...]   list the comm ports",
     halv::demo::PortsCommand},
};

int Usage() {
  fprintf(stderr, "usage: halvbsl-demo COMMAND [ARGUMENTS]\n");
  for (const DemoCommand& c : kCommands) fprintf(stderr, "  %s\n", c.summary);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const DemoCommand& c : kCommands) {
    if (strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  fprintf(stderr, "halvbsl-demo: unknown command \"%.80s\"\n", argv[1]);
  return Usage();
}
