// Time for every layer: the millisecond tick, the delay that keeps a window
// alive, and the local time offset. The clock and the event pump are
// replaceable, so that tests run on virtual time and a desktop window can
// process its events while the engine waits.
#pragma once

#include <cstdint>

namespace halv {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds.
  virtual uint64_t NowMs() = 0;
  // Lets at least ms milliseconds pass.
  virtual void SleepMs(uint32_t ms) = 0;
};

// What a window does while the engine waits: wait for its own input or for
// the time, whichever comes first, and then dispatch what is pending.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Returns when window input arrived or max_ms passed.
  virtual void WaitForInput(uint32_t max_ms) = 0;
  // Processes every pending window event.
  virtual void DispatchPending() = 0;
};

// The monotonic system clock, used unless a test installs another.
Clock& SystemClock();
// Installs a clock (null restores the system clock). Returns the previous one.
Clock* SetClock(Clock* clock);
Clock& CurrentClock();

// The default pump sleeps on the current clock and dispatches nothing.
EventPump* SetEventPump(EventPump* pump);
EventPump& CurrentEventPump();

// Monotonic milliseconds, cut to 32 bits. Durations are differences.
uint32_t MsTick();

// Waits at least ms milliseconds. Below 170 ms a plain sleep; from 170 ms on
// the event pump keeps the window alive during the wait.
int32_t WaitMs(uint32_t ms);

// How many milliseconds WaitMs was asked to wait since the program started:
// the fixed pauses of the protocols, for a benchmark to set against the wire.
uint64_t WaitedMsTotal();

// Local time minus universal time, in seconds, daylight saving included.
int32_t UtcOffsetSeconds();

// A clock that moves only when somebody sleeps on it. Things that happen at a
// given time (a simulated device's reply) register as listeners and are told
// of every step, so a test of timing runs instantly and exactly.
class VirtualClock : public Clock {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    // The earliest time at which the listener has something to do, or
    // UINT64_MAX. A sleep stops there so that the listener can act on time.
    virtual uint64_t NextEventMs() = 0;
    // Called whenever the time moved.
    virtual void AdvanceTo(uint64_t now_ms) = 0;
  };

  explicit VirtualClock(uint64_t start_ms = 1000) : now_ms_(start_ms) {}
  uint64_t NowMs() override { return now_ms_; }
  void SleepMs(uint32_t ms) override { AdvanceTo(now_ms_ + ms); }
  // Moves time on to t, stopping at each listener event on the way.
  void AdvanceTo(uint64_t t);
  void AddListener(Listener* listener);
  void RemoveListener(Listener* listener);

 private:
  uint64_t now_ms_;
  static constexpr int kMaxListeners = 8;
  Listener* listeners_[kMaxListeners] = {};
};

// Installs a clock for the length of a scope.
class ScopedClock {
 public:
  explicit ScopedClock(Clock* clock) : previous_(SetClock(clock)) {}
  ~ScopedClock() { SetClock(previous_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace halv
