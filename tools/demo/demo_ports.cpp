// halvbsl-demo ports [--all] [--details] [--log FILE] [PATH...]
//   Lists the comm ports as the port box would show them. --all also probes
//   ttyS, ttyUSB and ttyACM 0 to 15 directly; each PATH (a pseudo-terminal,
//   a simulator's link) is listed after the found ports; --details adds the
//   name, number and flags of each entry; --log writes the diagnostic lines.
#include "demo_ports.h"

#include <cstdio>
#include <cstring>

#include "log/diag_log.h"
#include "serial/port_enum.h"

namespace halv::demo {
namespace {

struct PortsOptions {
  bool force_all = false;
  bool details = false;
  const char* log_file = nullptr;
  PortSources sources;
};

// Returns false (after saying why) on an argument it does not know.
bool ParsePortsOptions(int argc, char** argv, PortsOptions* options) {
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--all") == 0) {
      options->force_all = true;
    } else if (std::strcmp(arg, "--details") == 0) {
      options->details = true;
    } else if (std::strcmp(arg, "--log") == 0 && i + 1 < argc) {
      options->log_file = argv[++i];
    } else if (arg[0] == '/') {
      options->sources.named_ports.emplace_back(arg);
    } else {
      fprintf(stderr, "ports: unknown argument \"%.80s\"\n", arg);
      fprintf(stderr, "usage: ports [--all] [--details] [--log FILE] [PATH...]\n");
      return false;
    }
  }
  return true;
}

void PrintEntry(const PortEntry& entry, bool details) {
  if (!details) {
    printf("%s\n", entry.display_text.c_str());
    return;
  }
  printf("%-24s %4d  direct=%d generic=%d busy=%d  %s\n", entry.port_name.c_str(),
         entry.port_number, entry.direct, entry.generic_adapter, entry.busy,
         entry.display_text.c_str());
}

}  // namespace

int PortsCommand(int argc, char** argv) {
  PortsOptions options;
  if (!ParsePortsOptions(argc, argv, &options)) return 2;
  DiagLog log;
  if (options.log_file != nullptr) CreateDiagLog(&log, options.log_file, kLogDetail, false);
  SerialChannel channel;
  channel.log = options.log_file != nullptr ? &log : nullptr;

  PortEntry entries[kMaxPortEntries];
  int32_t count = kMaxPortEntries;
  const int32_t rc = CommPortEnum(&channel, options.sources, entries, &count, options.force_all);
  if (rc < 0) {
    fprintf(stderr, "ports: the port list failed (error %d)\n", rc);
    return 1;
  }
  if (rc < 1 || count == 0) {
    printf("No Comm Ports Found\n");
    return 0;
  }
  for (int32_t i = 0; i < count; ++i) PrintEntry(entries[i], options.details);
  return 0;
}

}  // namespace halv::demo
