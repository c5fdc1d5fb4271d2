#include "sim/sim_line.h"

#include <algorithm>
#include <string>

namespace halv::sim {
namespace {

constexpr uint64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit

}  // namespace

SimLine::SimLine(SimDevice& device, LineOptions options) : device_(device), options_(options) {
  device_.SetSink(this);
}

SimLine::~SimLine() {
  device_.SetSink(nullptr);
}

bool SimLine::RatesDiffer() const {
  return options_.check_baud && host_baud_ != device_.Baud();
}

// When the index-th byte of a burst has fully arrived, from the burst's start.
uint64_t SimLine::ByteOffsetUs(size_t index) const {
  if (!options_.pace || host_baud_ == 0) return 0;
  return (static_cast<uint64_t>(index) + 1) * kBitsPerByte * 1000000 / host_baud_;
}

void SimLine::HostWrite(const uint8_t* bytes, size_t count, uint64_t now_us) {
  AdvanceTo(now_us);
  if (Pulled(now_us) || count == 0) return;
  if (RatesDiffer()) {
    device_.Note("bytes lost: host at another rate",
                 std::to_string(host_baud_) + " baud, device at " + std::to_string(device_.Baud()));
    return;
  }
  const uint64_t start = std::max(now_us, to_device_free_us_);
  for (size_t i = 0; i < count; ++i) to_device_.push_back({start + ByteOffsetUs(i), bytes[i]});
  to_device_free_us_ = to_device_.back().at_us;
}

size_t SimLine::HostRead(uint8_t* destination, size_t capacity, uint64_t now_us) {
  AdvanceTo(now_us);
  size_t n = 0;
  while (n < capacity && !to_host_.empty() && to_host_.front().at_us <= now_us) {
    destination[n++] = to_host_.front().byte;
    to_host_.pop_front();
  }
  return n;
}

void SimLine::HostPurge(uint64_t now_us) {
  AdvanceTo(now_us);
  while (!to_host_.empty() && to_host_.front().at_us <= now_us) to_host_.pop_front();
}

void SimLine::HostClosed() {
  to_host_.clear();
}

uint64_t SimLine::NextEventUs() const {
  uint64_t next = kNever;
  if (!to_device_.empty()) next = to_device_.front().at_us;
  if (!to_host_.empty()) next = std::min(next, to_host_.front().at_us);
  return next;
}

void SimLine::AdvanceTo(uint64_t now_us) {
  while (!to_device_.empty() && to_device_.front().at_us <= now_us) {
    const TimedByte b = to_device_.front();
    to_device_.pop_front();
    if (b.at_us >= pulled_at_us_) continue;  // the cable was gone by then
    device_.TakeByte(b.byte, b.at_us);
  }
  device_.CatchUp(now_us);
  // What the device sent after the pull never arrives.
  while (!to_host_.empty() && to_host_.back().at_us > pulled_at_us_) to_host_.pop_back();
}

void SimLine::Pull(uint64_t now_us) {
  pulled_at_us_ = std::min(pulled_at_us_, now_us);
  device_.Note("line pulled");
}

void SimLine::Plug() {
  if (pulled_at_us_ == kNever) return;
  pulled_at_us_ = kNever;
  ++generation_;
  to_device_.clear();
  to_host_.clear();
  device_.Note("line plugged in");
}

void SimLine::Send(std::string_view bytes, uint64_t after_us) {
  if (bytes.empty()) return;
  if (RatesDiffer()) {
    device_.Note("answer lost: host at another rate",
                 std::to_string(host_baud_) + " baud, device at " + std::to_string(device_.Baud()));
    return;
  }
  const uint64_t start = std::max(device_.Now() + after_us, to_host_free_us_);
  for (size_t i = 0; i < bytes.size(); ++i) {
    to_host_.push_back({start + ByteOffsetUs(i), static_cast<uint8_t>(bytes[i])});
  }
  to_host_free_us_ = to_host_.back().at_us;
}

void SimLine::Unplug() {
  // Pulled once the answer just sent has gone out.
  pulled_at_us_ = std::min(pulled_at_us_, std::max(device_.Now(), to_host_free_us_) + 1);
}

}  // namespace halv::sim
