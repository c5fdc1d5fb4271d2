// What the sensor update needs around the loader: starting it, checking the
// new firmware, and saving and restoring the sensor's identity.
#include <cstring>

#include "sdi12/sdi_internal.h"
#include "sdi12/sdi_sensor.h"
#include "serial/clock.h"

namespace halv {

namespace {

using sdi::Log;
using sdi::Send;

constexpr uint32_t kInvokeReplyWaitMs = 1000;
constexpr uint32_t kAfterLoaderByteMs = 100;

}  // namespace

int32_t SDIInvokeHalvBSL(SDISensor* s) {
  s->tries = 1;
  s->reply_wait_ms = kInvokeReplyWaitMs;
  Send(s, "?B!");
  s->tries = kSdiDefaultTries;
  s->reply_wait_ms = kSdiDefaultReplyWaitMs;
  if (strstr(s->reply, "No BSL") != nullptr) {
    Log(s, "SDIInvokeHalvBSL: sensor reported a missing HalvBSL");
    return kSdiNoLoader;
  }
  // The reader passes "]" and "P" on to the loader, which then attaches.
  DSWriteText(&s->link->channel, "]");
  WaitMs(kAfterLoaderByteMs);
  DSWriteText(&s->link->channel, "P");
  WaitMs(kAfterLoaderByteMs);
  return 1;
}

int32_t SDICheckBinary(SDISensor* s) {
  const int32_t rc = Send(s, "?post!");
  if (rc < 0) {
    Log(s, "SDICheckBinary received error %i", rc);
    return rc;
  }
  if (strstr(s->reply, "Code Good") != nullptr) {
    Log(s, "SDICheckBinary found good firmware");
    return 1;
  }
  if (strstr(s->reply, "Code Corrupt") != nullptr) {
    Log(s, "SDICheckBinary found corrupt firmware");
    return kSdiCorruptFirmware;
  }
  Log(s, "SDICheckBinary unable to check firmware");
  return kSdiNotKnown;
}

int32_t SDISaveSensor(SDISensor* s) {
  s->identification.Clear();
  s->x4_calibration.Clear();
  s->xa_calibration.Clear();
  s->xo_calibration.Clear();
  s->xo_present = 0;
  s->serial_number.Clear();
  s->sensor_version = 0;
  s->sensor_type = 0;
  s->numeric_type = 0;
  s->address = '0';
  int32_t rc = SDIGetSensorVersion(s);
  if (rc < 0) return rc;
  SDIGetSensorType(s);
  SDIGetSensorSN(s);
  rc = SDIGetSensorCalibration(s);
  if (rc < 0) return rc;
  if (SdiNeedsConversion(s)) SDIConvertCalibration(s);
  return 1;
}

int32_t SDIRestoreSensor(SDISensor* s) {
  SDISetSensorSN(s);
  const int32_t address = SDISetSensorAddress(s, s->address);
  const int32_t calibration = SDISetSensorCalibration(s, s->x4_calibration.c_str());
  if (calibration < 0) return calibration;
  if (address < 0) return address;
  return 1;
}

}  // namespace halv
