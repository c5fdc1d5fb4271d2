// The checksummed command frame: letter, payload, ".", four checksum digits,
// carriage return; and the judgement of the loader's short reply.
#include <cstdio>
#include <cstring>

#include "bsl/host_bsl.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr char kFrameStop = '.';
constexpr uint32_t kReplyWaitMs = 1000;
// Letter, payload, ".", four digits, "\r" and a terminating zero.
constexpr uint32_t kFrameOverhead = 1 + 1 + 4 + 1 + 1;

// Appends ".XXXX\r" to the frame built so far and returns its full length.
uint32_t SealFrame(char* frame, uint32_t length) {
  const uint32_t sum = BslChecksum(frame, length);
  snprintf(frame + length, kBslBufferSize - length, ".%04X\r", sum);
  return length + 6;
}

// The reply rule: "+" first (at least one byte read) or "+" second is success;
// "-" or "?" first is a refusal; anything else is no valid answer.
enum class ReplyVerdict { kSuccess, kRefusal, kInvalid };
ReplyVerdict JudgeReply(const char* reply, uint32_t count) {
  if ((count >= 1 && reply[0] == '+') || (count >= 2 && reply[1] == '+')) {
    return ReplyVerdict::kSuccess;
  }
  if (count >= 1 && (reply[0] == '-' || reply[0] == '?')) return ReplyVerdict::kRefusal;
  return ReplyVerdict::kInvalid;
}

void LogStepFailure(HostBSL* host, const char* step, int32_t code) {
  LogMessage(host->log, kLogError, kBslTag, "BSLCommand got unexpected response (%d) from %s", code,
             step);
}

// Sends the frame in the command buffer and judges what comes back.
int32_t Exchange(HostBSL* host, uint32_t frame_length, char terminator, char* reply,
                 uint32_t* elapsed_ms) {
  const uint32_t start = MsTick();
  DSPurge(&host->channel, 1);
  reply[0] = '\0';
  uint32_t count = 0;
  int32_t failed = 0;  // the code of the step that failed, if one did
  uint32_t written = 0;
  int32_t rc = DSWrite(&host->channel, host->command_buffer, frame_length, &written);
  if (rc < 0) {
    failed = rc;
    LogStepFailure(host, "DCommWrite", rc);
  }
  if (failed == 0) {
    rc = DSWait(&host->channel, kReplyWaitMs, terminator);
    if (rc < 0) {
      failed = rc;
      LogStepFailure(host, "DCommWait", rc);
    }
  }
  if (failed == 0) {
    rc = DSRead(&host->channel, reply, kBslReplyBytes, &count);
    if (rc < 0) {
      failed = rc;
      count = 0;
      LogStepFailure(host, "DCommRead", rc);
    }
  }
  reply[count] = '\0';
  if (elapsed_ms != nullptr) *elapsed_ms = MsTick() - start;

  if (failed != 0) return failed;
  if (count == 0) return kBslNoAnswer;
  switch (JudgeReply(reply, count)) {
    case ReplyVerdict::kSuccess:
      return static_cast<int32_t>(count);
    case ReplyVerdict::kRefusal:
    case ReplyVerdict::kInvalid:
      break;
  }
  return kBslRefused;
}

}  // namespace

uint32_t BslChecksum(const char* bytes, uint32_t count) {
  int64_t sum = kFrameStop;
  for (uint32_t i = 0; i < count; ++i) sum += static_cast<signed char>(bytes[i]);
  sum %= 65535;
  if (sum < 0) sum += 65535;
  return static_cast<uint32_t>(sum);
}

int32_t BSLCommand(HostBSL* host, char letter, const char* payload, uint32_t payload_length,
                   char terminator, char* reply, uint32_t* elapsed_ms) {
  if (!host->connected) return kBslNoAnswer;
  if (payload_length > kBslMaxPayloadBytes) return kBslOutOfRange;
  if (reply == nullptr) return kBslMissingArgument;
  const bool has_payload = payload != nullptr && payload_length > 0;
  if (!has_payload && (letter != 'g' || payload_length != 0)) return kBslMissingArgument;
  if (host->command_buffer == nullptr) return kBslNoMemory;

  char* frame = host->command_buffer;
  frame[0] = letter;
  if (payload_length > 0) memcpy(frame + 1, payload, payload_length);
  const uint32_t length = SealFrame(frame, 1 + payload_length);
  return Exchange(host, length, terminator, reply, elapsed_ms);
}

int32_t BSLCommand(HostBSL* host, char letter, const uint32_t* values, uint32_t count,
                   char terminator, char* reply, uint32_t* elapsed_ms, bool five_digits) {
  if (!host->connected) return kBslNoAnswer;
  if (count > kBslMaxValues) return kBslOutOfRange;
  if (reply == nullptr || (values == nullptr && count > 0)) return kBslMissingArgument;
  if (host->command_buffer == nullptr) return kBslNoMemory;

  char* frame = host->command_buffer;
  frame[0] = letter;
  uint32_t length = 1;
  for (uint32_t i = 0; i < count; ++i) {
    // A value that needs more digits takes more; the frame must still fit
    // the command buffer, so a payload beyond 512 digits is refused.
    char digits[16];
    const int n = snprintf(digits, sizeof digits, five_digits ? "%05X" : "%04X", values[i]);
    if (length - 1 + static_cast<uint32_t>(n) > kBslMaxPayloadBytes) return kBslOutOfRange;
    memcpy(frame + length, digits, static_cast<size_t>(n));
    length += static_cast<uint32_t>(n);
  }
  static_assert(kBslMaxPayloadBytes + kFrameOverhead <= kBslBufferSize);
  length = SealFrame(frame, length);
  return Exchange(host, length, terminator, reply, elapsed_ms);
}

}  // namespace halv
