#include "serial/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace halv {
namespace {

class SteadyClock : public Clock {
 public:
  uint64_t NowMs() override {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

class SleepingPump : public EventPump {
 public:
  void WaitForInput(uint32_t max_ms) override { CurrentClock().SleepMs(max_ms); }
  void DispatchPending() override {}
};

Clock* g_clock = nullptr;
EventPump* g_pump = nullptr;
uint64_t g_waited_ms = 0;

// Below this a wait is a plain sleep; from it on the window is kept alive.
constexpr uint32_t kPumpingWaitMs = 170;

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

Clock* SetClock(Clock* clock) {
  Clock* previous = g_clock;
  g_clock = clock;
  return previous;
}

Clock& CurrentClock() {
  return g_clock != nullptr ? *g_clock : SystemClock();
}

EventPump* SetEventPump(EventPump* pump) {
  EventPump* previous = g_pump;
  g_pump = pump;
  return previous;
}

EventPump& CurrentEventPump() {
  static SleepingPump sleeping;
  return g_pump != nullptr ? *g_pump : sleeping;
}

uint32_t MsTick() {
  return static_cast<uint32_t>(CurrentClock().NowMs());
}

uint64_t WaitedMsTotal() {
  return g_waited_ms;
}

int32_t WaitMs(uint32_t ms) {
  g_waited_ms += ms;
  if (ms < kPumpingWaitMs) {
    CurrentClock().SleepMs(ms);
    return 0;
  }
  EventPump& pump = CurrentEventPump();
  uint32_t start = MsTick();
  uint32_t remaining = ms;
  for (;;) {
    pump.WaitForInput(remaining);
    const uint32_t now = MsTick();
    if (static_cast<int32_t>(now - start) < 0) start = now;  // the tick went backwards
    const uint32_t elapsed = now - start;
    if (elapsed >= ms) break;
    remaining = ms - elapsed;
    pump.DispatchPending();
  }
  return 0;
}

int32_t UtcOffsetSeconds() {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  struct tm universal {};
  gmtime_r(&now, &universal);
  universal.tm_isdst = 0;
  // Reading the universal broken-down time as if it were local time gives a
  // calendar time that lies the offset before now.
  const time_t universal_as_local = mktime(&universal);
  return static_cast<int32_t>(now - universal_as_local) + (local.tm_isdst > 0 ? 3600 : 0);
}

void VirtualClock::AdvanceTo(uint64_t t) {
  while (now_ms_ < t) {
    uint64_t next = t;
    for (Listener* l : listeners_) {
      if (l == nullptr) continue;
      const uint64_t e = l->NextEventMs();
      if (e > now_ms_ && e < next) next = e;
    }
    now_ms_ = next;
    for (Listener* l : listeners_) {
      if (l != nullptr) l->AdvanceTo(now_ms_);
    }
  }
}

void VirtualClock::AddListener(Listener* listener) {
  for (Listener*& l : listeners_) {
    if (l == nullptr) {
      l = listener;
      return;
    }
  }
}

void VirtualClock::RemoveListener(Listener* listener) {
  for (Listener*& l : listeners_) {
    if (l == listener) l = nullptr;
  }
}

}  // namespace halv
