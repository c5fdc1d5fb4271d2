#include "sim/sim_port_backend.h"

#include <algorithm>

namespace halv::sim {

// One open port onto the backend's line. It outlives neither the backend nor
// a pull of the line: after a pull it only reports the line gone.
class SimPort : public Port {
 public:
  SimPort(SimPortBackend& backend) : backend_(backend), generation_(backend.line_.Generation()) {}
  ~SimPort() override { Close(); }

  int32_t SetQueueSizes(uint32_t, uint32_t) override { return Alive() ? 0 : kPortGone; }
  int32_t GetLineSettings(LineSettings* s) override {
    *s = settings_;
    return Alive() ? 0 : kPortGone;
  }
  int32_t SetLineSettings(const LineSettings& s) override {
    if (!Alive()) return kPortGone;
    settings_ = s;
    backend_.line_.SetHostBaud(s.baud);
    return 0;
  }
  int32_t SetTimeouts(const PortTimeouts& t) override {
    timeouts_ = t;
    return Alive() ? 0 : kPortGone;
  }
  int32_t SetDtr(bool raised) override {
    settings_.dtr = raised;
    return Alive() ? 0 : kPortGone;
  }
  int32_t ClearErrors() override { return 0; }
  int32_t PurgeInput() override {
    if (!Alive()) return kPortGone;
    backend_.line_.HostPurge(SimPortBackend::NowUs());
    return 0;
  }
  int32_t Write(const uint8_t* bytes, size_t count) override {
    if (!Alive()) return kPortGone;
    backend_.line_.HostWrite(bytes, count, SimPortBackend::NowUs());
    return static_cast<int32_t>(count);
  }
  int32_t Read(uint8_t* destination, size_t capacity) override;
  int32_t Close() override {
    if (closed_) return 0;
    closed_ = true;
    if (generation_ == backend_.line_.Generation()) {
      backend_.line_.HostClosed();
      backend_.open_ = false;
    }
    ++backend_.close_count_;
    return 0;
  }
  intptr_t Handle() const override { return 7; }

 private:
  bool Alive() const {
    return !closed_ && generation_ == backend_.line_.Generation() &&
           !backend_.line_.Pulled(SimPortBackend::NowUs());
  }

  SimPortBackend& backend_;
  uint32_t generation_;
  LineSettings settings_;
  PortTimeouts timeouts_;
  bool closed_ = false;
};

int32_t SimPort::Read(uint8_t* destination, size_t capacity) {
  if (closed_ || generation_ != backend_.line_.Generation()) return kPortGone;
  SimLine& line = backend_.line_;
  Clock& clock = CurrentClock();
  const uint64_t start_ms = clock.NowMs();
  const uint64_t deadline_ms = start_ms + timeouts_.read_first_byte_ms;
  for (;;) {
    const uint64_t now_ms = clock.NowMs();
    const size_t n = line.HostRead(destination, capacity, now_ms * 1000);
    if (n > 0) return static_cast<int32_t>(n);
    if (line.Pulled(now_ms * 1000)) return kPortGone;
    if (now_ms >= deadline_ms) return 0;
    // Sleep to the next byte on the line (the device may answer it), at most
    // to the end of the wait.
    const uint64_t next_us = line.NextEventUs();
    uint64_t wake_ms = deadline_ms;
    if (next_us != kNever) wake_ms = std::clamp((next_us + 999) / 1000, now_ms + 1, deadline_ms);
    clock.SleepMs(static_cast<uint32_t>(wake_ms - now_ms));
  }
}

SimPortBackend::SimPortBackend(SimDevice& device, std::string port_name, LineOptions options)
    : line_(device, options), port_name_(std::move(port_name)) {}

SimPortBackend::~SimPortBackend() {
  if (clock_ != nullptr) clock_->RemoveListener(this);
}

void SimPortBackend::Listen(VirtualClock* clock) {
  if (clock_ != nullptr) clock_->RemoveListener(this);
  clock_ = clock;
  if (clock_ != nullptr) clock_->AddListener(this);
}

uint64_t SimPortBackend::NowUs() {
  return CurrentClock().NowMs() * 1000;
}

int32_t SimPortBackend::Open(const char* name, std::unique_ptr<Port>* port) {
  if (name == nullptr || port_name_ != name) return kPortNoDevice;
  if (line_.Pulled(NowUs())) return kPortNoDevice;  // the adapter has gone
  if (open_) return kPortBusy;
  open_ = true;
  ++open_count_;
  *port = std::make_unique<SimPort>(*this);
  return 1;
}

uint64_t SimPortBackend::NextEventMs() {
  const uint64_t next_us = line_.NextEventUs();
  return next_us == kNever ? UINT64_MAX : (next_us + 999) / 1000;
}

void SimPortBackend::AdvanceTo(uint64_t now_ms) {
  line_.AdvanceTo(now_ms * 1000);
}

void SimPortBackend::PullLine() {
  line_.Pull(NowUs());
}

void SimPortBackend::PlugLine() {
  line_.Plug();
  open_ = false;  // a port opened before the pull is dead
}

}  // namespace halv::sim
