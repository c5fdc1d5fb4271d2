// halvsim: one simulated device on a pseudo-terminal, for trying the updater
// and for tests of the real serial path.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/halvsim_options.h"
#include "sim/memory_dump.h"
#include "sim/pty_server.h"

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_replug = 0;

void OnStop(int) {
  g_stop = 1;
}
void OnReplug(int) {
  g_replug = 1;
}

void Handle(int signal, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no restart: a waiting poll returns at once
  sigaction(signal, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace halv::sim;
  HalvsimOptions options;
  std::string error;
  if (ParseHalvsimOptions(argc, argv, &options, &error) < 0) {
    fprintf(stderr, "halvsim: %s\n%s", error.c_str(), HalvsimUsage());
    return 2;
  }
  if (options.help) {
    fputs(HalvsimUsage(), stdout);
    return 0;
  }
  Handle(SIGTERM, OnStop);
  Handle(SIGINT, OnStop);
  Handle(SIGUSR1, OnReplug);
  Handle(SIGPIPE, SIG_IGN);

  SimDevice device(*options.profile, options.setup);
  if (!options.transcript.empty() && !device.Log().WriteTo(options.transcript.c_str())) {
    fprintf(stderr, "halvsim: cannot write the transcript %s (%s)\n", options.transcript.c_str(),
            strerror(errno));
    return 1;
  }
  PtyServer server(device, options.line, options.link);
  if (server.Open() < 0) {
    fprintf(stderr, "halvsim: cannot open a pseudo-terminal (%s)\n", strerror(errno));
    return 1;
  }
  printf("%s\n", server.SlavePath().c_str());
  fflush(stdout);
  fprintf(stderr, "halvsim: %s \"%s\", %s, on %s\n", options.profile->name,
          device.VersionText().c_str(), StateName(device.State()), server.SlavePath().c_str());

  server.Run(&g_stop, &g_replug, options.replug_ms);

  if (!options.dump.empty() && !WriteDumpFile(device, options.dump.c_str())) {
    fprintf(stderr, "halvsim: cannot write the dump %s (%s)\n", options.dump.c_str(),
            strerror(errno));
    return 1;
  }
  fprintf(stderr, "halvsim: stopped (%s)\n", StateName(device.State()));
  return 0;
}
