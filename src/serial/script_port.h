// An in-memory comm port for tests, driven by a script: the writes the test
// expects and the replies that follow them, in pieces, after delays, or not
// at all; failures of reads and writes; a pulled cable. Time is whatever
// clock is installed (a test installs a VirtualClock), so a read that waits
// for its first byte moves virtual time on by exactly what it waited.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "serial/port.h"

namespace halv {

class ScriptLine {
 public:
  // The next write(s) must add up to these bytes. Replies queued after it are
  // timed from the moment it was matched.
  ScriptLine& Expect(std::string bytes);
  // Bytes that arrive delay_ms after the previous expectation or reply.
  ScriptLine& Reply(std::string bytes, uint32_t delay_ms = 0);
  // The next read returns this code.
  ScriptLine& FailRead(int32_t code = kPortGone);
  // The next write returns this code.
  ScriptLine& FailWrite(int32_t code = kPortGone);
  // From this point on the line is gone: reads and writes give -21.
  ScriptLine& HangUp();

  // Opening fails with this code (0: opening works).
  void SetOpenError(int32_t code) { open_error_ = code; }
  // Steps the device did not reach, and writes that matched no expectation.
  bool Finished() const { return steps_.empty() && mismatches_.empty(); }
  const std::vector<std::string>& Mismatches() const { return mismatches_; }
  const std::string& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }

  uint32_t Baud() const { return line_.baud; }
  bool Dtr() const { return line_.dtr; }
  int OpenCount() const { return open_count_; }
  int CloseCount() const { return close_count_; }
  int PurgeCount() const { return purge_count_; }
  int ReadCount() const { return read_count_; }
  bool IsOpen() const { return open_; }

 private:
  friend class ScriptPort;
  friend class ScriptBackend;

  struct Step {
    enum Kind { kExpect, kReply, kFailRead, kFailWrite, kHangUp } kind;
    std::string bytes;
    uint32_t delay_ms = 0;
    int32_t code = 0;
  };
  struct Arrival {
    uint64_t at_ms;
    std::string bytes;
  };

  ScriptLine& Push(Step step);
  void ScheduleRepliesFrom(uint64_t now_ms);
  int32_t Write(const uint8_t* bytes, size_t count);
  int32_t Read(uint8_t* destination, size_t capacity, uint32_t wait_ms);

  std::deque<Step> steps_;
  std::deque<Arrival> arrivals_;
  uint64_t last_arrival_ms_ = 0;
  std::string unmatched_;  // written bytes not yet matched against an Expect
  std::string written_;
  std::vector<std::string> mismatches_;
  LineSettings line_;
  int32_t open_error_ = 0;
  bool hung_up_ = false;
  bool open_ = false;
  int open_count_ = 0;
  int close_count_ = 0;
  int purge_count_ = 0;
  int read_count_ = 0;
};

// Opens every port name onto the one scripted line (one opener at a time).
class ScriptBackend : public PortBackend {
 public:
  explicit ScriptBackend(std::shared_ptr<ScriptLine> line) : line_(std::move(line)) {}
  int32_t Open(const char* name, std::unique_ptr<Port>* port) override;
  std::string last_name;

 private:
  std::shared_ptr<ScriptLine> line_;
};

// Installs a backend for the length of a scope.
class ScopedPortBackend {
 public:
  explicit ScopedPortBackend(PortBackend* backend) : previous_(SetPortBackend(backend)) {}
  ~ScopedPortBackend() { SetPortBackend(previous_); }
  ScopedPortBackend(const ScopedPortBackend&) = delete;
  ScopedPortBackend& operator=(const ScopedPortBackend&) = delete;

 private:
  PortBackend* previous_;
};

}  // namespace halv
