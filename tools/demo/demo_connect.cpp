// halvbsl-demo connect PORT [--log FILE]
//   Asks the device's firmware to start its loader, attaches the loader host,
//   prints the loader's version and disconnects. --log writes the diagnostic
//   lines of the run to FILE.
#include "demo_connect.h"

#include <cstdio>
#include <cstring>

#include "bsl/host_bsl.h"
#include "log/diag_log.h"
#include "serial/clock.h"

namespace halv::demo {
namespace {

constexpr uint32_t kLoaderBaud = 9600;
constexpr uint32_t kRetries = 3;

}  // namespace

int ConnectCommand(int argc, char** argv) {
  const char* port = nullptr;
  const char* log_file = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
      log_file = argv[++i];
    } else if (port == nullptr && argv[i][0] != '-') {
      port = argv[i];
    } else {
      fprintf(stderr, "connect: unknown argument \"%.80s\"\n", argv[i]);
      port = nullptr;
      break;
    }
  }
  if (port == nullptr) {
    fprintf(stderr, "usage: connect PORT [--log FILE]\n");
    return 2;
  }
  DiagLog log;
  if (log_file != nullptr) CreateDiagLog(&log, log_file, kLogDetail, true);
  HostBSL host(log_file != nullptr ? &log : nullptr);

  printf("Starting the loader on %s ...\n", port);
  fflush(stdout);
  const uint32_t start = MsTick();
  const int32_t rc = BSLConnect(&host, port, kLoaderBaud, false, kRetries);
  const uint32_t elapsed = MsTick() - start;
  if (rc < 0) {
    printf("BSLConnect failed with error %d after %u ms\n", rc, elapsed);
    return 1;
  }
  printf("Connected to HalvBSL version %d in %u ms\n", rc, elapsed);
  BSLDisconnect(&host);
  printf("Disconnected; the device waits in its loader.\n");
  return 0;
}

}  // namespace halv::demo
