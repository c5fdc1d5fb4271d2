// A digital sensor on SDI-12, reached through the Handix handheld reader,
// which passes the commands typed on the comm port to the sensor and returns
// its answers.
#pragma once

#include <cstdint>
#include <string_view>

#include "log/diag_log.h"
#include "serial/device_link.h"
#include "serial/fixed_text.h"

namespace halv {

constexpr const char* kSdiTag = "HalvSDI12";
constexpr uint32_t kSdiReplySize = 256;
constexpr uint32_t kSdiDefaultReplyWaitMs = 2000;
constexpr uint32_t kSdiDefaultTries = 5;

enum SdiResult : int32_t {
  kSdiNotKnown = -1,
  kSdiInvalidType = -11,
  kSdiNoAnswer = -21,
  kSdiCommandUnanswered = -22,  // the sensor still answers "?!"
  kSdiUnexpected = -30,
  kSdiErrorAnswer = -34,
  kSdiCorruptFirmware = -66,
  kSdiNoLoader = -82,
};

struct SDISensor {
  SDISensor(DiagLog* log, DeviceLink* link);

  char address = '0';
  FixedText<36> identification;
  FixedText<512> x4_calibration;
  FixedText<512> xa_calibration;
  FixedText<512> xo_calibration;
  uint8_t xo_present = 0;
  FixedText<32> serial_number;
  uint8_t sensor_type = 0;  // a type letter, or a number when numeric_type is set
  uint32_t sensor_version = 0;
  uint8_t numeric_type = 0;
  DiagLog* log = nullptr;
  DeviceLink* link = nullptr;
  char reply[kSdiReplySize] = {};
  uint32_t reply_wait_ms = kSdiDefaultReplyWaitMs;
  uint32_t tries = kSdiDefaultTries;
};

// Sends one command through the reader, waking the sensor and recovering it
// as needed. reply may be null; *reply_length holds its capacity in and the
// answer's length out. Returns the bytes received, or a negative code.
int32_t SDISendCommand(SDISensor* sensor, const char* command, char* reply, uint32_t* reply_length,
                       uint32_t* elapsed_ms);

int32_t SDIGetSensorVersion(SDISensor* sensor);
int32_t SDISetSensorAddress(SDISensor* sensor, char address);
int32_t SDIGetSensorType(SDISensor* sensor);
int32_t SDISetSensorType(SDISensor* sensor, uint32_t type);
int32_t SDIGetSensorSN(SDISensor* sensor);
int32_t SDISetSensorSN(SDISensor* sensor);
int32_t SDIGetSensorCalibration(SDISensor* sensor);
int32_t SDISetSensorCalibration(SDISensor* sensor, const char* x4_text);
int32_t SDIInvokeHalvBSL(SDISensor* sensor);
int32_t SDICheckBinary(SDISensor* sensor);
int32_t SDISaveSensor(SDISensor* sensor);
int32_t SDIRestoreSensor(SDISensor* sensor);
int32_t SDIConvertCalibration(SDISensor* sensor);

// Shared by the operations: the text of an answer after its address and one
// blank, up to the carriage return (a value never carries the line end).
std::string_view SdiAnswerValue(const char* answer);
// The text from `from` up to the next carriage return.
std::string_view SdiUpToCarriageReturn(const char* from);
// Types "u" and "t" below version 340 keep their X4 string in an older form.
bool SdiNeedsConversion(const SDISensor* sensor);

}  // namespace halv
