// A sensor's calibration strings: X4 (written back as X5), Xa (as Xb) and XO,
// with the defaults and corrections that older sensor versions need.
#include <cstdio>
#include <cstring>
#include <string>

#include "sdi12/sdi_internal.h"
#include "sdi12/sdi_sensor.h"

namespace halv {
namespace {

using sdi::Log;
using sdi::Send;

bool TypeIn(const SDISensor* s, const char* types) {
  return !s->numeric_type && s->sensor_type != 0 && strchr(types, s->sensor_type) != nullptr;
}

constexpr const char* kPluvo = "^";
constexpr const char* kMinusOneTypes = "zx";
constexpr const char* kXaReadTypes = "zxwylkhg\\]";
constexpr const char* kXaWriteTypes = "ywkhgzx\\]";
constexpr const char* kConvertTypes = "ut";
constexpr uint32_t kConvertBelowVersion = 340;

// The Xa answers a sensor should hold, with "a" standing for its address.
constexpr const char* kXaOldDefault = "a 1 1.44832 1.91683 2.35961 2.991";
constexpr const char* kXaRiloDefault = "a 1 1.39619 2.03054 2.54573 2.9907";
constexpr const char* kXaWeskDefault = "a 1 1.4724 2.03944 2.5652 2.9907";
constexpr size_t kDefaultPrefixLength = 32;  // " 1 1.44832 1.91683 2.35961 2.991"
constexpr size_t kShortestXaAnswer = 9;

// Replaces each "-1 " field, and a "-1" that ends the answer, by "+0".
bool RemoveMinusOnes(std::string* answer) {
  bool changed = false;
  for (size_t at = answer->find("-1 "); at != std::string::npos; at = answer->find("-1 ", at)) {
    answer->replace(at, 2, "+0");
    changed = true;
  }
  size_t end = answer->size();
  if (end > 0 && (*answer)[end - 1] == '\r') --end;
  if (end >= 2 && answer->compare(end - 2, 2, "-1") == 0) {
    answer->replace(end - 2, 2, "+0");
    changed = true;
  }
  return changed;
}

// The Xa defaults by sensor version: below `old_until` the old default, up to
// `new_until` the newer one. In the newer range an answer that is not the old
// default is replaced by the newer default as well.
bool ApplyXaDefaults(std::string* answer, bool failed, uint32_t version, uint32_t old_until,
                     uint32_t new_until, const char* newer) {
  bool set = false;
  if (failed || answer->size() < kShortestXaAnswer) {
    if (version < old_until) {
      *answer = kXaOldDefault;
      set = true;
    } else if (version <= new_until) {
      *answer = newer;
      set = true;
    }
  }
  const bool holds_old_default = answer->size() > kDefaultPrefixLength &&
                                 answer->compare(1, kDefaultPrefixLength, kXaOldDefault + 1) == 0;
  if (version >= old_until && version <= new_until && !holds_old_default) {
    *answer = newer;
    set = true;
  }
  return set;
}

// "?!" until the sensor answers, three times at most.
void Attention(SDISensor* s) {
  int32_t rc = 0;
  for (int i = 0; i < 3; ++i) {
    rc = Send(s, "?!");
    if (rc > 0) return;
  }
  Log(s, "SDIGetSensorCalibration \"attention sequence\" received error %i", rc);
}

int32_t ReadX4(SDISensor* s) {
  const int32_t rc = Send(s, "?X4!");
  if (rc < 0) {
    Log(s, "SDIGetSensorCalibration received error %i looking for X4", rc);
    return rc;
  }
  // A sensor that will not tell answers "ERROR": that is no calibration, and
  // writing it back after the update would spoil the sensor's.
  if (strstr(s->reply, "ERROR") != nullptr) {
    Log(s, "SDIGetSensorCalibration received \"ERROR\" response looking for X4");
    return kSdiErrorAnswer;
  }
  std::string answer = s->reply;
  if (TypeIn(s, kMinusOneTypes) && RemoveMinusOnes(&answer)) {
    Log(s, "SDIGetSensorCalibration updated X4 to remove '-1'");
  }
  s->x4_calibration.Assign(SdiAnswerValue(answer.c_str()));
  Log(s, "SDIGetSensorCalibration found calibration X4 \"%s\"", s->x4_calibration.c_str());
  return 1;
}

int32_t ReadXa(SDISensor* s) {
  int32_t rc = Send(s, "?Xa!");
  if (rc >= 0 && strstr(s->reply, "ERROR") != nullptr) rc = kSdiErrorAnswer;  // as unanswered
  if (rc < 0) {
    Log(s, "SDIGetSensorCalibration received error %i looking for Xa", rc);
    if (s->sensor_type == 'y') return rc;
  }
  std::string answer = rc < 0 ? "" : s->reply;
  bool set = false;
  if (TypeIn(s, kMinusOneTypes)) {
    set = ApplyXaDefaults(&answer, rc < 0, s->sensor_version, 356, 399, kXaRiloDefault);
  } else if (s->sensor_type == 'w') {
    set = ApplyXaDefaults(&answer, rc < 0, s->sensor_version, 353, 401, kXaWeskDefault);
  }
  s->xa_calibration.Assign(SdiAnswerValue(answer.c_str()));
  Log(s, "SDIGetSensorCalibration %s calibration Xa \"%s\"", set ? "set" : "found",
      s->xa_calibration.c_str());
  return 1;
}

void ReadXo(SDISensor* s) {
  const int32_t rc = Send(s, "?XO!");
  if (rc < 0) {
    Log(s, "SDIGetSensorCalibration received error %i looking for XO", rc);
    s->xo_present = 0;
  } else if (strstr(s->reply, "ERROR") != nullptr) {
    Log(s, "SDIGetSensorCalibration received \"ERROR\" response looking for XO");
    s->xo_present = 0;
  } else {
    s->xo_present = 1;
    s->xo_calibration.Assign(SdiAnswerValue(s->reply));
    Log(s, "SDIGetSensorCalibration found calibration XO \"%s\"", s->xo_calibration.c_str());
  }
}

// Writes one calibration string up to the tries: 1 on "OK", -34 on "ERROR",
// the channel's error when the last exchange failed.
int32_t WriteCalibration(SDISensor* s, const char* letter, const char* text) {
  const std::string command = std::string("?") + letter + text + "!";
  int32_t result = kSdiCommandUnanswered;
  int32_t rc = 0;
  for (uint32_t attempt = 0; attempt < s->tries; ++attempt) {
    rc = Send(s, command);
    if (rc < 0) continue;
    if (strstr(s->reply, "OK") != nullptr) {
      Log(s, "SDISetSensorCalibration successfully set sensor %s calibration to \"%s\"", letter,
          text);
      return 1;
    }
    if (strstr(s->reply, "ERROR") != nullptr) result = kSdiErrorAnswer;
  }
  if (rc < 0) {
    Log(s, "SDISetSensorCalibration received error %i for %s", rc, letter);
    return rc;
  }
  return result;
}

}  // namespace

int32_t SDIGetSensorCalibration(SDISensor* s) {
  if (TypeIn(s, kPluvo)) {
    Log(s, "SDIGetSensorCalibration no calibration for version Pluvo");
    return 0;
  }
  Attention(s);
  int32_t rc = ReadX4(s);
  if (rc < 0) return rc;
  if (TypeIn(s, kXaReadTypes)) {
    rc = ReadXa(s);
    if (rc < 0) return rc;
  }
  if (TypeIn(s, "]")) ReadXo(s);
  return 1;
}

int32_t SDISetSensorCalibration(SDISensor* s, const char* x4_text) {
  if (TypeIn(s, kPluvo)) {
    Log(s, "SDISetSensorCalibration skipped Pluvo");
    return 0;
  }
  const std::string x4 = x4_text != nullptr ? x4_text : s->x4_calibration.c_str();
  if (x4.empty()) {
    Log(s, "SDISetSensorCalibration doesn't have a valid X5 calibration string");
    return 0;
  }
  int32_t result = WriteCalibration(s, "X5", x4.c_str());
  if (TypeIn(s, kXaWriteTypes)) {
    const int32_t rc = WriteCalibration(s, "Xb", s->xa_calibration.c_str());
    if (rc != 1) result = rc;
  }
  if (TypeIn(s, "]") && s->xo_present) {
    const int32_t rc = WriteCalibration(s, "XO", s->xo_calibration.c_str());
    if (rc != 1) result = rc;
  }
  if (result != 1) Log(s, "SDISetSensorCalibration did not set sensor calibration");
  return result;
}

int32_t SDIConvertCalibration(SDISensor* s) {
  if (s->sensor_version >= kConvertBelowVersion) return 0;
  float f[9] = {};
  const int fields = sscanf(s->x4_calibration.c_str(), "%f %f %f %f %f %f %f %f %f", &f[0], &f[1],
                            &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8]);
  double c[6] = {f[0], 0, 0, 0, 0, f[8]};
  // A zero span would write infinities into the sensor: it is taken as an
  // incomplete calibration instead.
  if (fields == 9 && f[2] != f[1]) {
    const double span = static_cast<double>(f[2]) - f[1];
    c[1] = -1000.0 * f[1] / span;
    c[2] = 1000.0 / span;
    c[4] = (static_cast<double>(f[4]) + f[5]) / 2;
  }
  char text[512];
  snprintf(text, sizeof text, "%0.3f %0.6e %0.6e %0.6e %0.1f %0.1f", c[0], c[1], c[2], c[3], c[4],
           c[5]);
  s->x4_calibration.Assign(text);
  return 1;
}

bool SdiNeedsConversion(const SDISensor* s) {
  return TypeIn(s, kConvertTypes) && s->sensor_version < kConvertBelowVersion;
}

}  // namespace halv
