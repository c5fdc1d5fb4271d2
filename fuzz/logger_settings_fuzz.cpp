// The replies to every logger setting command, read and written, to the
// clock, to the radio query and to the whole settings transfer. The first
// byte picks the operation and its direction, the second what the device
// lacks.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_line.h"
#include "logger/logger_link.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"

namespace {

using halv::DeviceLink;
using Operation = void (*)(DeviceLink* link, int direction);

void Transfer(DeviceLink* l, int d) {
  halv::LoggerSettings block = l->settings;
  uint32_t mask = halv::kPresentSettingBits;
  halv::DeviceSettings(l, &block, &mask, d);
}

void Clock(DeviceLink* l, int d) {
  int64_t time = d == halv::kWrite ? 12345678 : 0;
  halv::DeviceTime(l, &time, d);
}

void Query(DeviceLink* l, int d) {
  char name[64];
  halv::QueryCommand(l, name, d == halv::kWrite ? sizeof name : 1);
}

void Adc(DeviceLink* l, int d) {
  uint8_t a[5] = {1, 2, 3, 4, 5};
  uint8_t b[5] = {6, 7, 8, 9, 10};
  halv::ADCcalCommand(l, 1 + (d == halv::kWrite), a, b, d);
  halv::ADCcalCommand(l, 2 - (d == halv::kWrite), a, b, halv::kRead);
}

void Radio(DeviceLink* l, int d) {
  uint32_t selection =
      halv::kRadioChannelItem | halv::kRadioSubchannelItem | halv::kRadioVersionItem;
  halv::MSRadioCommand(l, &l->settings.radio_channel, &l->settings.radio_subchannel,
                       &l->settings.radio_version, d, &selection);
}

#define SETTING(call) [](DeviceLink* l, int d) { call; }
const Operation kOperations[] = {
    SETTING(halv::NameCommand(l, &l->settings.device_name, d)),
    SETTING(halv::DeviceIDCommand(l, &l->settings.device_id, d)),
    SETTING(halv::ReportCommand(l, &l->settings.report_mode, d)),
    SETTING(halv::DepthCommand(l, l->settings.port_depths, d)),
    SETTING(halv::SiteCommand(l, &l->settings.site_name, d)),
    SETTING(halv::LatitudeCommand(l, &l->settings.latitude, d)),
    SETTING(halv::LongitudeCommand(l, &l->settings.longitude, d)),
    SETTING(halv::TimeZoneCommand(l, &l->settings.time_zone, d)),
    SETTING(halv::SNCommand(l, &l->settings.serial_number, d)),
    SETTING(halv::WakeCommand(l, &l->settings.measurement_interval, d)),
    SETTING(halv::PADCCommand(l, &l->settings.padc, d)),
    SETTING(halv::PortsCommand(l, l->settings.port_sensor_types, d)),
    SETTING(halv::DataParameterCommand(l, &l->settings.data_parameter, d)),
    SETTING(halv::HalvBuildCommand(l, &l->settings.build, d)),
    SETTING(halv::APNCommand(l, &l->settings.apn, d)),
    SETTING(halv::APNUserCommand(l, &l->settings.apn_user_name, d)),
    SETTING(halv::APNPasswdCommand(l, &l->settings.apn_password, d)),
    SETTING(halv::AuthKeyCommand(l, &l->settings.authorisation_key, d)),
    SETTING(halv::HostCommand(l, &l->settings.remote_host_name, d)),
    SETTING(halv::IPPortCommand(l, &l->settings.ip_port, d)),
    SETTING(halv::RmodeCommand(l, &l->settings.radio_mode, d)),
    SETTING(halv::TraitCommand(l, &l->settings.trait, d)),
    Adc,
    Radio,
    Clock,
    Query,
    Transfer,
};
#undef SETTING
constexpr size_t kOperationCount = sizeof kOperations / sizeof kOperations[0];

// Values a write sends: ordinary ones, so that the reply is what is judged.
void FillForWrite(halv::LoggerSettings* s) {
  s->device_name.Assign("LOG2");
  s->device_id.Assign("D9");
  s->site_name.Assign("Mill");
  s->serial_number.Assign("SN-7");
  s->build.Assign("B1");
  s->apn.Assign("apn");
  s->apn_user_name.Assign("user");
  s->apn_password.Assign("pw");
  s->authorisation_key.Assign("key");
  s->remote_host_name.Assign("host");
  s->measurement_interval = 600;
  s->padc = 60;
  s->time_zone = 4;
  s->ip_port = 80;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  const int direction = selector & 1 ? halv::kWrite : halv::kRead;
  const Operation operation = kOperations[(selector >> 1) % kOperationCount];
  // The second byte's bits close what the device supports, one gate each.
  const uint8_t closed = halv::fuzz::TakeSelector(&data, &size);
  halv::fuzz::FuzzLine line(std::string_view(reinterpret_cast<const char*>(data), size));
  halv::DeviceLink link(&line.log);
  if (!halv::fuzz::OpenFuzzLink(&link, closed & 0x80)) return 0;
  link.settings.new_firmware = !(closed & 1);
  if (closed & 2) link.settings.supported_mask &= ~halv::kSupportsSecondsClock;
  if (closed & 4) link.settings.supported_mask = 0;
  if (closed & 8) link.settings.trait = 0;
  if (closed & 0x10) link.settings.device_kind = halv::kLoggerKindLagan;
  if (direction == halv::kWrite) FillForWrite(&link.settings);
  operation(&link, direction);
  return 0;
}
