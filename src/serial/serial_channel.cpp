#include "serial/serial_channel.h"

#include <cstdlib>
#include <cstring>

#include "serial/clock.h"

namespace halv {
namespace {

// Empty reads after which a long wait pauses between reads, and how long.
constexpr int kEmptyReadsBeforePause = 6;
constexpr uint32_t kPauseAboveTimeoutMs = 400;
constexpr uint32_t kPauseMs = 200;

const char* Tag(const SerialChannel* channel) {
  return channel->port_name.empty() ? kSerialTag : channel->port_name.c_str();
}

// The first step of DSOpen that a port refused ends the open with its code.
int32_t ConfigurePort(SerialChannel* channel, uint32_t baud) {
  Port* port = channel->port;
  const char* tag = Tag(channel);
  int32_t rc = port->SetQueueSizes(kReceiveBufferSize, kReceiveBufferSize);
  if (rc < 0) {
    LogMessage(channel->log, kLogDetail, tag,
               "DSOpen failed to set buffer size on comm port (error %d)", -rc);
  }
  LineSettings line;
  rc = port->GetLineSettings(&line);
  if (rc < 0) {
    LogMessage(channel->log, kLogError, tag,
               "DSOpen failed to retreive DCB on comm port (error %d)", -rc);
    return rc;
  }
  line = LineSettings{};  // 8N1, no flow control, DTR and RTS on
  line.baud = baud;
  rc = port->SetLineSettings(line);
  if (rc < 0) {
    LogMessage(channel->log, kLogError, tag, "DSOpen failed to apply DCB on comm port (error %d)",
               -rc);
    return rc;
  }
  channel->baud = baud;
  rc = port->SetTimeouts(PortTimeouts{});
  if (rc < 0) {
    LogMessage(channel->log, kLogError, tag,
               "DSOpen failed to set timeouts on comm port (error %d)", -rc);
    return rc;
  }
  port->SetDtr(true);
  port->ClearErrors();
  return 1;
}

}  // namespace

int32_t DSOpen(SerialChannel* channel, const char* port_name, uint32_t baud) {
  if (channel->port != nullptr) {
    LogMessage(channel->log, kLogDetail, kSerialTag, "DSOpen found port \"%d\" already open",
               static_cast<int>(channel->port->Handle()));
    DSClose(channel);
    WaitMs(100);
  }
  channel->port_name.Assign(port_name, kPortNameMax);
  if (baud == 0) baud = kDefaultBaud;

  std::unique_ptr<Port> port;
  int32_t rc = CurrentPortBackend().Open(channel->port_name.c_str(), &port);
  if (rc < 0 || !port) {
    if (rc >= 0) rc = kSerialFailed;
    LogMessage(channel->log, kLogError, Tag(channel), "DSOpen failed to open comm port (error %d)",
               -rc);
    return rc;
  }
  channel->port = port.release();

  rc = ConfigurePort(channel, baud);
  if (rc < 0) return rc;  // the port stays open in the record; the caller closes it

  if (channel->receive_buffer == nullptr) {
    channel->receive_buffer = static_cast<char*>(malloc(kReceiveBufferSize));
    if (channel->receive_buffer == nullptr) return kSerialNoMemory;
    channel->owns_buffer = 1;
  } else {
    channel->owns_buffer = 0;
  }
  memset(channel->receive_buffer, 0, kReceiveBufferSize);
  channel->pending = 0;

  LogMessage(channel->log, kLogProgress, Tag(channel),
             "DSOpen successfully opened and configured comm port at %d baud",
             static_cast<int>(baud));
  return 1;
}

int32_t DSClose(SerialChannel* channel) {
  if (channel->port == nullptr) return 0;
  channel->port->SetDtr(false);
  const int32_t rc = channel->port->Close();
  delete channel->port;
  channel->port = nullptr;
  if (channel->owns_buffer) {
    free(channel->receive_buffer);
    channel->receive_buffer = nullptr;
    channel->owns_buffer = 0;
  }
  if (rc < 0) {
    LogMessage(channel->log, kLogError, Tag(channel),
               "DSClose failed to close comm port (error %d)", -rc);
    return rc;
  }
  LogMessage(channel->log, kLogProgress, Tag(channel), "DSClose closed comm port");
  return 1;
}

int32_t DSWrite(SerialChannel* channel, const void* bytes, uint32_t count, uint32_t* written) {
  if (written != nullptr) *written = 0;
  if (channel->port == nullptr) {
    LogMessage(channel->log, kLogError, kSerialTag, "DSWrite tried to write to a closed port");
    return kSerialFailed;
  }
  const int32_t rc = channel->port->Write(static_cast<const uint8_t*>(bytes), count);
  if (rc < 0) {
    LogMessage(channel->log, kLogError, Tag(channel), "DSWrite WriteFile failed (error %d)", -rc);
    return kSerialFailed;
  }
  if (written != nullptr) *written = static_cast<uint32_t>(rc);
  LogMessage(channel->log, kLogDetail, Tag(channel), "DSWrite wrote %d bytes", rc);
  return rc;
}

int32_t DSWriteText(SerialChannel* channel, const char* text) {
  uint32_t written = 0;
  return DSWrite(channel, text, static_cast<uint32_t>(strlen(text)), &written);
}

int32_t DSWait(SerialChannel* channel, uint32_t timeout_ms, char wanted) {
  if (channel->port == nullptr) {
    LogMessage(channel->log, kLogError, kSerialTag, "DSWait tried to operate on a closed port");
    return kSerialFailed;
  }
  char* buffer = channel->receive_buffer;
  if (buffer == nullptr) return kSerialNoMemory;

  const uint32_t start = MsTick();
  uint32_t fill = 0;
  buffer[0] = '\0';
  int empty_reads = 0;
  for (;;) {
    // A full buffer that does not hold the character never will: the device
    // sends something else, and reading on would only spin.
    const uint32_t room = kReceiveBufferSize - 1 - fill;
    int32_t n = room > 0 ? channel->port->Read(reinterpret_cast<uint8_t*>(buffer + fill), room) : 0;
    if (n < 0) {
      LogMessage(channel->log, kLogError, Tag(channel), "DSWait ReadFile failed (error %d)", -n);
      return kSerialFailed;
    }
    if (n > 0) {
      // The text protocols are 7-bit ASCII; a NUL (line noise) would end the
      // buffered text early, so it is dropped.
      uint32_t kept = fill;
      for (uint32_t i = fill; i < fill + static_cast<uint32_t>(n); ++i) {
        if (buffer[i] != '\0') buffer[kept++] = buffer[i];
      }
      fill = kept;
      buffer[fill] = '\0';
      if (memchr(buffer, wanted, fill) != nullptr) {
        channel->pending = 1;
        LogMessage(channel->log, kLogDetail, Tag(channel), "DSWait found '%c' in %d ms", wanted,
                   static_cast<int>(MsTick() - start));
        return static_cast<unsigned char>(wanted);
      }
      continue;
    }
    const uint32_t elapsed = MsTick() - start;
    if (elapsed > timeout_ms || room == 0) {
      LogMessage(channel->log, kLogDetail, Tag(channel),
                 "DSWait read %d bytes, but never found '%c' in %d ms", static_cast<int>(fill),
                 wanted, static_cast<int>(elapsed));
      return 0;
    }
    if (++empty_reads >= kEmptyReadsBeforePause && timeout_ms > kPauseAboveTimeoutMs) {
      WaitMs(kPauseMs);
    }
  }
}

int32_t DSRead(SerialChannel* channel, void* destination, uint32_t capacity, uint32_t* count_read) {
  *count_read = 0;
  char* buffer = channel->receive_buffer;
  if (buffer == nullptr) return kSerialNoMemory;
  auto* out = static_cast<uint8_t*>(destination);

  const uint32_t buffered = static_cast<uint32_t>(strnlen(buffer, kReceiveBufferSize));
  if (buffered > 0) {
    uint32_t n = buffered;
    if (capacity < n) {
      n = capacity;
      channel->pending = 1;
    }
    memcpy(out, buffer, n);
    buffer[0] = '\0';  // the rest of a text that did not fit is dropped
    *count_read = n;
    LogMessage(channel->log, kLogDetail, Tag(channel), "DSRead read %d bytes from gReadBuffer",
               static_cast<int>(n));
  }
  if (channel->pending) {
    channel->pending = 0;
    return static_cast<int32_t>(*count_read);
  }
  if (channel->port == nullptr) {
    LogMessage(channel->log, kLogError, kSerialTag, "DSRead tried to read from a closed port");
    return kSerialFailed;
  }
  const int32_t n = channel->port->Read(out + *count_read, capacity - *count_read);
  if (n < 0) {
    LogMessage(channel->log, kLogError, Tag(channel), "DSRead ReadFile failed (error %d)", -n);
    return kSerialFailed;
  }
  *count_read += static_cast<uint32_t>(n);
  LogMessage(channel->log, kLogDetail, Tag(channel), "DSRead read %d btyes",
             static_cast<int>(*count_read));
  return static_cast<int32_t>(*count_read);
}

int32_t DSPurge(SerialChannel* channel, int mode) {
  if (mode == 1 && channel->port != nullptr) channel->port->PurgeInput();
  if (channel->receive_buffer != nullptr) channel->receive_buffer[0] = '\0';
  return 0;
}

int32_t DSHostBaud(SerialChannel* channel, uint32_t baud) {
  if (baud == channel->baud) return 0;
  if (channel->port_name.empty()) return kSerialNoPortName;
  int32_t rc = kSerialFailed;
  LineSettings line;
  if (channel->port != nullptr) {
    rc = channel->port->GetLineSettings(&line);
    if (rc >= 0) {
      line.baud = baud;
      rc = channel->port->SetLineSettings(line);
    }
  }
  if (rc < 0) {
    LogMessage(channel->log, kLogError, Tag(channel),
               "DSHostBaud failed to apply new baud rate \"%d\" (error %d)", static_cast<int>(baud),
               -rc);
    return rc;
  }
  channel->baud = baud;
  return 1;
}

}  // namespace halv
