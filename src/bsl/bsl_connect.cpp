// Starting the loader from the running firmware, attaching to it, and taking
// and giving back the comm port.
#include <cstdio>
#include <cstring>

#include "bsl/host_bsl.h"
#include "serial/clock.h"

namespace halv {
namespace {

// The firmware starts its loader when asked with this word.
constexpr const char* kStartRequest = "boot ZIBW\r";
constexpr uint32_t kStartReplyWaitMs = 750;
constexpr uint32_t kAfterOpenMs = 1000;
constexpr uint32_t kBetweenTriesMs = 175;
constexpr uint32_t kInvocationProbeWaitMs = 100;
constexpr uint32_t kInvocationAttachWaitMs = 100;
constexpr uint32_t kAttachProbeWaitMs = 200;
constexpr uint32_t kAttachWaitMs = 175;
constexpr uint32_t kCheckProbeWaitMs = 200;
constexpr uint32_t kAfterCloseMs = 100;
constexpr uint32_t kShortReplyBytes = 31;

// A short reply to a probe or start request, zero-terminated.
struct ShortReply {
  char text[kShortReplyBytes + 1] = {};
  uint32_t count = 0;
  bool Has(const char* what) const { return strstr(text, what) != nullptr; }
};

// Writes text and, after wait_ms, reads the reply. Negative on a failed
// write or read.
int32_t SendAndCollect(HostBSL* host, const char* text, uint32_t wait_ms, ShortReply* reply) {
  *reply = ShortReply{};
  int32_t rc = DSWriteText(&host->channel, text);
  if (rc < 0) return rc;
  WaitMs(wait_ms);
  rc = DSRead(&host->channel, reply->text, kShortReplyBytes, &reply->count);
  if (rc < 0) return rc;
  reply->text[reply->count] = '\0';
  return 1;
}

// Opens the port for the host; a refused configuration closes it again, so a
// failed open leaves nothing behind.
int32_t OpenForHost(HostBSL* host, const char* port_name, uint32_t baud) {
  const int32_t rc = DSOpen(&host->channel, port_name, baud);
  if (rc < 0) DSClose(&host->channel);
  return rc;
}

// First stage: ask the running firmware to start its loader. Ends with 1 when
// a reply ended the stage in success, -80 when the loader was already active,
// or an error (also when the tries ran out).
int32_t RequestLoaderStart(HostBSL* host, uint32_t loader_baud, uint32_t* tries) {
  int32_t code = 1;
  ShortReply reply;
  for (*tries = 0; *tries < host->retries;) {
    ++*tries;
    DSPurge(&host->channel, 1);
    if (loader_baud != kDefaultBaud) DSHostBaud(&host->channel, kDefaultBaud);
    const int32_t rc = SendAndCollect(host, kStartRequest, kStartReplyWaitMs, &reply);
    if (rc < 0) return rc;
    if (reply.Has("ERROR")) {
      code = kBslDeviceError;
      WaitMs(kBetweenTriesMs);
      continue;
    }
    if (reply.Has("HalvBSL MISSING")) return kBslNoLoader;
    if (reply.Has("?")) return kBslAlreadyActive;
    if (reply.count > 0) {
      // Whatever else it says ends the stage; a code from an earlier try
      // stands unless the firmware confirmed.
      if (reply.Has("OK") || reply.Has("$")) code = 1;
      return code;
    }
    code = kBslNoLoader;
    WaitMs(kBetweenTriesMs);
  }
  return code;
}

// Second stage: probe the started loader for "$" and attach with "P".
int32_t AttachStartedLoader(HostBSL* host, uint32_t* tries) {
  int32_t code = kBslNoTry;
  ShortReply reply;
  for (*tries = 0; *tries < host->retries;) {
    ++*tries;
    int32_t rc = SendAndCollect(host, "\r", kInvocationProbeWaitMs, &reply);
    if (rc < 0) return rc;
    if (reply.text[0] != '$') {
      code = kBslNoLoader;
      continue;
    }
    DSPurge(&host->channel, 1);
    rc = SendAndCollect(host, "P", kInvocationAttachWaitMs, &reply);
    if (rc < 0) return rc;
    if (reply.Has("#")) return 1;
    code = kBslDeviceError;
    WaitMs(kBetweenTriesMs);
  }
  return code;
}

// Reads the loader's version from a reply "+%d+"; -1 when there is none.
int32_t ParseLoaderVersion(const char* reply) {
  int version = -1;
  if (sscanf(reply, "+%d+", &version) != 1 || version < 0) return kBslRefused;
  return version;
}

}  // namespace

int32_t BSLInvocation(HostBSL* host, uint32_t loader_baud) {
  if (host->retries == 0) {
    LogMessage(host->log, kLogError, kBslTag, "BSLInvocation failed with error %d", kBslNoTry);
    return kBslNoTry;
  }
  uint32_t tries = 0;
  int32_t code = RequestLoaderStart(host, loader_baud, &tries);
  if (code == 1) {
    if (loader_baud != kDefaultBaud) DSHostBaud(&host->channel, loader_baud);
    code = AttachStartedLoader(host, &tries);
  }
  if (code == 1) {
    LogMessage(host->log, kLogNote, kBslTag, "BSLInvocation successful (%d tries)",
               static_cast<int>(tries));
  } else if (code == kBslAlreadyActive) {
    LogMessage(host->log, kLogNote, kBslTag, "BSLInvocation found the HalvBSL already active");
    code = 1;
  } else {
    LogMessage(host->log, kLogError, kBslTag, "BSLInvocation failed with error %d", code);
  }
  return code;
}

int32_t BSLAttach(HostBSL* host) {
  int32_t code = kBslNoTry;
  ShortReply reply;
  uint32_t tries = 0;
  while (tries < host->retries) {
    ++tries;
    DSPurge(&host->channel, 1);
    int32_t rc = SendAndCollect(host, "\r", kAttachProbeWaitMs, &reply);
    if (rc < 0) {
      code = rc;
      break;
    }
    if (reply.Has("?\r")) {
      code = kBslAlreadyActive;
      break;
    }
    DSPurge(&host->channel, 1);
    rc = SendAndCollect(host, "P", kAttachWaitMs, &reply);
    if (rc < 0) {
      code = rc;
      break;
    }
    if (reply.text[0] == '#') {
      code = 1;
      break;
    }
    code = kBslDeviceError;
    WaitMs(kBetweenTriesMs);
  }
  if (code == 1) {
    LogMessage(host->log, kLogNote, kBslTag, "BSLAttach successful (%d tries)",
               static_cast<int>(tries));
  } else if (code == kBslAlreadyActive) {
    LogMessage(host->log, kLogNote, kBslTag, "BSLAttach found the HalvBSL already active");
    code = 1;
  } else {
    LogMessage(host->log, kLogError, kBslTag, "BSLAttach failed with error %d", code);
  }
  return code;
}

int32_t BSLCheck(HostBSL* host, const char* port_name, uint32_t baud) {
  if (host->connected) {
    DSHostBaud(&host->channel, baud);
  } else {
    const int32_t rc = OpenForHost(host, port_name, baud);
    if (rc < 0) {
      LogMessage(host->log, kLogError, kBslTag,
                 "BSLCheck received error while opening serial port (%d)", rc);
      return rc;
    }
    host->connected = 1;
  }
  WaitMs(kAfterOpenMs);
  DSPurge(&host->channel, 1);
  ShortReply reply;
  const int32_t rc = SendAndCollect(host, "\r", kCheckProbeWaitMs, &reply);
  if (rc < 0) return rc;
  if (reply.Has("?")) {
    LogMessage(host->log, kLogNote, kBslTag, "BSLCheck found the HalvBSL already active");
    return kBslAlreadyActive;
  }
  if (reply.Has("$")) {
    LogMessage(host->log, kLogNote, kBslTag, "BSLCheck found the HalvBSL waiting for a connection");
    return kBslWaitingForHost;
  }
  LogMessage(host->log, kLogProgress, kBslTag, "BSLCheck didn't get a response from the HalvBSL");
  return kBslNoAnswer;
}

int32_t BSLConnect(HostBSL* host, const char* port_name, uint32_t loader_baud, bool show_progress,
                   uint32_t retries) {
  if (port_name == nullptr || port_name[0] == '\0') return kBslMissingArgument;
  host->show_progress = show_progress ? 1 : 0;
  host->retries = retries;

  int32_t result = OpenForHost(host, port_name, kDefaultBaud);
  if (result < 0) {
    LogMessage(host->log, kLogError, kBslTag,
               "BSLConnect received error while opening serial port (%d)", result);
    return result;
  }
  host->connected = 1;
  WaitMs(kAfterOpenMs);

  result = kBslNoTry;
  char reply[kBslReplyBufferMin + 1];
  for (uint32_t attempt = 0; attempt < retries; ++attempt) {
    const int32_t invoked = BSLInvocation(host, loader_baud);
    if (invoked < 0 && BSLCheck(host, port_name, loader_baud) != kBslAlreadyActive) {
      result = invoked;
      break;
    }
    uint32_t elapsed = 0;
    int32_t rc = BSLCommand(host, 'g', nullptr, 0, '\r', reply, &elapsed);
    if (rc < 0 || strstr(reply, "ERROR") != nullptr) {
      result = rc < 0 ? rc : kBslDeviceError;
      WaitMs(kBetweenTriesMs);
      continue;
    }
    // A reply without the version is no valid answer; it must not pass for
    // a connection.
    result = ParseLoaderVersion(reply);
    if (result >= 0) {
      host->loader_version = static_cast<uint32_t>(result);
      break;
    }
  }
  if (result < 0) {
    BSLDisconnect(host);
    LogMessage(host->log, kLogError, kBslTag, "BSLConnect failed to connect to device (error %d)",
               result);
  } else {
    LogMessage(host->log, kLogNote, kBslTag,
               "BSLConnect connected to device running HalvBSL version %d", result);
  }
  return result;
}

int32_t BSLHandOff(HostBSL* host, Port* port, char* receive_buffer, const char* port_name,
                   bool show_progress, uint32_t retries) {
  if (receive_buffer == nullptr || port_name == nullptr || port_name[0] == '\0') {
    LogMessage(host->log, kLogError, kBslTag, "BSLHandOff called with some NULL parameters");
    return kBslOutOfRange;
  }
  host->channel.port = port;
  host->channel.baud = kDefaultBaud;
  host->channel.receive_buffer = receive_buffer;
  host->channel.owns_buffer = 0;
  host->show_progress = show_progress ? 1 : 0;
  host->retries = retries == 0 ? 3 : retries;
  host->channel.port_name.Assign(port_name, kPortNameMax);
  host->connected = 1;
  host->borrowed = 1;
  return 1;
}

int32_t BSLHandBack(HostBSL* host) {
  host->channel.port = nullptr;
  host->channel.receive_buffer = nullptr;
  host->connected = 0;
  host->borrowed = 0;
  return 1;
}

int32_t BSLDisconnect(HostBSL* host) {
  if (!host->connected) return 0;
  // A borrowed port is the lender's to close.
  if (host->borrowed) return BSLHandBack(host);
  const int32_t rc = DSClose(&host->channel);
  host->connected = 0;
  WaitMs(kAfterCloseMs);
  return rc;
}

}  // namespace halv
