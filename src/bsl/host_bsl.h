// The loader host: the updater's side of the device's resident bootstrap
// loader, HalvBSL. Its record begins with a serial channel, so the channel
// operations work on it directly.
#pragma once

#include <cstdint>

#include "log/diag_log.h"
#include "serial/fixed_text.h"
#include "serial/serial_channel.h"

namespace halv {

// Result codes shared by every loader operation.
enum BslResult : int32_t {
  kBslRefused = -1,  // "-" or "?", or no valid answer
  kBslMissingArgument = -10,
  kBslOutOfRange = -11,
  kBslNoAnswer = -21,  // not connected, or nothing came back
  kBslNoTry = -22,     // retries 0
  kBslCancelled = -40,
  kBslNoMemory = -60,
  kBslAlreadyActive = -80,
  kBslWaitingForHost = -81,
  kBslBadImageFile = -100,
  kBslDamagedImage = -101,
  kBslDeviceError = -110,  // "ERROR", or the attach was not confirmed
  kBslNoLoader = -112,     // "HalvBSL MISSING", or no answer to the start request or probe
};

constexpr const char* kBslTag = "HalvBSL";
constexpr uint32_t kBslBufferSize = 544;
constexpr uint32_t kBslMaxPayloadBytes = 512;
constexpr uint32_t kBslMaxValues = 128;
constexpr uint32_t kBslReplyBytes = 20;  // read at most this many reply bytes
constexpr uint32_t kBslReplyBufferMin = kBslReplyBytes + 1;
constexpr int kVectorCount = 16;

struct HostBSL {
  explicit HostBSL(DiagLog* log);
  ~HostBSL();
  HostBSL(const HostBSL&) = delete;
  HostBSL& operator=(const HostBSL&) = delete;

  SerialChannel channel;
  uint32_t loader_version = 0;
  FixedText<65> image_name;
  uint32_t image_version = 0;  // hundredths
  uint8_t image_kind = 0;
  int32_t construction_error = 0;
  uint32_t image_length = 0;
  char* image_text = nullptr;   // owned
  char* load_cursor = nullptr;  // write position while a TI-Text file is converted
  uint32_t vectors[kVectorCount] = {};
  DiagLog* log = nullptr;
  uint8_t connected = 0;
  uint8_t show_progress = 0;
  uint32_t retries = 0;
  char* command_buffer = nullptr;  // kBslBufferSize
  char* scratch_buffer = nullptr;  // kBslBufferSize
  // The port belongs to a lending link (BSLHandOff): never closed here.
  uint8_t borrowed = 0;
};

// The frame's checksum: 46 for the full stop plus every byte of the letter and
// payload as a signed 8-bit value, modulo 65535.
uint32_t BslChecksum(const char* bytes, uint32_t count);

// Sends one command frame and judges the reply. Returns the count of reply
// bytes on success, -1 on a refusal, another negative code on failure.
int32_t BSLCommand(HostBSL* host, char letter, const char* payload, uint32_t payload_length,
                   char terminator, char* reply, uint32_t* elapsed_ms);
// The number form: each value as "%04X", or "%05X" with five_digits.
int32_t BSLCommand(HostBSL* host, char letter, const uint32_t* values, uint32_t count,
                   char terminator, char* reply, uint32_t* elapsed_ms, bool five_digits);

int32_t BSLConnect(HostBSL* host, const char* port_name, uint32_t loader_baud, bool show_progress,
                   uint32_t retries);
int32_t BSLDisconnect(HostBSL* host);
int32_t BSLHandOff(HostBSL* host, Port* port, char* receive_buffer, const char* port_name,
                   bool show_progress, uint32_t retries);
int32_t BSLHandBack(HostBSL* host);
int32_t BSLCheck(HostBSL* host, const char* port_name, uint32_t baud);
int32_t BSLInvocation(HostBSL* host, uint32_t loader_baud);
int32_t BSLAttach(HostBSL* host);

}  // namespace halv
