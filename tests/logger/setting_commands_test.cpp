// Every setting command through read, write, closed gate and a reply it
// cannot use; then the members that differ.
#include "logger/setting_commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/virtual_line.h"

namespace halv {
namespace {

class SettingTest : public test::VirtualLineTest {
 protected:
  SettingTest() : link(&log) {
    EXPECT_EQ(DSOpen(&link.channel, "COM7", 9600), 1);
    link.request.connection_kind = kConnectionSerial;
    link.retries = 1;
    OpenAllGates();
  }
  void OpenAllGates() {
    link.settings.new_firmware = 1;
    link.settings.supported_mask = 0xFFFFFFFF;
    link.settings.device_kind = kLoggerKindLaganX;
    link.settings.trait = kTraitKnown | kTraitCellular;
  }
  void CloseAllGates() {
    link.settings.new_firmware = 0;
    link.settings.supported_mask = 0;
    link.settings.trait = 0;
  }
  void Answer(const std::string& command, const std::string& reply) {
    line->Expect(command).Reply(reply, 20);
  }
  DeviceLink link;
};

struct Member {
  const char* name;
  int32_t (*run)(DeviceLink* link, int direction);
  std::string (*show)(const LoggerSettings& s);
  void (*fill)(LoggerSettings& s);
  const char* get_command;
  const char* get_reply;
  const char* read_value;
  int32_t unusable_read;  // result for a reply of just "\r>"
  const char* set_command;
  bool gated;  // false: reads work whatever the device supports
};

std::string Five(const uint8_t* v) {
  char text[32];
  snprintf(text, sizeof text, "%d %d %d %d %d", v[0], v[1], v[2], v[3], v[4]);
  return text;
}
std::string Real(double v) {
  char text[32];
  snprintf(text, sizeof text, "%.5f", v);
  return text;
}

// clang-format off
const Member kMembers[] = {
    {"Name", [](DeviceLink* l, int d) { return NameCommand(l, &l->settings.device_name, d); },
     [](const LoggerSettings& s) { return std::string(s.device_name.view()); },
     [](LoggerSettings& s) { s.device_name.Assign("LOG2"); },
     "get -i\r", "\rLOG1\r>", "LOG1", -30, "set -i LOG2\r", false},
    {"DeviceID", [](DeviceLink* l, int d) { return DeviceIDCommand(l, &l->settings.device_id, d); },
     [](const LoggerSettings& s) { return std::string(s.device_id.view()); },
     [](LoggerSettings& s) { s.device_id.Assign("D9"); },
     "get -devid\r", "\r D1234567890\r>", "D1234567", -31, "set -devid D9\r", true},
    {"Report", [](DeviceLink* l, int d) { return ReportCommand(l, &l->settings.report_mode, d); },
     [](const LoggerSettings& s) { return std::to_string(s.report_mode); },
     [](LoggerSettings& s) { s.report_mode = 4; },
     "get -report\r", "\r3\r>", "3", -30, "set -report 4\r", true},
    {"Depth", [](DeviceLink* l, int d) { return DepthCommand(l, l->settings.port_depths, d); },
     [](const LoggerSettings& s) { return Five(s.port_depths); },
     [](LoggerSettings& s) { for (int i = 0; i < 5; ++i) s.port_depths[i] = uint8_t(5 + i); },
     "get -depth\r", "\r1 2 3 4 300\r>", "1 2 3 4 255", -30, "set -depth 5 6 7 8 9\r", true},
    {"Site", [](DeviceLink* l, int d) { return SiteCommand(l, &l->settings.site_name, d); },
     [](const LoggerSettings& s) { return std::string(s.site_name.view()); },
     [](LoggerSettings& s) { s.site_name.Assign("Mill"); },
     "get -site\r", "\r Upper Creek below the weir\r>", "Upper Creek below the wei", -31,
     "set -site Mill\r", true},
    {"Latitude", [](DeviceLink* l, int d) { return LatitudeCommand(l, &l->settings.latitude, d); },
     [](const LoggerSettings& s) { return Real(s.latitude); },
     [](LoggerSettings& s) { s.latitude = 46.73; },
     "get -lat\r", "\r+46.50000\r>", "46.50000", -31, "set -lat +46.73000\r", true},
    {"Longitude", [](DeviceLink* l, int d) { return LongitudeCommand(l, &l->settings.longitude, d); },
     [](const LoggerSettings& s) { return Real(s.longitude); },
     [](LoggerSettings& s) { s.longitude = -120.5; },
     "get -long\r", "\r-117.25\r>", "-117.25000", -31, "set -long -120.50000\r", true},
    {"TimeZone", [](DeviceLink* l, int d) { return TimeZoneCommand(l, &l->settings.time_zone, d); },
     [](const LoggerSettings& s) { return std::to_string(s.time_zone); },
     [](LoggerSettings& s) { s.time_zone = 4; },
     "get -tz\r", "\r-32\r>", "-32", -30, "set -tz 4\r", true},
    {"SN", [](DeviceLink* l, int d) { return SNCommand(l, &l->settings.serial_number, d); },
     [](const LoggerSettings& s) { return std::string(s.serial_number.view()); },
     [](LoggerSettings& s) { s.serial_number.Assign("SN-7"); },
     "get -sn\r", "\rSN-0042\r>", "SN-0042", -30, "set -sn SN-7\r", false},
    {"Wake", [](DeviceLink* l, int d) { return WakeCommand(l, &l->settings.measurement_interval, d); },
     [](const LoggerSettings& s) { return std::to_string(s.measurement_interval); },
     [](LoggerSettings& s) { s.measurement_interval = 600; },
     "get -w\r", "\r900\r>", "900", -30, "set -w 600\r", true},
    {"PADC", [](DeviceLink* l, int d) { return PADCCommand(l, &l->settings.padc, d); },
     [](const LoggerSettings& s) { return std::to_string(s.padc); },
     [](LoggerSettings& s) { s.padc = 60; },
     "get -padc\r", "\r50\r>", "50", -30, "set -padc 60\r", true},
    {"Ports", [](DeviceLink* l, int d) { return PortsCommand(l, l->settings.port_sensor_types, d); },
     [](const LoggerSettings& s) { return Five(s.port_sensor_types); },
     [](LoggerSettings& s) { for (int i = 0; i < 5; ++i) s.port_sensor_types[i] = uint8_t(i); },
     "get -ports\r", "\r 9 8 7 6 5\r>", "9 8 7 6 5", -30, "set -ports 0 1 2 3 4\r", true},
    {"DataParameter",
     [](DeviceLink* l, int d) { return DataParameterCommand(l, &l->settings.data_parameter, d); },
     [](const LoggerSettings& s) { return std::to_string(s.data_parameter); },
     [](LoggerSettings& s) { s.data_parameter = 2; },
     "get -data\r", "\r7\r>", "7", -30, "set -data 2\r", true},
    {"HalvBuild", [](DeviceLink* l, int d) { return HalvBuildCommand(l, &l->settings.build, d); },
     [](const LoggerSettings& s) { return std::string(s.build.view()); },
     [](LoggerSettings& s) { s.build.Assign("B7"); },
     "get -build\r", "\rB-2026.1 rev 44 extra\r>", "B-2026.1 rev 44 ", -31, "set -build B7\r",
     true},
    {"APN", [](DeviceLink* l, int d) { return APNCommand(l, &l->settings.apn, d); },
     [](const LoggerSettings& s) { return std::string(s.apn.view()); },
     [](LoggerSettings& s) { s.apn.Assign("web.example"); },
     "get -apn\r", "\rinternet\r>", "internet", -31, "set -apn web.example\r", true},
    {"APNUser", [](DeviceLink* l, int d) { return APNUserCommand(l, &l->settings.apn_user_name, d); },
     [](const LoggerSettings& s) { return std::string(s.apn_user_name.view()); },
     [](LoggerSettings& s) { s.apn_user_name.Assign("u2"); },
     "get -user\r", "\ru1\r>", "u1", -31, "set -user u2\r", true},
    {"APNPasswd",
     [](DeviceLink* l, int d) { return APNPasswdCommand(l, &l->settings.apn_password, d); },
     [](const LoggerSettings& s) { return std::string(s.apn_password.view()); },
     [](LoggerSettings& s) { s.apn_password.Assign("p2"); },
     "get -passwd\r", "\rp1\r>", "p1", -31, "set -passwd p2\r", true},
    {"AuthKey",
     [](DeviceLink* l, int d) { return AuthKeyCommand(l, &l->settings.authorisation_key, d); },
     [](const LoggerSettings& s) { return std::string(s.authorisation_key.view()); },
     [](LoggerSettings& s) { s.authorisation_key.Assign("0123456789abcdef0123456789ABCDEFzz"); },
     "get -authkey\r", "\r00112233445566778899aabbccddeeff\r>",
     "00112233445566778899aabbccddeeff", -31,
     "set -authkey 0123456789abcdef0123456789ABCDEF\r", true},
    {"Host", [](DeviceLink* l, int d) { return HostCommand(l, &l->settings.remote_host_name, d); },
     [](const LoggerSettings& s) { return std::string(s.remote_host_name.view()); },
     [](LoggerSettings& s) { s.remote_host_name.Assign("h2.example"); },
     "get -host\r", "\rdata.example.org\r>", "data.example.org", -31, "set -host h2.example\r",
     true},
    {"IPPort", [](DeviceLink* l, int d) { return IPPortCommand(l, &l->settings.ip_port, d); },
     [](const LoggerSettings& s) { return std::to_string(s.ip_port); },
     [](LoggerSettings& s) { s.ip_port = 8080; },
     "get -ipport\r", "\r5000\r>", "5000", -31, "set -ipport 8080\r", true},
    {"Rmode", [](DeviceLink* l, int d) { return RmodeCommand(l, &l->settings.radio_mode, d); },
     [](const LoggerSettings& s) { return std::to_string(s.radio_mode); },
     [](LoggerSettings& s) { s.radio_mode = 1; },
     "get -r\r", "\r3\r>", "3", -30, "set -r 1\r", true},
};
// clang-format on

TEST_F(SettingTest, EveryMemberReadsWritesAndRefuses) {
  for (const Member& m : kMembers) {
    SCOPED_TRACE(m.name);
    OpenAllGates();
    Answer(m.get_command, m.get_reply);
    EXPECT_EQ(m.run(&link, kRead), 1);
    EXPECT_EQ(m.show(link.settings), m.read_value);

    Answer(m.get_command, "\r>");
    const std::string before = m.show(link.settings);
    EXPECT_EQ(m.run(&link, kRead), m.unusable_read);
    EXPECT_EQ(m.show(link.settings), before);  // a value not read leaves the field

    m.fill(link.settings);
    Answer(m.set_command, "\rOK\r>");
    EXPECT_EQ(m.run(&link, kWrite), 1);
    Answer(m.set_command, "\rnope\r>");
    EXPECT_EQ(m.run(&link, kWrite), -30);
    EXPECT_TRUE(line->Finished());

    CloseAllGates();
    line->ClearWritten();
    if (m.gated) {
      EXPECT_EQ(m.run(&link, kRead), -1);
    }
    if (std::string(m.name) != "Name") {
      EXPECT_EQ(m.run(&link, kWrite), -1);
    }
    EXPECT_EQ(line->Written(), "");
  }
  const std::string text = LogText();
  EXPECT_NE(text.find("WakeCommand found device measurement interval 900"), std::string::npos);
  EXPECT_NE(text.find("SiteCommand set site to \"Mill\""), std::string::npos);
  EXPECT_NE(text.find("LatitudeCommand set latitude to +46.73000"), std::string::npos);
  EXPECT_NE(text.find("IPPortCommand could not find device ipport"), std::string::npos);
  EXPECT_NE(text.find("DepthCommand: depths are 1 2 3 4 255"), std::string::npos);
  EXPECT_NE(text.find("RmodeCommand failed with error -30"), std::string::npos);
}

TEST_F(SettingTest, ClosedGatesLeaveNoLine) {
  CloseAllGates();
  const std::string before = LogText();
  int32_t interval = 5;
  EXPECT_EQ(WakeCommand(&link, &interval, kRead), -1);
  link.settings.port_depths[0] = 7;
  EXPECT_EQ(DepthCommand(&link, link.settings.port_depths, kRead), -1);
  EXPECT_EQ(Five(link.settings.port_depths), "255 255 255 255 255");
  link.settings.port_sensor_types[0] = 7;
  EXPECT_EQ(PortsCommand(&link, link.settings.port_sensor_types, kRead), -1);
  EXPECT_EQ(Five(link.settings.port_sensor_types), "0 0 0 0 0");
  EXPECT_EQ(LogText(), before);
}

TEST_F(SettingTest, ValuesRefusedBeforeAnyExchange) {
  int32_t interval = -5;
  EXPECT_EQ(WakeCommand(&link, &interval, kWrite), -11);
  FixedText<33> key;
  key.Assign("0123456789abcdef0123456789abcde");  // 31 digits
  EXPECT_EQ(AuthKeyCommand(&link, &key, kWrite), -11);
  DeviceName name;
  name.Assign("login");
  EXPECT_EQ(NameCommand(&link, &name, kWrite), -52);
  EXPECT_TRUE(Logged("NameCommand: \"login\" is an illegal device name (error -52)"));
  EXPECT_EQ(WakeCommand(&link, nullptr, kRead), -10);
  EXPECT_EQ(line->Written(), "");
}

TEST_F(SettingTest, ZeroLatitudeClearsIt) {
  double latitude = 0.0;
  Answer("set -lat \r", "\rOK\r>");
  EXPECT_EQ(LatitudeCommand(&link, &latitude, kWrite), 1);
  EXPECT_TRUE(line->Finished());
}

TEST_F(SettingTest, TimeZoneMinusTwoIsTheComputersOwn) {
  const char* old = getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  setenv("TZ", "XST8", 1);
  tzset();
  int32_t zone = -2;
  Answer("set -tz -32\r", "\rOK\r>");
  EXPECT_EQ(TimeZoneCommand(&link, &zone, kWrite), 1);
  EXPECT_EQ(zone, -32);
  if (old != nullptr) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  EXPECT_EQ(TimeZoneCommand(&link, nullptr, kWrite), -10);
}

TEST_F(SettingTest, FewerThanFiveDepths) {
  Answer("get -depth\r", "\r1 2 3 4\r>");
  EXPECT_EQ(DepthCommand(&link, link.settings.port_depths, kRead), -30);
  EXPECT_TRUE(Logged("DepthCommand only found 4 of 5 port depths"));
}

TEST_F(SettingTest, OldFirmwareForms) {
  link.settings.new_firmware = 0;
  link.settings.firmware_version = 170;
  int32_t hertz = 0;
  Answer("hertz\r", "\r60\r>");
  EXPECT_EQ(PADCCommand(&link, &hertz, kRead), 1);
  EXPECT_EQ(hertz, 60);
  Answer("set -p 50\r", "\r>");
  hertz = 50;
  EXPECT_EQ(PADCCommand(&link, &hertz, kWrite), 1);
  link.settings.firmware_version = 164;
  EXPECT_EQ(PADCCommand(&link, &hertz, kRead), -1);
  EXPECT_EQ(hertz, -1);
  int32_t interval = 300;
  Answer("set -w 300\r", "\r>");
  EXPECT_EQ(WakeCommand(&link, &interval, kWrite), 1);
  EXPECT_TRUE(line->Finished());
}

TEST_F(SettingTest, NameReadAnsweredByOnlyThePrompt) {
  Answer("get -i\r", "\r\r>");
  EXPECT_EQ(NameCommand(&link, &link.settings.device_name, kRead), -36);
}

TEST_F(SettingTest, AuthKeyFallsBackToTeakey) {
  Answer("get -authkey\r", "\rUnsupported\r>");
  Answer("get -teakey\r", "\r00112233445566778899aabbccddeeff\r>");
  EXPECT_EQ(AuthKeyCommand(&link, &link.settings.authorisation_key, kRead), 1);
  EXPECT_TRUE(Logged("AuthKeyCommand found authkey (as teakey) \"0011"));
}

TEST_F(SettingTest, ZetRadioModeIsAlwaysSixteen) {
  link.settings.device_kind = kLoggerKindZet;
  int32_t mode = 0;
  EXPECT_EQ(RmodeCommand(&link, &mode, kRead), 1);
  EXPECT_EQ(mode, 16);
  EXPECT_EQ(line->Written(), "");
}

TEST_F(SettingTest, TraitReadAndWrite) {
  uint32_t trait = 0;
  Answer("get -trait\r", "\r254\r>");
  EXPECT_EQ(TraitCommand(&link, &trait, kRead), 1);
  EXPECT_EQ(trait, 0x4001u);
  trait = 0x4009;
  Answer("set -trait 246\r", "\rOK\r>");
  EXPECT_EQ(TraitCommand(&link, &trait, kWrite), 1);
  Answer("get -trait\r", "\r999\r>");
  EXPECT_EQ(TraitCommand(&link, &trait, kRead), -30);

  link.settings.device_kind = kLoggerKindFieldpost;
  EXPECT_EQ(TraitCommand(&link, &trait, kRead), 1);
  EXPECT_EQ(trait, 16385u);
  link.settings.device_kind = kLoggerKindLagan;
  link.settings.supported_mask = 0;
  EXPECT_EQ(TraitCommand(&link, &trait, kRead), 1);
  EXPECT_EQ(trait, 0x4000u);
  EXPECT_EQ(TraitCommand(&link, &trait, kWrite), -12);
  // A radio that reports its version: the trait says so.
  link.settings.supported_mask = kSupportsRadio;
  Answer("get -rver\r", "\rOK\r1A2B\r>");
  EXPECT_EQ(TraitCommand(&link, &trait, kRead), 1);
  EXPECT_EQ(trait, 16385u);
  EXPECT_EQ(link.settings.radio_version, "1A2B");
  EXPECT_TRUE(line->Finished());
}

TEST_F(SettingTest, AdcCalibrationChecksumAndValidity) {
  uint8_t a[5] = {10, 20, 30, 40, 50};
  uint8_t b[5] = {1, 2, 3, 4, 5};
  link.settings.supported_mask &= ~kSupportsShortAdcCal;
  Answer("set -adc30 10 1 20 2 30 3 40 4 50 5 165\r", "\rOK\r>");
  EXPECT_EQ(ADCcalCommand(&link, 1, a, b, kWrite), 1);

  struct Case {
    const char* reply;
    int32_t result;
    const char* logged;
  };
  const Case cases[] = {
      {"\r10 1 20 2 30 3 40 4 50 5 165\r>", 1, "found (valid) -adc15 10 1 20 2"},
      {"\r0 1 20 2 30 3 40 4 50 5 155\r>", -1, "found (not valid) -adc15 0 1 20"},
      {"\r10 1 20 2 30 3 40 4 300 5 370\r>", -1,
       "found (not valid) -adc15 10 1 20 2 30 3 40 4 255"},
      {"\r10 1 20 2 30 3 40 4 50 5 166\r>", -1,
       "found (not valid) -adc15 10 1 20 2 30 3 40 4 50 5 166"},
      {"\r10 1 20\r>", -30, "only found 3 of 11 cal -adc15 factors"},
      {"\r99999999999999999999 1\r>", -30, "only found 2 of 11"},
  };
  for (const Case& c : cases) {
    Answer("get -adc15\r", c.reply);
    EXPECT_EQ(ADCcalCommand(&link, 2, a, b, kRead), c.result) << c.reply;
    EXPECT_TRUE(Logged(c.logged)) << c.logged;
  }
  Answer("get -adc15\r", "\r0 1 20 2 30 3 40 4 50 5 155\r>");
  EXPECT_EQ(ADCcalCommand(&link, 2, a, b, kRead), -1);
  EXPECT_EQ(a[0], 0);

  link.settings.supported_mask |= kSupportsShortAdcCal;
  a[0] = 200;
  b[0] = 100;
  Answer("set -adc30 200 100 44\r", "\rOK\r>");
  EXPECT_EQ(ADCcalCommand(&link, 1, a, b, kWrite), 1);
  Answer("get -adc30\r", "\r200 100 44\r>");
  EXPECT_EQ(ADCcalCommand(&link, 1, a, b, kRead), 1);
  EXPECT_EQ(ADCcalCommand(&link, 3, a, b, kRead), -11);
  EXPECT_EQ(ADCcalCommand(&link, 1, nullptr, b, kRead), -10);
  EXPECT_TRUE(line->Finished());
}

TEST_F(SettingTest, RadioItemsOfALoggerWithItsOwnCommands) {
  int32_t channel = 0, subchannel = 0;
  FixedText<9> version;
  uint32_t selection = kRadioChannelItem | kRadioSubchannelItem | kRadioVersionItem;
  Answer("get -rver\r", "\rOK\r1A2B\r>");
  Answer("get -rch\r", "\rOK\r5\r>");
  Answer("get -rsch\r", "\rOK\rBEEF\r>");
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kRead, &selection), 1);
  EXPECT_EQ(selection, 0x1C00u);
  EXPECT_EQ(channel, 5);
  EXPECT_EQ(subchannel, 0xBEEF);
  EXPECT_EQ(version, "1A2B");

  selection = 0x1C00;
  Answer("get -rver\r", "\rOK\r0000\r>");
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kRead, &selection), -45);
  EXPECT_EQ(selection, 0u);
  EXPECT_TRUE(Logged("MSRadioCommand couldn't find a radio"));

  selection = kRadioChannelItem | kRadioSubchannelItem;
  channel = 3;
  subchannel = 0x1F;
  Answer("set -rch 3\r", "\rOK\r>");
  Answer("set -rsch 1F\r", "\rgarbled\r>");
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kWrite, &selection), -35);
  EXPECT_EQ(selection, unsigned(kRadioChannelItem));
  EXPECT_TRUE(Logged("MSRadioCommand failed with error -35 setting 2048"));

  link.request.connection_kind = kConnectionRadio;
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kWrite, &selection), -12);
  link.request.configure_radio = 1;
  link.request.radio_channel = 4;
  link.request.radio_subchannel = 9;
  selection = 0x1C00;
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kRead, &selection), 1);
  EXPECT_EQ(selection, 0xC00u);
  EXPECT_EQ(channel, 4);
  EXPECT_TRUE(line->Finished());
}

}  // namespace
}  // namespace halv
