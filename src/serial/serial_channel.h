// The serial channel: one comm port, opened, configured, written, waited on
// for a character, read and purged. Its record heads the device link record
// and the loader host record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "log/diag_log.h"
#include "serial/fixed_text.h"
#include "serial/port.h"

namespace halv {

constexpr uint32_t kReceiveBufferSize = 2048;
constexpr size_t kPortNameMax = 64;  // characters of a port name kept

struct SerialChannel {
  DiagLog* log = nullptr;  // null: no logging
  Port* port = nullptr;    // null when closed; owned unless borrowed
  uint32_t baud = 0;
  FixedText<68> port_name;
  char* receive_buffer = nullptr;  // kReceiveBufferSize bytes, zero-terminated
  uint8_t pending = 0;             // buffered text waits for the next DSRead
  uint8_t owns_buffer = 0;         // DSOpen allocated the buffer
};

// The tag of a closed port's lines.
inline constexpr const char* kSerialTag = "HalvSerial";

// The ports every device is first reached at, and the logger link's table.
constexpr uint32_t kDefaultBaud = 9600;
constexpr uint32_t kBaudTable[] = {0, 1200, 9600, 19200, 38400, 57600, 115200, 230400, 460800};
constexpr uint32_t kBaudTableSize = sizeof kBaudTable / sizeof kBaudTable[0];
constexpr uint8_t kDefaultBaudIndex = 2;

// Codes of this layer beyond the port backend's.
enum SerialResult : int32_t {
  kSerialNoPortName = -6,
  kSerialFailed = -21,
  kSerialNoMemory = -60,
};

int32_t DSOpen(SerialChannel* channel, const char* port_name, uint32_t baud);
int32_t DSClose(SerialChannel* channel);
int32_t DSWrite(SerialChannel* channel, const void* bytes, uint32_t count, uint32_t* written);
// Waits for `wanted` to arrive; returns it, 0 when the time ran out.
int32_t DSWait(SerialChannel* channel, uint32_t timeout_ms, char wanted);
int32_t DSRead(SerialChannel* channel, void* destination, uint32_t capacity, uint32_t* count_read);
int32_t DSPurge(SerialChannel* channel, int mode);
int32_t DSHostBaud(SerialChannel* channel, uint32_t baud);

// Convenience for text commands.
int32_t DSWriteText(SerialChannel* channel, const char* text);

}  // namespace halv
