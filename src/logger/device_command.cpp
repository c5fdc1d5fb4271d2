// One command and its reply over the logger link, and the link's hooks.
#include <cstring>

#include "logger/link_internal.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kResponseTextMax = kResponseBufferSize - 1;  // 2048 characters
constexpr uint32_t kSilentTryPauseMs = 50;

bool GoOn(DeviceLink*, uint32_t, uint32_t, int) {
  return true;
}
void TraceNothing(DeviceLink*, const char*, int) {}

LoggerProgressHook g_progress = GoOn;
LoggerTraceHook g_trace = TraceNothing;

void LogStepFailure(DeviceLink* link, int32_t code, const char* step) {
  LogMessage(link->log, kLogProgress, LinkTag(link),
             "DeviceCommand got unexpected response (%d) from %s", code, step);
}

// A reply that holds an error word: worth another try.
bool IsErrorReply(const char* response) {
  return strstr(response, "ERROR") != nullptr || strchr(response, '?') != nullptr ||
         strstr(response, "Unsupported") != nullptr;
}

// One try. Returns the bytes received (0: silence) or a channel error.
int32_t TryOnce(DeviceLink* link, const char* command, char end, uint32_t wait_ms) {
  SerialChannel* channel = &link->channel;
  DSPurge(channel, 1);
  link->response[0] = '\0';
  TraceSent(link, command);
  int32_t rc = DSWriteText(channel, command);
  if (rc < 0) {
    LogStepFailure(link, rc, "DCommWrite");
    return rc;
  }
  rc = DSWait(channel, wait_ms + link->options.extra_reply_wait_ms, end);
  if (rc < 0) {
    LogStepFailure(link, rc, "DCommWait");
    return rc;
  }
  uint32_t count = 0;
  rc = DSRead(channel, link->response, kResponseTextMax, &count);
  if (rc < 0) {
    LogStepFailure(link, rc, "DCommRead");
    return rc;
  }
  if (count > kResponseTextMax) count = kResponseTextMax;
  link->response[count] = '\0';
  return static_cast<int32_t>(count);
}

}  // namespace

LoggerProgressHook SetLoggerProgressHook(LoggerProgressHook hook) {
  LoggerProgressHook previous = g_progress;
  g_progress = hook != nullptr ? hook : GoOn;
  return previous;
}

LoggerTraceHook SetLoggerTraceHook(LoggerTraceHook hook) {
  LoggerTraceHook previous = g_trace;
  g_trace = hook != nullptr ? hook : TraceNothing;
  return previous;
}

bool AskToGoOn(DeviceLink* link, uint32_t total, uint32_t done, int phase) {
  if (!link->options.cancel_check) return true;
  return g_progress(link, total, done, phase);
}

void TraceSent(DeviceLink* link, const char* text) {
  if (link->options.trace_mode & kTraceSent) g_trace(link, text, kTraceSent);
}

void TraceReceived(DeviceLink* link, const char* text) {
  if (link->options.trace_mode & kTraceReceived) g_trace(link, text, kTraceReceived);
}

const char* LinkTag(const DeviceLink* link) {
  return link->channel.port_name.empty() ? kSerialTag : link->channel.port_name.c_str();
}

bool OnRadio(const DeviceLink* link) {
  return link->request.connection_kind == kConnectionRadio;
}

int32_t DeviceCommand(DeviceLink* link, const char* command, char end, uint32_t wait_ms,
                      char* reply, uint32_t* reply_length, uint32_t* elapsed_ms) {
  const uint32_t start = MsTick();
  const uint32_t tries = link->retries > 0 ? link->retries : 1;
  int32_t result = kLoggerNoAnswer;
  uint32_t silent = 0;
  uint32_t received = 0;
  for (uint32_t attempt = 0; attempt < tries; ++attempt) {
    const int32_t rc = TryOnce(link, command, end, wait_ms);
    if (rc < 0) {
      result = rc;
      break;
    }
    if (rc == 0) {
      ++silent;
      WaitMs(kSilentTryPauseMs);
      result = kLoggerQueryNoAnswer;
      continue;
    }
    received = static_cast<uint32_t>(rc);
    TraceReceived(link, link->response);
    if (strstr(link->response, command) != nullptr) {
      LogMessage(link->log, kLogError, LinkTag(link),
                 "DeviceCommand is hearing echoed commands -- device is broken? Relay active?");
      result = kLoggerEcho;
      break;
    }
    if (IsErrorReply(link->response)) {
      result = kLoggerErrorReply;
      continue;
    }
    result = rc;
    break;
  }
  if (elapsed_ms != nullptr) *elapsed_ms = MsTick() - start;
  if (silent == tries) result = kLoggerNoAnswer;

  if (result < 0) {
    if (reply != nullptr && reply_length != nullptr && *reply_length > 0) reply[0] = '\0';
    if (reply_length != nullptr) *reply_length = 0;
    return result;
  }
  if (reply != nullptr && reply_length != nullptr && *reply_length > 0) {
    uint32_t n = received;
    if (n > *reply_length - 1) n = *reply_length - 1;
    memcpy(reply, link->response, n);
    reply[n] = '\0';
    *reply_length = n;
    if (n < received) {
      LogMessage(link->log, kLogProgress, LinkTag(link),
                 "DeviceCommand got %d more bytes than expected (%s)",
                 static_cast<int>(received - n), command);
    }
  }
  if (strncmp(link->response, "\r\r>", 3) == 0) {
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "DeviceCommand: device returned empty answer");
    return kLoggerEmptyAnswer;
  }
  return result;
}

}  // namespace halv
