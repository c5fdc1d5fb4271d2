// halvsim: one simulated device on a pseudo-terminal, for trying the updater
// and for tests of the real serial path.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "sim/halvsim_options.h"
#include "sim/handix_reader.h"
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

  // A sensor hangs on a reader: the port reaches the reader, the dump shows
  // the sensor.
  std::unique_ptr<HandixReader> reader;
  std::unique_ptr<SimDevice> own_device;
  if (options.sensor != nullptr) {
    reader = std::make_unique<HandixReader>(*options.sensor, SdiSensorFaults{}, options.setup);
  } else {
    own_device = std::make_unique<SimDevice>(*options.profile, options.setup);
  }
  SimDevice& device = reader != nullptr ? reader->Device() : *own_device;
  const SimDevice& dumped = reader != nullptr ? reader->Sensor().Device() : device;
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
  fprintf(stderr, "halvsim: %s \"%s\", %s, on %s\n",
          reader != nullptr ? options.sensor->name : options.profile->name,
          device.VersionText().c_str(), StateName(device.State()), server.SlavePath().c_str());

  server.Run(&g_stop, &g_replug, options.replug_ms);

  if (!options.dump.empty() && !WriteDumpFile(dumped, options.dump.c_str())) {
    fprintf(stderr, "halvsim: cannot write the dump %s (%s)\n", options.dump.c_str(),
            strerror(errno));
    return 1;
  }
  fprintf(stderr, "halvsim: stopped (%s)\n", StateName(device.State()));
  return 0;
}
