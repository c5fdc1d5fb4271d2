// Erasing a logger's stored data, after making sure it is the device the
// link identified.
#include <cstring>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"

namespace halv {
namespace {

constexpr uint32_t kEraseWaitMs = 17000;
constexpr size_t kLoginNameMax = 8;

}  // namespace

int32_t EraseData(DeviceLink* link) {
  const char* tag = LinkTag(link);
  // The device's own name, read now; the erase reply ends as its firmware's
  // replies do.
  DeviceName read_name;
  char end = '>';
  int32_t rc = 0;
  if (link->settings.new_firmware) {
    rc = NameCommand(link, &read_name, kRead);
  } else {
    char name[kLoginNameMax + 1] = {};
    rc = ParseShowCommand(link, name);
    read_name.Assign(name);
    end = '!';
  }
  if (rc <= 0) {
    LogMessage(link->log, kLogError, tag,
               "EraseData failed checking the identity of device (error %d)", rc);
    return kLoggerIdentityMismatch;
  }
  if (strncmp(read_name.c_str(), link->settings.device_name.c_str(), kLoginNameMax) != 0) {
    LogMessage(link->log, kLogError, tag, "EraseData: Identity mismatch. Class: %s, Device: %s",
               link->settings.device_name.c_str(), read_name.c_str());
    return kLoggerIdentityMismatch;
  }
  Reply<32> r;
  rc = r.Exchange(link, "yes\r", end, kEraseWaitMs);
  if (rc > 0) {
    if (reply::Contains(r.text, "OK")) {
      LogMessage(link->log, kLogProgress, tag, "InitializeDevice erased device data (%d ms)",
                 r.Ms());
      return 1;
    }
    rc = reply::Contains(r.text, "DataFlash FAIL") ? kLoggerBrokenDataFlash : kLoggerBadReply;
  } else if (rc == kLoggerErrorReply || rc == kLoggerQueryNoAnswer || rc == kLoggerNoAnswer) {
    rc = kLoggerBrokenDataFlash;
  }
  if (rc == kLoggerBrokenDataFlash) {
    LogMessage(link->log, kLogError, tag, "EraseData failed due to a broken DataFlash (%d ms)",
               r.Ms());
  } else {
    LogMessage(link->log, kLogError, tag, "EraseData failed with error %d (%d ms)", rc, r.Ms());
  }
  return rc;
}

}  // namespace halv
