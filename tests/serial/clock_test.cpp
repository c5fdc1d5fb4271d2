#include "serial/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace halv {
namespace {

// Records what WaitMs asks of the window; input "arrives" every `every` ms.
class CountingPump : public EventPump {
 public:
  explicit CountingPump(uint32_t every) : every_(every) {}
  void WaitForInput(uint32_t max_ms) override {
    ++waits;
    CurrentClock().SleepMs(max_ms < every_ ? max_ms : every_);
  }
  void DispatchPending() override { ++dispatches; }
  int waits = 0;
  int dispatches = 0;

 private:
  uint32_t every_;
};

TEST(WaitMs, ShortWaitsSleepWithoutThePump) {
  VirtualClock clock;
  ScopedClock use(&clock);
  CountingPump pump(50);
  EventPump* previous = SetEventPump(&pump);
  const uint32_t start = MsTick();
  WaitMs(169);
  EXPECT_EQ(MsTick() - start, 169u);
  EXPECT_EQ(pump.waits, 0);
  SetEventPump(previous);
}

TEST(WaitMs, LongWaitsDispatchWindowEventsUntilTheTimeIsUp) {
  VirtualClock clock;
  ScopedClock use(&clock);
  CountingPump pump(50);
  EventPump* previous = SetEventPump(&pump);
  const uint32_t start = MsTick();
  WaitMs(200);
  EXPECT_EQ(MsTick() - start, 200u);
  EXPECT_EQ(pump.waits, 4);
  EXPECT_EQ(pump.dispatches, 3);
  SetEventPump(previous);
}

TEST(WaitMs, DefaultPumpJustSleeps) {
  VirtualClock clock;
  ScopedClock use(&clock);
  const uint32_t start = MsTick();
  WaitMs(1000);
  EXPECT_EQ(MsTick() - start, 1000u);
}

TEST(UtcOffsetSeconds, MatchesTheTimeZone) {
  const char* saved = getenv("TZ");
  const std::string old = saved != nullptr ? saved : "";
  struct Case {
    const char* tz;
    int32_t offset;
  };
  for (const Case& c : {Case{"UTC0", 0}, Case{"EST5", -5 * 3600}, Case{"IST-5:30", 19800}}) {
    setenv("TZ", c.tz, 1);
    tzset();
    EXPECT_EQ(UtcOffsetSeconds(), c.offset) << c.tz;
  }
  if (saved != nullptr) {
    setenv("TZ", old.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(VirtualClock, SleepsStopAtListenerEvents) {
  struct Alarm : VirtualClock::Listener {
    uint64_t at = 1250;
    std::vector<uint64_t> seen;
    uint64_t NextEventMs() override { return at; }
    void AdvanceTo(uint64_t now) override { seen.push_back(now); }
  } alarm;
  VirtualClock clock(1000);
  clock.AddListener(&alarm);
  clock.SleepMs(500);
  EXPECT_EQ(clock.NowMs(), 1500u);
  EXPECT_EQ(alarm.seen, (std::vector<uint64_t>{1250, 1500}));
  clock.RemoveListener(&alarm);
}

}  // namespace
}  // namespace halv
