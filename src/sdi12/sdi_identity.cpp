// Identification, address, sensor type and serial number of a sensor.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "sdi12/sdi_internal.h"
#include "sdi12/sdi_sensor.h"

namespace halv {
namespace {

using sdi::Log;
using sdi::Send;

// The identification's characters 18 to 20 are the sensor's version.
constexpr size_t kVersionOffset = 17;
constexpr size_t kVersionDigits = 3;
constexpr size_t kIdentificationOffset = 3;

uint32_t VersionDigits(const char* answer) {
  const size_t length = strnlen(answer, kSdiReplySize);
  uint32_t version = 0;
  for (size_t i = kVersionOffset; i < kVersionOffset + kVersionDigits && i < length; ++i) {
    if (!isdigit(static_cast<unsigned char>(answer[i]))) break;
    version = version * 10 + static_cast<uint32_t>(answer[i] - '0');
  }
  return version;
}

struct Family {
  uint32_t number;
  const char* members;
  const char* name;
};

constexpr Family kFamilies[] = {
    {260, "nors", "Nilt"},  {261, "ly", "Pomar"},   {262, "eitj", "Wesk"},
    {263, "fp", "Corra-x"}, {264, "gh", "Garno K"},
};

const Family* FindFamily(uint32_t number) {
  for (const Family& f : kFamilies) {
    if (f.number == number) return &f;
  }
  return nullptr;
}

}  // namespace

int32_t SDIGetSensorVersion(SDISensor* s) {
  const int32_t rc = Send(s, "?I!");
  if (rc < 0) {
    Log(s, "SDIGetSensorVersion received error %i", rc);
    return rc;
  }
  s->address = s->reply[0];
  const size_t length = strnlen(s->reply, kSdiReplySize);
  const char* identification =
      length > kIdentificationOffset ? s->reply + kIdentificationOffset : "";
  s->identification.Assign(SdiUpToCarriageReturn(identification));
  s->sensor_version = VersionDigits(s->reply);
  Log(s, "SDIGetSensorVersion found sensor info: %s", s->identification.c_str());
  return static_cast<int32_t>(s->sensor_version);
}

int32_t SDISetSensorAddress(SDISensor* s, char address) {
  char command[8];
  snprintf(command, sizeof command, "0A%c!", address);
  const int32_t rc = Send(s, command);
  if (rc < 0) {
    Log(s, "SDISetSensorAddress received error %i", rc);
    return rc;
  }
  if (s->reply[0] == address) {
    Log(s, "SDISetSensorAddress successfully set sensor address to '%c'", address);
    return 1;
  }
  Log(s, "SDISetSensorAddress could not set sensor address to '%c'", address);
  return kSdiUnexpected;
}

int32_t SDIGetSensorType(SDISensor* s) {
  const int32_t rc = Send(s, "?X8!");
  if (rc >= 0) {
    const std::string_view value = SdiAnswerValue(s->reply).substr(0, 3);
    if (!value.empty() && isdigit(static_cast<unsigned char>(value[0]))) {
      unsigned number = 0;
      for (char c : value) {
        if (!isdigit(static_cast<unsigned char>(c))) break;
        number = number * 10 + static_cast<unsigned>(c - '0');
      }
      s->sensor_type = static_cast<uint8_t>(number);
      s->numeric_type = 1;
    } else {
      s->sensor_type = value.empty() ? 0 : static_cast<uint8_t>(value[0]);
      s->numeric_type = 0;
    }
  } else {
    Log(s, "SDIGetSensorType received error %i", rc);
    if (s->identification.empty()) SDIGetSensorVersion(s);
    const std::string_view id = s->identification.view();
    if (id.find("Rilo") != std::string_view::npos) s->sensor_type = 'z';
    if (id.find("Sadel-A") != std::string_view::npos) s->sensor_type = 125;
    if (id.find("Sadel-B") != std::string_view::npos) s->sensor_type = 127;
  }
  if (s->sensor_type == 0) {
    Log(s, "SDIGetSensorType couldn't detirmine sensor type");
    return kSdiNotKnown;
  }
  Log(s, "SDIGetSensorType found sensor type as \"%u\"", static_cast<unsigned>(s->sensor_type));
  return 1;
}

int32_t SDISetSensorType(SDISensor* s, uint32_t type) {
  if (type == 0 || type == 255) {
    Log(s, "SDISetSensorType didn't get a valid sensor type (%u)", type);
    return kSdiInvalidType;
  }
  if (const Family* family = FindFamily(type)) {
    if (s->sensor_type == 0 || strchr(family->members, s->sensor_type) == nullptr) {
      Log(s, "SDISetSensorType didn't get a valid %s Sensor type (%u)", family->name, type);
      return kSdiUnexpected;
    }
    type = s->sensor_type;
  } else if (type > 255) {
    // A sensor type is one byte; a larger number names no type.
    Log(s, "SDISetSensorType didn't get a valid sensor type (%u)", type);
    return kSdiInvalidType;
  }
  char command[16];
  if (s->numeric_type) {
    snprintf(command, sizeof command, "?X9 %u!", type);
  } else {
    snprintf(command, sizeof command, "?X9 %c!", static_cast<char>(type));
  }
  const int32_t rc = Send(s, command);
  if (rc < 0) {
    Log(s, "SDISetSensorType received error %i", rc);
    return rc;
  }
  if (strstr(s->reply, "OK") != nullptr) {
    Log(s, "SDISetSensorType successfully set sensor type to \"%u\"", type);
    return 1;
  }
  Log(s, "SDISetSensorType could not set sensor type to \"%u\"", type);
  return kSdiUnexpected;
}

int32_t SDIGetSensorSN(SDISensor* s) {
  const int32_t rc = Send(s, "?X#!");
  if (rc < 0) {
    Log(s, "SDIGetSensorSN received error %i looking for X#", rc);
    return rc;
  }
  if (s->reply[0] != '\0' && s->reply[1] == '\r') return 0;
  s->serial_number.Assign(SdiAnswerValue(s->reply));
  Log(s, "SDIGetSensorSN found SN \"%s\"", s->serial_number.c_str());
  return 1;
}

int32_t SDISetSensorSN(SDISensor* s) {
  if (s->serial_number.empty()) {
    Log(s, "SDISetSensorSN didn't find a valid serial number");
    return 0;
  }
  char command[80];
  snprintf(command, sizeof command, "?X#%.63s!", s->serial_number.c_str());
  int32_t result = kSdiCommandUnanswered;
  int32_t rc = 0;
  for (uint32_t attempt = 0; attempt < s->tries; ++attempt) {
    rc = Send(s, command);
    if (rc < 0) continue;
    if (strstr(s->reply, "OK") != nullptr) {
      Log(s, "SDISetSensorSN successfully set sensor serial number to \"%s\"",
          s->serial_number.c_str());
      return 1;
    }
    if (strstr(s->reply, "ERROR") != nullptr) result = kSdiErrorAnswer;
  }
  if (rc < 0) {
    Log(s, "SDISetSensorSN received error %i setting serial number.", rc);
    return rc;
  }
  return result;
}

}  // namespace halv
