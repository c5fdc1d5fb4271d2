// Writing the settings file: the header, the type line and the keys of the
// device's group.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/settings_file.h"
#include "protocol/settings_file_keys.h"

namespace halv {
namespace {

using C = CapturedSettings;
constexpr KeyForm kT = KeyForm::kText;
constexpr KeyForm kN = KeyForm::kNumber;

void Line(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Line(std::string* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[512];
  va_list again;
  va_copy(again, args);
  const int n = vsnprintf(small, sizeof small, format, args);
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    out->append(small, static_cast<size_t>(n));
  } else if (n > 0) {
    std::string big(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(big.data(), big.size(), format, again);
    out->append(big.data(), static_cast<size_t>(n));
  }
  va_end(again);
  va_end(args);
}

void FiveNumbers(std::string* out, const char* key, const uint8_t* values) {
  Line(out, "%s=\"%u %u %u %u %u\"\r\n", key, values[0], values[1], values[2], values[3],
       values[4]);
}

void LoggerGroup(const LoggerSettings& s, std::string* out) {
  Line(out, "type=\"%s\"\r\n", s.device_kind_name.c_str());
  Line(out, "deviceid=\"%s\"\r\n", s.device_id.c_str());
  Line(out, "name=\"%s\"\r\n", s.device_name.c_str());
  Line(out, "sn=\"%s\"\r\n", s.serial_number.c_str());
  Line(out, "trait=\"%d\"\r\n", static_cast<int>(s.trait));
  Line(out, "wake=\"%d\"\r\n", s.measurement_interval);
  Line(out, "padc=\"%d\"\r\n", s.padc);
  FiveNumbers(out, "ports", s.port_sensor_types);
  FiveNumbers(out, "depth", s.port_depths);
  if (s.present_mask & (1u << 26)) {
    FiveNumbers(out, "ADC15 slopes", s.adc15_calibration[0]);
    FiveNumbers(out, "ADC15 offsets", s.adc15_calibration[1]);
  }
  if (s.present_mask & (1u << 25)) {
    FiveNumbers(out, "ADC30 slopes", s.adc30_calibration[0]);
    FiveNumbers(out, "ADC30 offsets", s.adc30_calibration[1]);
  }
  Line(out, "rmode=\"%d\"\r\n", s.radio_mode);
  Line(out, "rch=\"%d\"\r\n", s.radio_channel);
  Line(out, "rsch=\"%d\"\r\n", s.radio_subchannel);
  Line(out, "data=\"%d\"\r\n", s.data_parameter);
  Line(out, "site=\"%s\"\r\n", s.site_name.c_str());
  Line(out, "lat=\"%+.5f\"\r\n", s.latitude);
  Line(out, "lon=\"%+.5f\"\r\n", s.longitude);
  Line(out, "timezone=\"%d\"\r\n", s.time_zone);
  Line(out, "report=\"%u\"\r\n", static_cast<unsigned>(s.report_mode));
  Line(out, "apn=\"%s\"\r\n", s.apn.c_str());
  Line(out, "user=\"%s\"\r\n", s.apn_user_name.c_str());
  Line(out, "passwd=\"%s\"\r\n", s.apn_password.c_str());
  Line(out, "host=\"%s\"\r\n", s.remote_host_name.c_str());
  Line(out, "authkey=\"%s\"\r\n", s.authorisation_key.c_str());
  Line(out, "ipport=\"%u\"\r\n", static_cast<unsigned>(s.ip_port));
  if (s.present_mask & (1u << 27)) Line(out, "HalvBuild=\"%s\"\r\n", s.build.c_str());
}

void RecordLines(const RecordList& list, const char* word, std::string* out) {
  for (int32_t k = 0; k < list.count && !list.records[k].value.empty(); ++k) {
    Line(out, "%s%02d=\"%s\"\r\n", word, k, list.records[k].value.c_str());
  }
}

void InstrumentGroup(InstrumentConnection* connection, std::string* out) {
  CapturedSettings* c = &connection->captured;
  Line(out, "type=\"%s\"\r\n", DeviceKindModelCode(connection->device_kind));
  for (int k = 0; k < kInstrumentKeyCount; ++k) {
    const InstrumentKey& key = kInstrumentKeys[k];
    if (key.only_with != 0 && (c->flags & key.only_with) == 0) continue;
    switch (key.form) {
      case KeyForm::kText:
        Line(out, "%s=\"%s\"\r\n", key.key, key.text(c).text);
        break;
      case KeyForm::kNumber:
        Line(out, "%s=\"%ld\"\r\n", key.key, static_cast<long>(*key.number(c)));
        break;
      case KeyForm::kTau:
        Line(out, "%s=\"%ld\"\r\n", key.key, static_cast<long>(c->tau));
        break;
    }
  }
  if (connection->device_kind == kKindHandix) {
    for (int k = 0; k < kCaptureSlots && !c->slots[k].empty(); ++k) {
      Line(out, "cal%02d=\"%s\"\r\n", k, c->slots[k].c_str());
    }
  } else if (connection->device_kind == kKindHydrelQTdl) {
    // Slot n is "cal" n + 1; the reader looks for the same keys.
    for (int k = 0; k < kCaptureSlots; ++k) {
      Line(out, "cal%02d=\"%s\"\r\n", k + 1, c->slots[k].c_str());
    }
  }
  RecordLines(connection->user_records, "user", out);
  RecordLines(connection->equation_records, "eqn", out);
}

void DigitalSensorGroup(const SDISensor& sdi, std::string* out) {
  Line(out, "type=\"Digital Sensor\"\r\n");
  Line(out, "identity=\"%s\"\r\n", sdi.identification.c_str());
  Line(out, "address=\"%c\"\r\n", sdi.address);
  Line(out, "addressInt=\"%i\"\r\n", static_cast<int>(static_cast<unsigned char>(sdi.address)));
  Line(out, "calibration=\"%s\"\r\n", sdi.x4_calibration.c_str());
  Line(out, "calibration2=\"%s\"\r\n", sdi.xa_calibration.c_str());
  Line(out, "sn=\"%s\"\r\n", sdi.serial_number.c_str());
  // Without the type a restore from the file (after an update that stopped
  // in the loader) cannot tell that the sensor takes Xb and XO back: those
  // calibrations would be lost. Readers that predate these keys skip them.
  Line(out, "sensorType=\"%u\"\r\n", static_cast<unsigned>(sdi.sensor_type));
  Line(out, "sensorTypeNumeric=\"%u\"\r\n", static_cast<unsigned>(sdi.numeric_type));
  if (sdi.xo_present) Line(out, "calibrationXO=\"%s\"\r\n", sdi.xo_calibration.c_str());
}

bool IsLoggerKind(int kind) {
  return kind == 2 || kind == 3 || kind == 4 || kind == 18 || kind == 19;
}

}  // namespace

// clang-format off
const InstrumentKey kInstrumentKeys[] = {
// key          form           text field                number field        written
  {"name",      kT,            &TextFieldOf<&C::i>,             nullptr,            0},
  {"sn",        kT,            &TextFieldOf<&C::sn>,            nullptr,            0},
  {"lang",      kN,            nullptr,                  &NumberFieldOf<&C::lang>,  0},
  {"HalvBuild", kT,            &TextFieldOf<&C::build>,         nullptr,            0},
  {"contr",     kN,            nullptr,                  &NumberFieldOf<&C::contr>, 0},
  {"config",    kT,            &TextFieldOf<&C::config>,        nullptr,            0},
  {"fvals",     kT,            &TextFieldOf<&C::fvals>,         nullptr,            0},
  {"uvals",     kT,            &TextFieldOf<&C::uvals>,         nullptr,            0},
  {"units",     kN,            nullptr,                  &NumberFieldOf<&C::units>, 0},
  {"adc",       kT,            &TextFieldOf<&C::adc>,           nullptr,            0},
  {"adccal",    kT,            &TextFieldOf<&C::adccal>,        nullptr,            0},
  {"calprefs",  kT,            &TextFieldOf<&C::c76>,           nullptr,            0},
  {"PCUnits",   kT,            &TextFieldOf<&C::units_text>,    nullptr,            0},
  {"sample",    kT,            &TextFieldOf<&C::sample>,        nullptr,            0},
  {"usage",     kT,            &TextFieldOf<&C::usage>,         nullptr,            0},
  {"adc15",     kT,            &TextFieldOf<&C::adc15>,         nullptr,            0},
  {"adc30",     kT,            &TextFieldOf<&C::adc30>,         nullptr,            0},
  {"location",  kT,            &TextFieldOf<&C::loc>,           nullptr,            0},
  {"chai",      kT,            &TextFieldOf<&C::x>,             nullptr,            0},
  {"extCal",    kT,            &TextFieldOf<&C::ext>,           nullptr,            0},
  {"tadj",      kT,            &TextFieldOf<&C::tadj>,          nullptr,            0},
  {"tau",       KeyForm::kTau, nullptr,                  nullptr,            0},
  {"hadj",      kT,            &TextFieldOf<&C::hadj>,          nullptr,            0},
  // Settings only a Sorbex keeps; without them its file would lose them.
  {"wtoffset",  kT,            &TextFieldOf<&C::wtoffset>,      nullptr,            kFlagWtoffset},
  {"p1offset",  kT,            &TextFieldOf<&C::p1offset>,      nullptr,            kFlagP1offset},
  {"auto",      kT,            &TextFieldOf<&C::autosec>,       nullptr,            kFlagAuto},
  {"wtfactory", kT,            &TextFieldOf<&C::wtfactory>,     nullptr,            kFlagWtfactory},
  {"sys",       kT,            &TextFieldOf<&C::sys>,           nullptr,            kFlagSys},
};
// clang-format on
const int kInstrumentKeyCount = sizeof kInstrumentKeys / sizeof kInstrumentKeys[0];

const InstrumentKey* FindInstrumentKey(const char* key) {
  for (const InstrumentKey& row : kInstrumentKeys) {
    if (strcmp(row.key, key) == 0) return &row;
  }
  return nullptr;
}

int32_t WriteInfoFile(InstrumentConnection* connection, const char* path) {
  if (connection == nullptr) return kProtocolMissingArgument;
  if (path == nullptr || path[0] == '\0') return kProtocolMissingArgument;
  FILE* file = fopen(path, "wb");
  if (file == nullptr) {
    const int error = errno;
    LogMessage(connection->log, kLogError, kProtocolTag,
               "WriteInfoFile got error %d trying to open settings file %s", error, path);
    return -error;
  }
  std::string text = kSettingsFileHeader;
  const int kind = connection->device_kind;
  if (IsLoggerKind(kind)) {
    LoggerGroup(connection->settings, &text);
  } else if (kind == kKindDigitalSensor) {
    DigitalSensorGroup(*connection->sdi, &text);
  } else {
    InstrumentGroup(connection, &text);
  }
  int32_t result = 1;
  if (fwrite(text.data(), 1, text.size(), file) != text.size() || fflush(file) != 0) {
    result = errno != 0 ? -errno : -EIO;
  }
  if (fclose(file) != 0 && result == 1) result = errno != 0 ? -errno : -EIO;
  if (result < 0) {
    LogMessage(connection->log, kLogError, kProtocolTag,
               "WriteInfoFile got error %d writing settings file %s", -result, path);
  }
  return result;
}

}  // namespace halv
