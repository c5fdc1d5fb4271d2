// Erase and programming steps on top of the command frame. The loader moves
// its write address on by the bytes of each "W", so an address is only sent
// at a segment's start and again after a failed block.
#include "bsl/flash.h"

#include <cstdio>

#include "serial/clock.h"

namespace halv {
namespace {

constexpr char kAddressLetter = '@';
constexpr char kWriteLetter = 'W';
constexpr char kEraseLetter = 'X';
constexpr char kVectorsLetter = 'V';
constexpr uint32_t kImageAddressDigits = 5;
constexpr uint32_t kBlockBytes = kDataBlockDigits / 2;

bool InProtectedFlash(uint32_t address) {
  return address >= kProtectedFlashStart && address <= kProtectedFlashLast;
}

// Whole seconds since start.
long ElapsedSeconds(uint32_t start) {
  return static_cast<long>((MsTick() - start) / 1000);
}

// The attempt rule: up to the host's retries tries of a command, 175 ms after
// each one that failed. Ends with the first success or the last failure.
template <typename Command>
int32_t Attempt(HostBSL* host, Command command) {
  int32_t rc = kBslNoTry;
  for (uint32_t attempt = 0; attempt < host->retries; ++attempt) {
    rc = command();
    if (rc > 0) return rc;
    WaitMs(kBetweenAttemptsMs);
  }
  return rc;
}

int32_t EraseSegment(HostBSL* host, uint32_t address, bool extended) {
  char reply[kBslReplyBufferMin];
  uint32_t ms = 0;
  return Attempt(host, [&] {
    return BSLCommand(host, kEraseLetter, &address, 1, '\r', reply, &ms, extended);
  });
}

// Sends a block of digits. After a failed "W" the block's address is sent
// again before the next try, since the loader's address is no longer known.
int32_t FlushBlock(HostBSL* host, const char* digits, uint32_t count, uint32_t address,
                   bool extended) {
  char reply[kBslReplyBufferMin];
  uint32_t ms = 0;
  int32_t rc = kBslNoTry;
  for (uint32_t attempt = 0; attempt < host->retries; ++attempt) {
    rc = BSLCommand(host, kWriteLetter, digits, count, '\r', reply, &ms);
    if (rc > 0) return rc;
    WaitMs(kBetweenAttemptsMs);
    if (attempt + 1 == host->retries) break;
    const int32_t sent = BSLSendAddress(host, address, extended);
    if (sent < 0) return sent;
  }
  return rc;
}

// The address of an image segment: the five digits after its "@", or only
// the last four of them without extended addresses. -11 when they are not
// five hexadecimal digits.
int32_t SegmentAddress(const char* text, uint32_t length, uint32_t at, bool extended,
                       uint32_t* address) {
  if (length - at < 1 + kImageAddressDigits) return kBslOutOfRange;
  uint32_t value = 0;
  for (uint32_t i = extended ? 1 : 2; i <= kImageAddressDigits; ++i) {
    const char c = text[at + i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return kBslOutOfRange;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  *address = value;
  return 1;
}

// Walks the image text, flushing a block at every 512 digits and at every
// new segment. Stops at the first failure.
int32_t WalkImage(HostBSL* host, bool extended) {
  const char* text = host->image_text;
  const uint32_t length = host->image_length;
  char* block = host->scratch_buffer;
  uint32_t held = 0;
  uint32_t block_address = 0;
  int32_t rc = 1;
  for (uint32_t pos = 0; pos < length && rc >= 0;) {
    if (host->show_progress && pos % kDataBlockDigits == 0 &&
        ReportLoaderProgress(length, pos, kProgressWorking, kWriteLetter) == 0) {
      return kBslCancelled;
    }
    if (text[pos] == '@') {
      if (held > 0) rc = FlushBlock(host, block, held, block_address, extended);
      if (rc < 0) break;
      rc = SegmentAddress(text, length, pos, extended, &block_address);
      if (rc < 0) break;
      pos += 1 + kImageAddressDigits;
      rc = BSLSendAddress(host, block_address, extended);
      held = 0;
      continue;
    }
    block[held++] = text[pos++];
    if (held == kDataBlockDigits) {
      rc = FlushBlock(host, block, held, block_address, extended);
      block_address += kBlockBytes;
      held = 0;
    }
  }
  if (held > 0 && rc > 0) rc = FlushBlock(host, block, held, block_address, extended);
  return rc;
}

}  // namespace

int32_t BSLEraseINFO(HostBSL* host, uint32_t start, uint32_t count, uint32_t size, bool extended) {
  const uint32_t started = MsTick();
  int32_t rc = 0;
  uint32_t address = start;
  for (uint32_t segment = 0; segment < count; ++segment, address += size) {
    rc = EraseSegment(host, address, extended);
    if (rc < 0) break;
  }
  const long ms = static_cast<long>(MsTick() - started);
  if (rc < 0) {
    LogMessage(host->log, kLogError, kBslTag, "BSLEraseINFO failed with error %d (%ld ms)", rc, ms);
  } else {
    LogMessage(host->log, kLogNote, kBslTag, "BSLEraseINFO successful: %d segments @ %X (%ld ms)",
               static_cast<int>(count), start, ms);
  }
  return rc;
}

int32_t BSLEraseFlash(HostBSL* host, uint32_t start, uint32_t end, bool extended) {
  const uint32_t started = MsTick();
  if (InProtectedFlash(start)) return kBslOutOfRange;
  const uint32_t total = end > start ? (end - start) / kFlashSegmentBytes : 0;
  int32_t rc = 0;
  uint32_t erased = 0;
  for (uint32_t address = start; address < end; ++erased) {
    if (host->show_progress && erased % kEraseReportEvery == 0 &&
        ReportLoaderProgress(total, (address - start) / kFlashSegmentBytes, kProgressWorking,
                             kEraseLetter) == 0) {
      rc = kBslCancelled;
      break;
    }
    rc = EraseSegment(host, address, extended);
    if (rc < 0) break;
    address += kFlashSegmentBytes;
    if (InProtectedFlash(address)) address = kAboveProtectedFlash;
  }
  if (host->show_progress) ReportLoaderProgress(total, total, kProgressDone, kEraseLetter);
  if (rc < 0) {
    LogMessage(host->log, kLogError, kBslTag, "BSLEraseFlash failed with error %d (%ld s)", rc,
               ElapsedSeconds(started));
  } else {
    LogMessage(host->log, kLogNote, kBslTag, "BSLEraseFlash successful: segment %X to %X (%ld s)",
               start, end, ElapsedSeconds(started));
  }
  return rc;
}

int32_t BSLSendAddress(HostBSL* host, uint32_t address, bool extended) {
  char digits[16];
  const int n = snprintf(digits, sizeof digits, extended ? "%05X" : "%04X", address);
  char reply[kBslReplyBufferMin];
  uint32_t ms = 0;
  const int32_t rc = Attempt(host, [&] {
    return BSLCommand(host, kAddressLetter, digits, static_cast<uint32_t>(n), '\r', reply, &ms);
  });
  if (rc < 0) {
    LogMessage(host->log, kLogError, kBslTag, "BSLSendAddress (%05X) failed with error %d", address,
               rc);
  } else {
    LogMessage(host->log, kLogNote, kBslTag, "BSLSendAddress (%05X) successful", address);
  }
  return rc;
}

int32_t BSLSendFirmware(HostBSL* host, bool extended) {
  const uint32_t started = MsTick();
  if (host->image_text == nullptr) return kBslMissingArgument;
  if (host->image_text[0] != '@') return kBslOutOfRange;
  if (host->scratch_buffer == nullptr) return kBslNoMemory;
  const int32_t rc = WalkImage(host, extended);
  if (host->show_progress) {
    ReportLoaderProgress(host->image_length, host->image_length, kProgressDone, kWriteLetter);
  }
  const int seconds = static_cast<int>(ElapsedSeconds(started));
  if (rc < 0) {
    LogMessage(host->log, kLogError, kBslTag, "BSLSendFirmware failed with error %d (%d s)", rc,
               seconds);
  } else {
    LogMessage(host->log, kLogNote, kBslTag, "BSLSendFirmware successful (%d s)", seconds);
  }
  return rc;
}

int32_t BSLSendVectors(HostBSL* host) {
  WaitMs(kBeforeVectorsMs);
  char reply[kBslReplyBufferMin];
  uint32_t ms = 0;
  const int32_t rc = Attempt(host, [&] {
    return BSLCommand(host, kVectorsLetter, host->vectors, kVectorCount, '+', reply, &ms, false);
  });
  if (rc < 0) {
    LogMessage(host->log, kLogError, kBslTag, "BSLSendVectors failed with error %d", rc);
  } else {
    LogMessage(host->log, kLogNote, kBslTag, "BSLSendVectors successful");
  }
  return rc;
}

}  // namespace halv
