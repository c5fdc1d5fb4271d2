// The ADC calibration factors: two tables of five factor pairs, sent with a
// checksum; devices with one sensor input use a short form with one pair.
#include <cstdio>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/setting_commands.h"

namespace halv {
namespace {

constexpr uint32_t kAdcWaitMs = 1500;
constexpr int kPairs = kSensorPorts;
constexpr int kLongCount = 2 * kPairs + 1;  // ten factors and the checksum
constexpr int kShortCount = 3;              // a0, b0, checksum

const char* TableWord(int table) {
  return table == 1 ? "-adc30" : "-adc15";
}

// The sum of all ten factors, modulo 256.
uint32_t Checksum(const uint8_t* a, const uint8_t* b) {
  uint32_t sum = 0;
  for (int i = 0; i < kPairs; ++i) sum += a[i] + b[i];
  return sum % 256;
}

// A factor in 1..254 is valid; 0 and 255 or more are stored as 0 and 255.
bool StoreFactor(uint32_t value, uint8_t* factor) {
  *factor = static_cast<uint8_t>(value >= 255 ? 255 : value);
  return value >= 1 && value <= 254;
}

int32_t Failed(DeviceLink* link, const char* word, int32_t rc, uint32_t ms) {
  LogMessage(link->log, kLogError, LinkTag(link), "ADCcalCommand (%s) failed with error %d (%d ms)",
             word, rc, static_cast<int>(ms));
  return rc;
}

void LogFactors(DeviceLink* link, const char* format, const char* first, const char* word,
                const uint8_t* a, const uint8_t* b, uint32_t checksum, uint32_t ms) {
  LogMessage(link->log, kLogProgress, LinkTag(link), format, first, word, a[0], b[0], a[1], b[1],
             a[2], b[2], a[3], b[3], a[4], b[4], checksum, static_cast<int>(ms));
}

int32_t WriteFactors(DeviceLink* link, const char* word, const uint8_t* a, const uint8_t* b) {
  const uint32_t checksum = Checksum(a, b);
  char command[96];
  if (link->settings.supported_mask & kSupportsShortAdcCal) {
    snprintf(command, sizeof command, "set %s %u %u %u\r", word, a[0], b[0], (a[0] + b[0]) % 256);
  } else {
    snprintf(command, sizeof command, "set %s %u %u %u %u %u %u %u %u %u %u %u\r", word, a[0], b[0],
             a[1], b[1], a[2], b[2], a[3], b[3], a[4], b[4], checksum);
  }
  Reply<128> r;
  int32_t rc = r.Exchange(link, command, '>', kAdcWaitMs);
  if (rc > 0) rc = reply::Contains(r.text, "OK") ? 1 : kLoggerBadReply;
  if (rc < 0) return Failed(link, word, rc, r.elapsed_ms);
  LogMessage(link->log, kLogProgress, LinkTag(link),
             "ADCcalCommand set %s %u %u %u %u %u %u %u %u %u %u %u (%d ms)", word, a[0], b[0],
             a[1], b[1], a[2], b[2], a[3], b[3], a[4], b[4], checksum, r.Ms());
  return 1;
}

int32_t ReadFactors(DeviceLink* link, const char* word, uint8_t* a, uint8_t* b) {
  char command[32];
  snprintf(command, sizeof command, "get %s\r", word);
  Reply<128> r;
  const int32_t rc = r.Exchange(link, command, '>', kAdcWaitMs);
  if (rc < 0) return Failed(link, word, rc, r.elapsed_ms);

  uint32_t values[kLongCount] = {};
  const int count = reply::ReadUnsigneds(r.text, values, kLongCount);
  const bool short_form = link->settings.supported_mask & kSupportsShortAdcCal;
  const int needed = short_form ? kShortCount : kLongCount;
  if (count < needed) {
    LogMessage(link->log, kLogProgress, LinkTag(link),
               "ADCcalCommand only found %d of %d cal %s factors (%d ms)", count, kLongCount, word,
               r.Ms());
    return Failed(link, word, kLoggerBadReply, r.elapsed_ms);
  }
  bool valid = true;
  const int pairs = short_form ? 1 : kPairs;
  for (int i = 0; i < kPairs; ++i) {
    if (i >= pairs) {
      a[i] = b[i] = 0;  // a one-pair device has no others
      continue;
    }
    valid &= StoreFactor(values[2 * i], &a[i]);
    valid &= StoreFactor(values[2 * i + 1], &b[i]);
  }
  const uint32_t checksum = values[short_form ? 2 : 2 * kPairs];
  valid &= Checksum(a, b) == checksum;
  LogFactors(link, "ADCcalCommand found (%s) %s %u %u %u %u %u %u %u %u %u %u %u (%d ms)",
             valid ? "valid" : "not valid", word, a, b, checksum, r.elapsed_ms);
  return valid ? 1 : Failed(link, word, kLoggerCannot, r.elapsed_ms);
}

}  // namespace

int32_t ADCcalCommand(DeviceLink* link, int table, uint8_t* a, uint8_t* b, int direction) {
  if (table != 1 && table != 2) return kLoggerNotApplicable;
  if (!(link->settings.supported_mask & kSupportsAdcCal)) return kLoggerCannot;
  const char* word = TableWord(table);
  if (a == nullptr || b == nullptr) return Failed(link, word, kLoggerMissingArgument, 0);
  return direction == kWrite ? WriteFactors(link, word, a, b) : ReadFactors(link, word, a, b);
}

}  // namespace halv
