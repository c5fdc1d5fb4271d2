// The serial line between a host port and a simulated device, in both
// directions, on a microsecond time line that the transport drives (virtual
// time in process, the monotonic clock in halvsim). With pacing each byte
// takes 10 bit times at the host's current rate; a host at another rate than
// the device's loses what either side sends, as on a real line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>

#include "sim/sim_device.h"

namespace halv::sim {

struct LineOptions {
  bool pace = false;       // bytes take their time on the wire
  bool check_baud = true;  // a rate mismatch loses the bytes
};

constexpr uint64_t kNever = UINT64_MAX;

class SimLine : public ReplySink {
 public:
  SimLine(SimDevice& device, LineOptions options);
  ~SimLine() override;
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;

  SimDevice& Device() { return device_; }
  void SetHostBaud(uint32_t baud) { host_baud_ = baud; }
  uint32_t HostBaud() const { return host_baud_; }

  // The host's side.
  void HostWrite(const uint8_t* bytes, size_t count, uint64_t now_us);
  // Bytes that have reached the host by now_us.
  size_t HostRead(uint8_t* destination, size_t capacity, uint64_t now_us);
  void HostPurge(uint64_t now_us);
  // The port was closed: what is still on its way to the host is lost.
  void HostClosed();

  // The next time a byte reaches either side, or kNever.
  uint64_t NextEventUs() const;
  // Hands the device every byte that reached it by now_us, in order.
  void AdvanceTo(uint64_t now_us);

  // A pulled line passes nothing; plugging it back in makes a new connection
  // (ports opened before the pull stay dead).
  bool Pulled(uint64_t now_us) const { return now_us >= pulled_at_us_; }
  uint64_t PulledAtUs() const { return pulled_at_us_; }
  void Pull(uint64_t now_us);
  void Plug();
  uint32_t Generation() const { return generation_; }

  // ReplySink: the device's answers.
  void Send(std::string_view bytes, uint64_t after_us) override;
  void Unplug() override;

 private:
  struct TimedByte {
    uint64_t at_us;
    uint8_t byte;
  };
  bool RatesDiffer() const;
  uint64_t ByteOffsetUs(size_t index) const;

  SimDevice& device_;
  LineOptions options_;
  uint32_t host_baud_ = 9600;
  std::deque<TimedByte> to_device_;
  std::deque<TimedByte> to_host_;
  uint64_t to_device_free_us_ = 0;
  uint64_t to_host_free_us_ = 0;
  uint64_t pulled_at_us_ = kNever;
  uint32_t generation_ = 0;
};

}  // namespace halv::sim
