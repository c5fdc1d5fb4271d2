// The comm port as the serial channel needs it, behind a small interface so
// that each operating system (and each test double) is one file beside it.
// Results follow one rule: a count or 0 for success, a negative code for an
// error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace halv {

// Error codes a port backend returns. Where the Windows number of a condition
// is what the application's messages are keyed on, that number is used.
enum PortError : int32_t {
  kPortNoDevice = -2,       // no such port
  kPortBusy = -5,           // held by another opener (Windows' access denied)
  kPortNoPermission = -13,  // the user may not open it (Linux: not in dialout)
  kPortGone = -21,          // the line failed or the cable was pulled
  kPortInvalid = -22,       // a setting the port cannot take
};

// The line settings the channel reads and applies as a unit.
struct LineSettings {
  uint32_t baud = 9600;
  uint8_t data_bits = 8;
  bool parity = false;
  uint8_t stop_bits = 1;
  bool cts_flow = false;
  bool xon_xoff = false;
  bool dtr = true;
  bool rts = true;
};

// How reads and writes wait: a read returns at once with what has arrived, or
// waits up to read_first_byte_ms for the first byte when nothing has.
struct PortTimeouts {
  uint32_t read_first_byte_ms = 100;
  uint32_t write_per_byte_ms = 10;
  uint32_t write_constant_ms = 100;
};

class Port {
 public:
  virtual ~Port() = default;

  virtual int32_t SetQueueSizes(uint32_t input_bytes, uint32_t output_bytes) = 0;
  virtual int32_t GetLineSettings(LineSettings* settings) = 0;
  virtual int32_t SetLineSettings(const LineSettings& settings) = 0;
  virtual int32_t SetTimeouts(const PortTimeouts& timeouts) = 0;
  virtual int32_t SetDtr(bool raised) = 0;
  // Clears a pending line error condition, where the system keeps one.
  virtual int32_t ClearErrors() = 0;
  // Discards what the driver has received and not yet handed over.
  virtual int32_t PurgeInput() = 0;
  // Writes every byte; returns the count written.
  virtual int32_t Write(const uint8_t* bytes, size_t count) = 0;
  // Reads at most capacity bytes with the time-outs' rule; 0 when none came.
  virtual int32_t Read(uint8_t* destination, size_t capacity) = 0;
  // Closes the port; the object is destroyed afterwards by its owner.
  virtual int32_t Close() = 0;
  // A number that identifies the open port in log lines (a descriptor).
  virtual intptr_t Handle() const = 0;
};

// Opens ports by name. The system backend is used unless a test installs
// another (an in-memory script or a simulated device).
class PortBackend {
 public:
  virtual ~PortBackend() = default;
  // On success stores the port in *port and returns 1; otherwise a negative
  // code of the table above, or a negated errno.
  virtual int32_t Open(const char* name, std::unique_ptr<Port>* port) = 0;
};

PortBackend& SystemPortBackend();
// Installs a backend (null restores the system one). Returns the previous one.
PortBackend* SetPortBackend(PortBackend* backend);
PortBackend& CurrentPortBackend();

}  // namespace halv
