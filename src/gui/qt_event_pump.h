// The engine's waits in the window: while the engine waits for time or for
// the line, the window's events are processed, so that it repaints and
// answers Close.
#pragma once

#include <cstdint>

#include "serial/clock.h"

namespace halv::gui {

class QtEventPump : public EventPump {
 public:
  void WaitForInput(uint32_t max_ms) override;
  void DispatchPending() override;
};

// Installs the pump for the length of a scope.
class ScopedEventPump {
 public:
  explicit ScopedEventPump(EventPump* pump) : previous_(SetEventPump(pump)) {}
  ~ScopedEventPump() { SetEventPump(previous_); }
  ScopedEventPump(const ScopedEventPump&) = delete;
  ScopedEventPump& operator=(const ScopedEventPump&) = delete;

 private:
  EventPump* previous_;
};

}  // namespace halv::gui
