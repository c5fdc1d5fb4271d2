// Serves a simulated device on a pseudo-terminal in real time: what the host
// writes to the terminal reaches the device through the line model, and the
// device's answers are written back when they have crossed the line.
//
// halvsim keeps its own descriptor of the terminal open (so that the host's
// closing and reopening does not hang the line up) but never locks it: the
// host opens the terminal exclusively.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "sim/sim_line.h"

namespace halv::sim {

class PtyServer {
 public:
  PtyServer(SimDevice& device, LineOptions options, std::string link);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens a terminal (and points the link at it). 1, or a negated errno.
  int32_t Open();
  const std::string& SlavePath() const { return slave_path_; }

  // Runs until *stop is set. A pulled line is plugged back in when *replug
  // is set or replug_ms after the pull (0: only on request); each new
  // terminal's path is printed on its own line of stdout.
  void Run(volatile sig_atomic_t* stop, volatile sig_atomic_t* replug, uint32_t replug_ms);

 private:
  void CloseTerminal();
  void FollowHostBaud();
  void Pump(uint64_t now_us);

  SimLine line_;
  std::string link_;
  std::string slave_path_;
  int master_ = -1;
  int slave_ = -1;
};

// Microseconds since the first call.
uint64_t MonotonicUs();

}  // namespace halv::sim
