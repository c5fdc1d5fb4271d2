// Reading the settings file back into the connection record, by the device's
// kind: the logger settings block, the captured instrument settings, or the
// digital sensor's record.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>

#include "protocol/settings_capture.h"
#include "protocol/settings_file.h"
#include "protocol/settings_file_keys.h"

namespace halv {
namespace {

// Bits of the logger settings block's present mask.
enum LoggerBit : uint32_t {
  kBitName = 1u << 0,
  kBitSerialNumber = 1u << 1,
  kBitTrait = 1u << 3,
  kBitInterval = 1u << 4,
  kBitPorts = 1u << 5,
  kBitPadc = 1u << 6,
  kBitDeviceId = 1u << 7,
  kBitDataParameter = 1u << 8,
  kBitRadioMode = 1u << 9,
  kBitRadioChannel = 1u << 10,
  kBitRadioSubchannel = 1u << 11,
  kBitDepths = 1u << 13,
  kBitSite = 1u << 14,
  kBitLatitude = 1u << 15,
  kBitLongitude = 1u << 16,
  kBitTimeZone = 1u << 17,
  kBitApn = 1u << 18,
  kBitApnUser = 1u << 19,
  kBitApnPassword = 1u << 20,
  kBitHost = 1u << 21,
  kBitAuthKey = 1u << 22,
  kBitIpPort = 1u << 23,
  kBitReport = 1u << 24,
  kBitAdc30 = 1u << 25,
  kBitAdc15 = 1u << 26,
  kBitBuild = 1u << 27,
};
// A radio subchannel means a known trait with a radio fitted.
constexpr uint32_t kRadioTrait = 0x4001;

bool Holds(std::string_view text, const char* what) {
  return text.find(what) != std::string_view::npos;
}

template <size_t N>
bool ReadText(std::string_view text, const char* key, FixedText<N>* field, size_t capacity = N) {
  if (capacity > N) capacity = N;
  return ReadKeyText(text, key, field->text, capacity);
}

template <typename T>
bool ReadNumber(std::string_view text, const char* key, T* value) {
  uint32_t number;
  if (!ReadKeyNumber(text, key, &number)) return false;
  *value = static_cast<T>(number);
  return true;
}

// "a b c d e": all five numbers must be there.
bool ReadFive(std::string_view text, const char* key, uint8_t* values) {
  FixedText<96> value;
  if (!ReadText(text, key, &value)) return false;
  unsigned v[5];
  if (sscanf(value.c_str(), "%u %u %u %u %u", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5) {
    return false;
  }
  for (int k = 0; k < 5; ++k) values[k] = static_cast<uint8_t>(v[k]);
  return true;
}

bool Plausible(uint8_t factor) {
  return factor != 0 && factor != 255;
}

// The slopes and offsets of one ADC table; only a first pair that is neither
// 0 nor 255 counts as a calibration.
bool ReadAdcTable(std::string_view text, const char* slopes, const char* offsets,
                  uint8_t (*table)[kSensorPorts]) {
  const bool read_slopes = ReadFive(text, slopes, table[0]);
  const bool read_offsets = ReadFive(text, offsets, table[1]);
  return read_slopes && read_offsets && Plausible(table[0][0]) && Plausible(table[1][0]);
}

uint32_t ReadLaganXKeys(std::string_view text, LoggerSettings* s) {
  uint32_t mask = 0;
  auto set = [&mask](bool found, uint32_t bits) {
    if (found) mask |= bits;
  };
  set(ReadText(text, "deviceid", &s->device_id, 9), kBitDeviceId);
  set(ReadText(text, "name", &s->device_name, 9), kBitName);
  set(ReadText(text, "sn", &s->serial_number, 16), kBitSerialNumber);
  set(ReadNumber(text, "trait", &s->trait), kBitTrait);
  set(ReadNumber(text, "wake", &s->measurement_interval), kBitInterval);
  set(ReadNumber(text, "padc", &s->padc), kBitPadc);
  set(ReadFive(text, "ports", s->port_sensor_types), kBitPorts);
  set(ReadFive(text, "depth", s->port_depths), kBitDepths);
  set(ReadAdcTable(text, "ADC15 slopes", "ADC15 offsets", s->adc15_calibration), kBitAdc15);
  set(ReadAdcTable(text, "ADC30 slopes", "ADC30 offsets", s->adc30_calibration), kBitAdc30);
  set(ReadText(text, "HalvBuild", &s->build, 17), kBitBuild);
  set(ReadNumber(text, "data", &s->data_parameter), kBitDataParameter);
  set(ReadNumber(text, "rmode", &s->radio_mode), kBitRadioMode);
  set(ReadNumber(text, "rch", &s->radio_channel), kBitRadioChannel);
  if (ReadNumber(text, "rsch", &s->radio_subchannel)) {
    mask |= kBitRadioSubchannel | kBitTrait;
    s->trait += kRadioTrait;
  }
  set(ReadText(text, "site", &s->site_name, 26), kBitSite);
  set(ReadKeyReal(text, "lat", &s->latitude), kBitLatitude);
  set(ReadKeyReal(text, "lon", &s->longitude), kBitLongitude);
  set(ReadNumber(text, "timezone", &s->time_zone), kBitTimeZone);
  set(ReadNumber(text, "report", &s->report_mode), kBitReport);
  set(ReadText(text, "apn", &s->apn, 36), kBitApn);
  set(ReadText(text, "user", &s->apn_user_name, 36), kBitApnUser);
  set(ReadText(text, "passwd", &s->apn_password, 36), kBitApnPassword);
  set(ReadText(text, "host", &s->remote_host_name, 64), kBitHost);
  set(ReadText(text, "authkey", &s->authorisation_key, 33), kBitAuthKey);
  set(ReadNumber(text, "ipport", &s->ip_port), kBitIpPort);
  return mask;
}

uint32_t ReadLaganBKeys(std::string_view text, LoggerSettings* s) {
  uint32_t mask = 0;
  if (ReadText(text, "name", &s->device_name)) mask |= kBitName;
  if (ReadText(text, "sn", &s->serial_number)) mask |= kBitSerialNumber;
  if (ReadNumber(text, "wake", &s->measurement_interval)) mask |= kBitInterval;
  if (ReadNumber(text, "padc", &s->padc)) mask |= kBitPadc;
  uint32_t last = 0;
  for (int port = 0; port < kSensorPorts; ++port) {
    char key[32];
    snprintf(key, sizeof key, "Port number=\"%d\" value", port + 1);
    if (ReadKeyNumber(text, key, &last)) s->port_sensor_types[port] = static_cast<uint8_t>(last);
  }
  if (last > 0) mask |= kBitPorts;
  if (ReadText(text, "HalvBuild", &s->build)) mask |= kBitBuild;
  return mask;
}

uint32_t ReadFieldpostKeys(std::string_view text, LoggerSettings* s) {
  uint32_t mask = 0;
  if (ReadText(text, "name", &s->device_name)) mask |= kBitName;
  if (ReadText(text, "sn", &s->serial_number)) mask |= kBitSerialNumber;
  if (ReadNumber(text, "rch", &s->radio_channel)) mask |= kBitRadioChannel;
  if (ReadNumber(text, "rsch", &s->radio_subchannel)) {
    mask |= kBitRadioSubchannel | kBitTrait;
    s->trait = kRadioTrait;
  }
  if (ReadNumber(text, "data", &s->data_parameter)) mask |= kBitDataParameter;
  return mask;
}

int32_t ReadLoggerFile(InstrumentConnection* connection, std::string_view text) {
  LoggerSettings* s = &connection->settings;
  uint32_t mask = 0;
  switch (connection->device_kind) {
    case 2:
      if (!Holds(text, "type=\"Lagan B\"")) return kProtocolBadReply;
      mask = ReadLaganBKeys(text, s);
      s->supported_mask = 0x474BE;
      break;
    case 4:
      if (!Holds(text, "type=\"Fieldpost\"")) return kProtocolBadReply;
      mask = ReadFieldpostKeys(text, s);
      s->supported_mask = 0x24583;
      break;
    default:  // 3, 18, 19: a Corvo writes its own type line
      if (!Holds(text, "type=\"Lagan X\"") && !Holds(text, "type=\"Zet\"") &&
          !Holds(text, "type=\"Corvo\"")) {
        return kProtocolBadReply;
      }
      mask = ReadLaganXKeys(text, s);
      s->supported_mask = 0x707FFF7;
      break;
  }
  s->present_mask = mask;
  connection->saved_flags = mask;
  return 1;
}

// One instrument key into the captured settings; its flag is set when found.
void ReadInstrumentKey(std::string_view text, const char* name, uint32_t flag,
                       CapturedSettings* c) {
  const InstrumentKey* key = FindInstrumentKey(name);
  if (key == nullptr) return;
  bool found = false;
  if (key->form == KeyForm::kText) {
    const TextRef field = key->text(c);
    found = ReadKeyText(text, key->key, field.text, field.width);
  } else if (key->form == KeyForm::kNumber) {
    found = ReadNumber(text, key->key, key->number(c));
  } else {
    found = ReadNumber(text, key->key, &c->tau);
  }
  if (found) c->flags |= flag;
}

struct KeyFlag {
  const char* key;
  uint32_t flag;
};

// The keys each kind reads back, with the flag each sets.
void ReadKeys(std::string_view text, std::initializer_list<KeyFlag> keys, CapturedSettings* c) {
  for (const KeyFlag& k : keys) ReadInstrumentKey(text, k.key, k.flag, c);
}

// hadj and tau restore together or not at all.
void ReadHadjTau(std::string_view text, CapturedSettings* c) {
  FixedText<257> hadj;
  uint32_t tau;
  if (ReadText(text, "hadj", &hadj) && ReadKeyNumber(text, "tau", &tau)) {
    c->hadj = hadj;
    c->tau = tau;
    c->flags |= kFlagHadjTau;
  }
}

void ReadRecords(InstrumentConnection* connection, std::string_view text, bool equations) {
  CapturedSettings* c = &connection->captured;
  if (GetRecords_File(connection, &connection->user_records, kUserRecords, text) > 0) {
    c->flags |= kFlagUserRecords;
  }
  if (equations &&
      GetRecords_File(connection, &connection->equation_records, kEquationRecords, text) > 0) {
    c->flags |= kFlagEquationRecords;
  }
}

void ReadHandixSlots(std::string_view text, CapturedSettings* c) {
  for (int k = 0; k < kCaptureSlots; ++k) {
    char key[8];
    snprintf(key, sizeof key, "cal%02d", k);
    if (!ReadText(text, key, &c->slots[k])) break;
    c->flags |= kFlagCalibration;
  }
}

// The writer keeps slot n under "cal" n + 1, empty slots included.
void ReadTdlSlots(std::string_view text, CapturedSettings* c) {
  for (int k = 0; k < kCaptureSlots; ++k) {
    char key[8];
    snprintf(key, sizeof key, "cal%02d", k + 1);
    size_t ignored;
    if (!FindKeyValue(text, key, &ignored)) break;
    if (ReadText(text, key, &c->slots[k])) {
      c->flags |= kFlagParameterSet;
    } else {
      c->slots[k].Clear();
    }
  }
}

// A Hydrel Q, and the TDL after it.
void ReadHydrelQ(InstrumentConnection* connection, std::string_view text) {
  CapturedSettings* c = &connection->captured;
  // The serial number is read too: the capture holds it, and a new serial
  // number's config correction needs the old one.
  ReadKeys(text, {{"config", kFlagConfig}, {"tadj", kFlagTadj}, {"sn", kFlagSerialNumber}}, c);
  ReadHadjTau(text, c);
  ReadKeys(text, {{"uvals", kFlagUserValues}}, c);
  ReadRecords(connection, text, true);
}

int32_t ReadInstrumentFile(InstrumentConnection* connection, std::string_view text) {
  const int kind = connection->device_kind;
  const std::string type_line = std::string("type=\"") + DeviceKindModelCode(kind) + "\"";
  if (!Holds(text, type_line.c_str())) return kProtocolBadReply;
  CapturedSettings* c = &connection->captured;
  c->flags = 0;  // what the file holds replaces any earlier capture
  switch (kind) {
    case 6:
      ReadKeys(text,
               {{"sn", kFlagSerialNumber},
                {"lang", kFlagLanguage},
                {"contr", kFlagContrast},
                {"fvals", kFlagFvals},
                {"uvals", kFlagUserValues}},
               c);
      ReadHadjTau(text, c);  // captured as well; without it they would be lost
      break;
    case 7:
      ReadKeys(text,
               {{"sn", kFlagSerialNumber},
                {"contr", kFlagContrast},
                {"units", kFlagUnits},
                {"adc", kFlagAdc},
                {"sample", kFlagSample}},
               c);
      break;
    case 8:
      ReadKeys(text,
               {{"location", kFlagLocation},
                {"chai", kFlagX},
                {"extCal", kFlagExt},
                {"adccal", kFlagAdccal}},
               c);
      // Firmware from 2.00 on keeps these as well.
      if (connection->device.firmware_version >= 200) {
        ReadKeys(text,
                 {{"sn", kFlagSerialNumber}, {"contr", kFlagContrast}, {"config", kFlagConfig}}, c);
      }
      break;
    case 9:
      ReadKeys(text,
               {{"sn", kFlagSerialNumber},
                {"contr", kFlagContrast},
                {"units", kFlagUnits},
                {"fvals", kFlagFvals}},
               c);
      break;
    case 11:
      ReadKeys(text,
               {{"sn", kFlagSerialNumber},
                {"adccal", kFlagAdccal},
                {"wtoffset", kFlagWtoffset},
                {"p1offset", kFlagP1offset},
                {"auto", kFlagAuto},
                {"wtfactory", kFlagWtfactory},
                {"sys", kFlagSys}},
               c);
      break;
    case 12:
      ReadKeys(text, {{"adccal", kFlagAdccal}, {"config", kFlagConfig}}, c);
      break;
    case 13:
      // The name and serial number belong to the settings block; the restore
      // writes them from the captured settings, so they go there too.
      ReadKeys(text, {{"name", kFlagName}, {"sn", kFlagSerialNumber}}, c);
      ReadText(text, "name", &connection->settings.device_name);
      ReadText(text, "sn", &connection->settings.serial_number);
      break;
    case 14:
      ReadKeys(text,
               {{"sn", kFlagSerialNumber},
                {"name", kFlagName},
                {"contr", kFlagContrast},
                {"adc15", kFlagAdc15},
                {"adc30", kFlagAdc30}},
               c);
      ReadHandixSlots(text, c);
      break;
    case 15:
      ReadHydrelQ(connection, text);
      break;
    case 16:
      ReadKeys(text,
               {{"config", kFlagConfig},
                {"sn", kFlagSerialNumber},
                {"tadj", kFlagTadj},
                {"fvals", kFlagP},
                {"uvals", kFlagP},
                {"calprefs", kFlagP}},
               c);
      ReadRecords(connection, text, false);
      break;
    case 17:
    case 20:
      ReadKeys(text, {{"config", kFlagConfig}, {"sn", kFlagSerialNumber}}, c);
      break;
    case 22:
      ReadHydrelQ(connection, text);
      ReadTdlSlots(text, c);
      break;
    case 23:
      ReadKeys(text,
               {{"sn", kFlagSerialNumber},
                {"usage", kFlagUsage},
                {"contr", kFlagContrast},
                {"tadj", kFlagTadj},
                {"fvals", kFlagP},
                {"PCUnits", kFlagUnitsText}},
               c);
      break;
    case 24:
      ReadKeys(text, {{"sn", kFlagSerialNumber}}, c);
      break;
    default:
      return kProtocolBadReply;
  }
  c->kind = static_cast<uint8_t>(kind);
  connection->saved_flags = c->flags;
  return kind == 13 ? 0 : 1;
}

int32_t ReadDigitalSensorFile(InstrumentConnection* connection, std::string_view text) {
  if (!Holds(text, "type=\"Digital Sensor\"")) return kProtocolBadReply;
  SDISensor* sdi = connection->sdi.get();
  uint32_t address;
  // Only a character can be an address; a wild number leaves it as it was.
  if (ReadKeyNumber(text, "addressInt", &address) && address > 0 && address < 128) {
    sdi->address = static_cast<char>(address);
  }
  ReadText(text, "calibration", &sdi->x4_calibration);
  ReadText(text, "calibration2", &sdi->xa_calibration);
  ReadText(text, "sn", &sdi->serial_number);
  // Files of earlier versions have no type; the record keeps what it holds.
  uint32_t type = 0;
  uint32_t numeric = 0;
  if (ReadKeyNumber(text, "sensorType", &type) && type > 0 && type < 255) {
    sdi->sensor_type = static_cast<uint8_t>(type);
    sdi->numeric_type = ReadKeyNumber(text, "sensorTypeNumeric", &numeric) && numeric == 1;
  }
  if (ReadText(text, "calibrationXO", &sdi->xo_calibration)) sdi->xo_present = 1;
  return 1;
}

int32_t OpenError(int error) {
  switch (error) {
    case ENOENT:
      return kProtocolFileNotFound;
    case EACCES:
    case EPERM:
      return kProtocolAccessDenied;
    case EBADF:
      return kProtocolBadHandle;
    default:
      return error != 0 ? -error : -EIO;
  }
}

// The whole file, zero-terminated. 1 or a negative code.
int32_t LoadFile(const char* path, std::unique_ptr<char[]>* text, size_t* length) {
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return OpenError(errno);
  int32_t result = 1;
  long size = -1;
  if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
  if (size < 0 || fseek(file, 0, SEEK_SET) != 0) {
    result = OpenError(errno);
  } else {
    text->reset(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
    if (*text == nullptr) {
      result = kProtocolNoMemory;
    } else {
      *length = fread(text->get(), 1, static_cast<size_t>(size), file);
      if (ferror(file)) result = OpenError(errno);
      (*text)[*length] = '\0';
    }
  }
  fclose(file);
  return result;
}

}  // namespace

int32_t ReadInfoFile(InstrumentConnection* connection, const char* path) {
  if (connection == nullptr || path == nullptr || path[0] == '\0') {
    return kProtocolMissingArgument;
  }
  std::unique_ptr<char[]> buffer;
  size_t length = 0;
  const int32_t loaded = LoadFile(path, &buffer, &length);
  if (loaded < 0) return loaded;
  const std::string_view text(buffer.get(), length);
  switch (connection->device_kind) {
    case 0:
    case 1:
    case 5:
      return kProtocolNotForKind;
    case 2:
    case 3:
    case 4:
    case 18:
    case 19:
      return ReadLoggerFile(connection, text);
    case kKindDigitalSensor:
      return ReadDigitalSensorFile(connection, text);
    default:
      if (connection->device_kind >= kKindCount) return kProtocolNotForKind;
      return ReadInstrumentFile(connection, text);
  }
}

}  // namespace halv
