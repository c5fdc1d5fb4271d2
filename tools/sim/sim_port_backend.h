// The in-process transport: a port backend whose port is wired to a
// simulated device, so that real host code runs against the device inside a
// test. Time is the installed clock's; with a VirtualClock the backend is a
// listener, so that the device acts at the exact virtual time of each byte.
//
//   SimDevice device(*FindDeviceProfile("pumatic"));
//   VirtualClock clock;
//   ScopedClock use_clock(&clock);
//   SimPortBackend backend(device, "SIM1");
//   backend.Listen(&clock);
//   ScopedPortBackend use_backend(&backend);
//   ... BSLConnect(&host, "SIM1", 9600, false, 3) ...
#pragma once

#include <memory>
#include <string>

#include "serial/clock.h"
#include "serial/port.h"
#include "sim/sim_line.h"

namespace halv::sim {

class SimPortBackend : public PortBackend, public VirtualClock::Listener {
 public:
  SimPortBackend(SimDevice& device, std::string port_name, LineOptions options = {});
  ~SimPortBackend() override;
  SimPortBackend(const SimPortBackend&) = delete;
  SimPortBackend& operator=(const SimPortBackend&) = delete;

  // Registers with the clock for the backend's lifetime.
  void Listen(VirtualClock* clock);

  // PortBackend: the port of this name, one opener at a time.
  int32_t Open(const char* name, std::unique_ptr<Port>* port) override;

  // VirtualClock::Listener
  uint64_t NextEventMs() override;
  void AdvanceTo(uint64_t now_ms) override;

  SimLine& Line() { return line_; }
  // The cable: pulled now, plugged back in (the same device, its memory as
  // the pull left it).
  void PullLine();
  void PlugLine();

  bool PortOpen() const { return open_; }
  int OpenCount() const { return open_count_; }
  int CloseCount() const { return close_count_; }

 private:
  friend class SimPort;
  static uint64_t NowUs();

  SimLine line_;
  std::string port_name_;
  VirtualClock* clock_ = nullptr;
  bool open_ = false;
  int open_count_ = 0;
  int close_count_ = 0;
};

}  // namespace halv::sim
