#include "serial/script_port.h"

#include <algorithm>
#include <cstring>

#include "serial/clock.h"

namespace halv {

class ScriptPort : public Port {
 public:
  explicit ScriptPort(std::shared_ptr<ScriptLine> line) : line_(std::move(line)) {}
  ~ScriptPort() override { Close(); }

  int32_t SetQueueSizes(uint32_t, uint32_t) override { return 0; }
  int32_t GetLineSettings(LineSettings* s) override {
    *s = line_->line_;
    return 0;
  }
  int32_t SetLineSettings(const LineSettings& s) override {
    line_->line_ = s;
    return 0;
  }
  int32_t SetTimeouts(const PortTimeouts& t) override {
    timeouts_ = t;
    return 0;
  }
  int32_t SetDtr(bool raised) override {
    line_->line_.dtr = raised;
    return 0;
  }
  int32_t ClearErrors() override { return 0; }
  int32_t PurgeInput() override {
    ++line_->purge_count_;
    // Only what has already arrived is discarded.
    const uint64_t now = CurrentClock().NowMs();
    auto& a = line_->arrivals_;
    a.erase(std::remove_if(a.begin(), a.end(), [now](const auto& x) { return x.at_ms <= now; }),
            a.end());
    return 0;
  }
  int32_t Write(const uint8_t* bytes, size_t count) override { return line_->Write(bytes, count); }
  int32_t Read(uint8_t* destination, size_t capacity) override {
    return line_->Read(destination, capacity, timeouts_.read_first_byte_ms);
  }
  int32_t Close() override {
    if (closed_) return 0;
    closed_ = true;
    line_->open_ = false;
    ++line_->close_count_;
    return 0;
  }
  intptr_t Handle() const override { return 3; }

 private:
  std::shared_ptr<ScriptLine> line_;
  PortTimeouts timeouts_;
  bool closed_ = false;
};

ScriptLine& ScriptLine::Push(Step step) {
  steps_.push_back(std::move(step));
  // Replies at the head of the script (nothing to wait for) are on their way
  // at once, each timed from the one before.
  if (steps_.size() == 1) ScheduleRepliesFrom(std::max(CurrentClock().NowMs(), last_arrival_ms_));
  return *this;
}

ScriptLine& ScriptLine::Expect(std::string bytes) {
  return Push({Step::kExpect, std::move(bytes), 0, 0});
}

ScriptLine& ScriptLine::Reply(std::string bytes, uint32_t delay_ms) {
  return Push({Step::kReply, std::move(bytes), delay_ms, 0});
}

ScriptLine& ScriptLine::FailRead(int32_t code) {
  return Push({Step::kFailRead, {}, 0, code});
}

ScriptLine& ScriptLine::FailWrite(int32_t code) {
  return Push({Step::kFailWrite, {}, 0, code});
}

ScriptLine& ScriptLine::HangUp() {
  return Push({Step::kHangUp, {}, 0, 0});
}

// Takes the replies (and a hang-up) at the head of the script onto the line,
// up to the next step that waits for the updater.
void ScriptLine::ScheduleRepliesFrom(uint64_t now_ms) {
  uint64_t at = now_ms;
  while (!steps_.empty()) {
    Step& s = steps_.front();
    if (s.kind == Step::kReply) {
      at += s.delay_ms;
      arrivals_.push_back({at, std::move(s.bytes)});
    } else if (s.kind == Step::kHangUp) {
      hung_up_ = true;
    } else {
      break;
    }
    steps_.pop_front();
  }
  last_arrival_ms_ = at;
}

int32_t ScriptLine::Write(const uint8_t* bytes, size_t count) {
  if (hung_up_) return kPortGone;
  if (!steps_.empty() && steps_.front().kind == Step::kFailWrite) {
    const int32_t code = steps_.front().code;
    steps_.pop_front();
    ScheduleRepliesFrom(CurrentClock().NowMs());
    return code;
  }
  written_.append(reinterpret_cast<const char*>(bytes), count);
  unmatched_.append(reinterpret_cast<const char*>(bytes), count);
  while (!steps_.empty() && steps_.front().kind == Step::kExpect) {
    const std::string& want = steps_.front().bytes;
    if (unmatched_.size() < want.size()) {
      if (want.compare(0, unmatched_.size(), unmatched_) != 0) {
        mismatches_.push_back(unmatched_);
        unmatched_.clear();
      }
      break;
    }
    if (unmatched_.compare(0, want.size(), want) != 0) {
      mismatches_.push_back(unmatched_);
      unmatched_.clear();
      break;
    }
    unmatched_.erase(0, want.size());
    steps_.pop_front();
    ScheduleRepliesFrom(CurrentClock().NowMs());
  }
  if (steps_.empty() && !unmatched_.empty()) {
    mismatches_.push_back(unmatched_);
    unmatched_.clear();
  }
  return static_cast<int32_t>(count);
}

int32_t ScriptLine::Read(uint8_t* destination, size_t capacity, uint32_t wait_ms) {
  ++read_count_;
  if (!steps_.empty() && steps_.front().kind == Step::kFailRead) {
    const int32_t code = steps_.front().code;
    steps_.pop_front();
    ScheduleRepliesFrom(CurrentClock().NowMs());
    return code;
  }
  Clock& clock = CurrentClock();
  const uint64_t now = clock.NowMs();
  if (arrivals_.empty() || arrivals_.front().at_ms > now) {
    if (hung_up_) return kPortGone;
    const uint64_t deadline = now + wait_ms;
    if (!arrivals_.empty() && arrivals_.front().at_ms <= deadline) {
      clock.SleepMs(static_cast<uint32_t>(arrivals_.front().at_ms - now));
    } else {
      clock.SleepMs(wait_ms);
      return 0;
    }
  }
  // Hand over everything that has arrived by now, as a driver would.
  const uint64_t at = clock.NowMs();
  size_t n = 0;
  while (n < capacity && !arrivals_.empty() && arrivals_.front().at_ms <= at) {
    std::string& bytes = arrivals_.front().bytes;
    const size_t take = std::min(capacity - n, bytes.size());
    memcpy(destination + n, bytes.data(), take);
    n += take;
    bytes.erase(0, take);
    if (bytes.empty()) arrivals_.pop_front();
  }
  return static_cast<int32_t>(n);
}

int32_t ScriptBackend::Open(const char* name, std::unique_ptr<Port>* port) {
  last_name = name != nullptr ? name : "";
  ++line_->open_count_;
  if (line_->open_error_ != 0) return line_->open_error_;
  if (line_->open_) return kPortBusy;
  line_->open_ = true;
  *port = std::make_unique<ScriptPort>(line_);
  return 1;
}

}  // namespace halv
