#include "sim/sdi12_sensor.h"

#include <strings.h>

#include <cctype>

namespace halv::sim {
namespace {

// The sensor's settings store. A firmware update leaves it at the defaults:
// address 0, no serial number, a blank calibration, and no sensor type (the
// firmware reports "0" until one is written).
constexpr SettingSeed kSensorSettings[] = {
    {"address", "0", "0"}, {"sn", "", ""}, {"x4", "", "1 0 0 0"},
    {"xa", "", ""},        {"xo", "", ""}, {"type", "", "0"},
};

// clang-format off
constexpr DeviceProfile kSensorDevice = {
  // name        kind model  version rev  INFO start, count, size  flash start, end
  "sdi-sensor",  10,  "SDI", "1.00",  'A', 0x1800, 4, 128,          0x8000, 0x88000,
  // loader: has, version, baud   restart  login        battery  erase ms, write us/word
  true, 8, 9600,                  500,     false, "",   100,     25, 70,
  kSensorSettings,
};
// clang-format on

constexpr const char* kOldXa = "1 1.44832 1.91683 2.35961 2.991";
constexpr const char* kNewerXa = "1 1.4724 2.03944 2.5652 2.9907";

// clang-format off
constexpr SdiSensorProfile kSensors[] = {
  // name        type  vendor      model     ver    addr serial     X4                       Xa               XO      loader
  {"rilo-350",   "z",  "HALVARD ", "RILO  ", "350", "0", "RL-0350", "1 -1 2.5 -1",           "",              nullptr, true},
  {"rilo-360",   "z",  "HALVARD ", "RILO  ", "360", "3", "RL-0360", "1 -1 2.5 -1 7 -1",      "",              nullptr, true},
  {"rilo-410",   "z",  "HALVARD ", "RILO  ", "410", "0", "RL-0410", "1 2.5 3",               "1 9 9 9 9",     nullptr, true},
  {"wesk-380",   "w",  "HALVARD ", "WSK   ", "380", "0", "WS-0380", "2 4 6",                 kOldXa,          nullptr, true},
  {"pomar-380",  "y",  "HALVARD ", "POMAR ", "380", "1", "PM-0380", "5 5 5",                 kNewerXa,        nullptr, true},
  {"celva-b",    "]",  "HALVARD ", "CELVA ", "356", "0", "CB-0093", "1 2 3",                 "4 5 6",         "7 8",   true},
  {"pluvo",      "^",  "HALVARD ", "PLUVO ", "300", "0", "",        "",                      "",              nullptr, false},
  {"wesk-u-330", "u",  "HALVARD ", "WSKU  ", "330", "0", "WU-0330", "1 2 4 0 10 20 0 0 5",   "",              nullptr, true},
  {"wesk-t-330", "t",  "HALVARD ", "WSKT  ", "330", "0", "WT-0330", "1 2 4 0 10 20 0 0 5",   "",              nullptr, true},
  {"celva-93",   "93", "HALVARD ", "CELVA ", "105", "0", "CB-1093", "1 2 3",                 "4 5 6",         "7 8",   true},
  {"celva-b-104", "]", "HALVARD ", "CELVA ", "104", "5", "CB-2104", "1.5 -2 3",              "0.1 0.2 0.3",   "9 9",   true},
  {"garno-g",    "g",  "HALVARD ", "GARNOK", "104", "2", "GK-0104", "3 2 1",                 "1 2",           nullptr, true},
  {"garno-k",    "k",  "HALVARD ", "GARNOP", "104", "2", "GP-0104", "3 2 1",                 "1 2",           nullptr, true},
};
// clang-format on

constexpr size_t kMaxSerial = 31;
constexpr size_t kMaxCalibration = 511;
constexpr size_t kMaxType = 3;

std::string DottedVersion(const char* digits) {
  std::string text(digits);
  return text.size() == 3 ? text.substr(0, 1) + "." + text.substr(1) : text;
}

DeviceSetup FactorySetup(const std::string& version, const SdiSensorFaults& faults) {
  DeviceSetup setup;
  setup.firmware_version = version.c_str();
  setup.start = faults.start;
  setup.faults = faults.loader;
  return setup;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::span<const SdiSensorProfile> SdiSensorProfiles() {
  return kSensors;
}

const SdiSensorProfile* FindSdiSensorProfile(const char* name) {
  if (name == nullptr) return nullptr;
  for (const SdiSensorProfile& p : kSensors) {
    if (strcasecmp(name, p.name) == 0) return &p;
  }
  return nullptr;
}

const DeviceProfile& SdiSensorDeviceProfile() {
  return kSensorDevice;
}

SdiSensor::SdiSensor(const SdiSensorProfile& profile, SdiSensorFaults faults)
    : profile_(profile),
      faults_(faults),
      factory_version_(DottedVersion(profile.version)),
      device_(kSensorDevice, FactorySetup(factory_version_, faults)) {
  auto& s = device_.Settings();
  s["address"] = profile.address;
  s["sn"] = profile.serial;
  s["x4"] = profile.x4;
  s["xa"] = profile.xa;
  s["xo"] = profile.xo != nullptr ? profile.xo : "";
  s["type"] = profile.type;
}

char SdiSensor::Address() const {
  const std::string address = Setting("address");
  return address.empty() ? '0' : address[0];
}

std::string SdiSensor::Setting(const char* key) const {
  const auto it = device_.Settings().find(key);
  return it == device_.Settings().end() ? std::string() : it->second;
}

// The version the running firmware's header names, as three digits.
std::string SdiSensor::VersionDigits() const {
  std::string digits;
  if (device_.Running().present) {
    for (const char* c = device_.Running().version; *c != '\0'; ++c) {
      if (isdigit(static_cast<unsigned char>(*c))) digits += *c;
    }
  }
  return digits.size() == 3 ? digits : std::string(profile_.version);
}

// "13", vendor (8), model (6), version (3): the version is
// characters 18 to 20 of the whole answer.
std::string SdiSensor::Identification() const {
  return "13" + std::string(profile_.vendor) + profile_.model + VersionDigits();
}

void SdiSensor::Wake() {
  if (faults_.sleepy && !woken_once_) ignore_next_ = true;
  woken_once_ = true;
}

void SdiSensor::PowerCycle() {
  woken_once_ = false;
  ignore_next_ = false;
  device_.PowerCycle();
}

std::string SdiSensor::Command(std::string_view command, uint64_t now_us) {
  device_.CatchUp(now_us);
  ++commands_seen_;
  if (faults_.silent || !FirmwareRunning()) return {};
  if (ignore_next_) {
    ignore_next_ = false;
    device_.Note("sdi: command ignored after wake", command);
    return {};
  }
  if (command.size() < 2 || command.back() != '!') return {};
  const char to = command[0];
  if (to != '?' && to != Address()) return {};  // another sensor's command
  const std::string_view body = command.substr(1, command.size() - 2);
  if (faults_.refuse_command != nullptr && StartsWith(body, faults_.refuse_command)) {
    device_.Note("sdi: command refused", command);
    return Answer("ERROR") + "\r\n";
  }
  const std::string answer = Dispatch(body);
  return answer.empty() ? answer : answer + "\r\n";
}

std::string SdiSensor::Answer(std::string_view body) {
  return std::string(1, Address()) + std::string(body);
}

std::string SdiSensor::Store(const char* key, std::string_view value, size_t limit) {
  if (value.size() > limit) return Answer("ERROR");
  device_.Settings()[key] = std::string(value);
  return Answer("OK");
}

// One command without its address and "!". Empty: the sensor stays quiet,
// as SDI-12 sensors do with commands they do not know.
std::string SdiSensor::Dispatch(std::string_view body) {
  const auto valued = [this](const std::string& value) {
    return value.empty() ? Answer("") : Answer(" " + value);
  };
  if (body.empty()) return Answer("");
  if (body == "I") return Answer(Identification());
  if (body == "X8") return Answer(" " + Setting("type"));
  if (StartsWith(body, "X9 ")) {
    const std::string_view type = body.substr(3);
    if (type.empty() || type.size() > kMaxType) return Answer("ERROR");
    device_.Settings()["type"] = std::string(type);
    return Answer("OK");
  }
  if (body == "X#") return valued(Setting("sn"));
  if (StartsWith(body, "X#")) return Store("sn", body.substr(2), kMaxSerial);
  if (body == "X4") return valued(Setting("x4"));
  if (StartsWith(body, "X5")) return Store("x4", body.substr(2), kMaxCalibration);
  if (body == "Xa") {
    if (faults_.xa_answer != nullptr) return Answer(faults_.xa_answer);
    return valued(Setting("xa"));
  }
  if (StartsWith(body, "Xb")) return Store("xa", body.substr(2), kMaxCalibration);
  if (StartsWith(body, "XO")) {
    if (profile_.xo == nullptr) return Answer("ERROR");
    if (body == "XO") return valued(Setting("xo"));
    return Store("xo", body.substr(2), kMaxCalibration);
  }
  if (body.size() == 2 && body[0] == 'A') {
    const char address = body[1];
    if (!isalnum(static_cast<unsigned char>(address))) return {};
    device_.Settings()["address"] = std::string(1, address);
    return std::string(1, address);
  }
  if (body == "post") {
    const bool good = !faults_.corrupt && device_.CodeGood();
    return Answer(good ? "Code Good!" : "Code Corrupt!");
  }
  if (body == "B") {
    if (!profile_.has_loader || faults_.no_loader) return Answer("No BSL");
    device_.EnterLoader();
    return Answer("");
  }
  return {};
}

}  // namespace halv::sim
