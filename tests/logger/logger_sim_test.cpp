// The logger link against simulated loggers, in process on virtual time:
// identification and baud negotiation, the radio's wake, query, login and
// logout, the AT modem, every setting command, the settings transfer with
// its re-login, the clock and the data erase, and the faults that devices
// show in the field.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logger/logger_link.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/halvsim_options.h"
#include "sim/logger_firmware.h"
#include "sim/sim_port_backend.h"
#include "support/temp_dir.h"

namespace halv::sim {
namespace {

constexpr const char* kPort = "SIM4";

class LoggerSimTest : public ::testing::Test {
 protected:
  LoggerSimTest() : use_clock(&clock), link(&log) {
    setenv("TZ", "UTC", 1);  // the clock tests compare local times
    tzset();
    CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogDetail, true);
  }
  ~LoggerSimTest() override {
    DSClose(&link.channel);
    link.request.connection_kind = kConnectionNone;
    use_backend.reset();
  }

  void Start(const char* kind, LoggerSetup logger = {}, FaultPlan faults = {}) {
    DSClose(&link.channel);
    link.request.connection_kind = kConnectionNone;
    link.settings = halv::LoggerSettings{};
    use_backend.reset();
    backend.reset();
    DeviceSetup setup;
    setup.faults = faults;
    setup.logger = logger;
    setup.logger.profile = FindLoggerProfile(kind);
    ASSERT_NE(setup.logger.profile, nullptr) << kind;
    device = std::make_unique<SimDevice>(LoggerDeviceProfile(), setup);
    backend = std::make_unique<SimPortBackend>(*device, kPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }
  LoggerFirmware& Logger() { return *static_cast<LoggerFirmware*>(device->Personality()); }

  int32_t Connect(uint8_t kind = kConnectionSerial, uint8_t baud_index = 2, const char* name = "") {
    ConnectRequest request;
    request.port_name.Assign(kPort);
    request.connection_kind = kind;
    request.baud_index = baud_index;
    request.login_name.Assign(name);
    return DeviceConnect(&link, &request);
  }
  // Serial connection at 9600 to a freshly started logger.
  void Connected(const char* kind, LoggerSetup logger = {}, FaultPlan faults = {}) {
    Start(kind, logger, faults);
    ASSERT_EQ(Connect(), 1);
  }
  void Answers(const std::string& answer, const std::string& only_to = "") {
    LoggerFaults f;
    f.answer = answer;
    f.answer_only_to = only_to;
    Logger().SetFaults(f);
  }
  std::string Stored(const char* key) { return device->Settings()[key]; }
  uint64_t Now() { return clock.NowMs(); }
  std::string LogText() const { return test::ReadWholeFile(log.file_name); }
  bool Logged(const std::string& text) const { return LogText().find(text) != std::string::npos; }

  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<SimDevice> device;
  std::unique_ptr<SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  DeviceLink link;
};

// ---- identification and baud ----

TEST_F(LoggerSimTest, EveryLoggerKindIsIdentified) {
  struct Case {
    const char* profile;
    uint8_t kind;
    int32_t version;
    uint32_t mask;
    uint8_t new_firmware;
  };
  const Case cases[] = {
      {"laganx", 3, 205, 0x5E7FFF7, 1},     {"zet", 11, 205, 0x5E3FFF7, 1},
      {"corvo", 12, 112, 0x7C3F6F7, 1},     {"fieldpost", 4, 110, 0x24583, 1},
      {"laganb", 6, 210, 0x474BE, 1},       {"lagan", 2, 120, 0x371F, 1},
      {"vcd", 8, 104, 0x3007, 1},           {"vadro-cal", 9, 101, 0x10026, 1},
      {"handix-log", 10, 123, 0x1D3083, 1}, {"lagan-old", 2, 0, 0x331C, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    Start(c.profile);
    ASSERT_EQ(Connect(), 1);
    EXPECT_EQ(link.settings.device_kind, c.kind);
    EXPECT_EQ(link.settings.firmware_version, c.version);
    EXPECT_EQ(link.settings.supported_mask, c.mask);
    EXPECT_EQ(link.settings.new_firmware, c.new_firmware);
    // The host's idea of the kind is the firmware's own set of commands.
    EXPECT_EQ(link.settings.supported_mask, Logger().Profile().features);
  }
  EXPECT_TRUE(Logged("VerCommand found \"ZET 2.05\" ver 205"));
  EXPECT_TRUE(Logged("VerCommand found Lagan with old firmware"));
}

TEST_F(LoggerSimTest, OldLaganIsReadFromItsShowReply) {
  Connected("lagan-old");
  EXPECT_EQ(VerCommand(&link, false), 1);
  EXPECT_EQ(link.settings.device_name.view(), "LAGAN77");
  EXPECT_EQ(link.settings.firmware_version, 112);
  EXPECT_EQ(link.settings.measurement_interval, 15);
  EXPECT_EQ(link.settings.radio_mode, 3);
  EXPECT_EQ(link.reset_count, 3);

  // The settings transfer takes name, interval and radio mode from one show
  // reply, and the version with them.
  Connected("lagan-old");
  device->Settings()["interval"] = "45";
  halv::LoggerSettings block;
  uint32_t mask = kPresentName | kPresentInterval | kPresentRadioMode;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, kRead), 1);
  EXPECT_EQ(mask, kPresentName | kPresentInterval | kPresentRadioMode | kPresentVersion);
  EXPECT_EQ(block.measurement_interval, 45);
  EXPECT_EQ(device->Log().Count("show"), 1u);
}

TEST_F(LoggerSimTest, BaudNegotiationMovesBothEnds) {
  Start("zet");
  ASSERT_EQ(Connect(kConnectionSerial, 6), 1);
  EXPECT_EQ(link.channel.baud, 115200u);
  EXPECT_EQ(Logger().Baud(), 115200u);
  EXPECT_EQ(link.request.baud_index, 6);
  DeviceName name;
  EXPECT_EQ(NameCommand(&link, &name, kRead), 1);  // heard at the new rate
  EXPECT_EQ(name.view(), "ZET0007");
  EXPECT_EQ(DisconnectDevice(&link, false), 1);
  EXPECT_EQ(Logger().Baud(), 9600u);

  // Without a baud command both stay at 9600, and the index says so.
  Start("laganb");
  ASSERT_EQ(Connect(kConnectionSerial, 6), 1);
  EXPECT_EQ(link.channel.baud, 9600u);
  EXPECT_EQ(Logger().Baud(), 9600u);
  EXPECT_EQ(link.request.baud_index, 2);
  EXPECT_EQ(device->Log().Count("set -baud"), 0u);

  // A logger that refuses the change: the link stays at 9600.
  LoggerSetup refuses;
  refuses.faults.answer = "\rERROR\r>";
  refuses.faults.answer_only_to = "set -baud";
  Start("corvo", refuses);
  ASSERT_EQ(Connect(kConnectionSerial, 6), 1);
  EXPECT_EQ(link.channel.baud, 9600u);
  EXPECT_EQ(Logger().Baud(), 9600u);
  EXPECT_EQ(link.request.baud_index, 2);
  EXPECT_TRUE(Logged("DeviceLogin: device didn't change baud rate (error -34)"));
}

// ---- faults of the exchange ----

TEST_F(LoggerSimTest, EchoIsRecognisedAtTheFirstTry) {
  FaultPlan echo;
  echo.echo = true;
  Start("zet", {}, echo);
  ASSERT_EQ(DSOpen(&link.channel, kPort, 9600), 1);
  link.request.connection_kind = kConnectionSerial;
  link.retries = 3;
  EXPECT_EQ(DeviceCommand(&link, "get -ver\r", '>', 400, nullptr, nullptr, nullptr), -32);
  EXPECT_EQ(Logger().LinesHeard(), 1u);
  EXPECT_TRUE(
      Logged("DeviceCommand is hearing echoed commands -- device is broken? Relay active?"));

  LoggerSetup radio;
  radio.over_radio = true;
  radio.start_awake = true;
  Start("zet", radio, echo);
  ASSERT_EQ(DSOpen(&link.channel, kPort, 9600), 1);
  link.request.connection_kind = kConnectionRadio;
  link.retries = 5;
  char name[9] = {};
  EXPECT_EQ(QueryCommand(&link, name, 1), -33);
  EXPECT_EQ(Logger().LinesHeard(), 1u);  // one query, no second try
  EXPECT_EQ(link.retries, 5u);
  EXPECT_TRUE(Logged("QueryCommand is hearing \"query\" -- a relay must be active"));
}

TEST_F(LoggerSimTest, ErrorWordsAreRetriedAndMarkAnOldLogger) {
  for (const char* word : {"ERROR", "?", "Unsupported"}) {
    SCOPED_TRACE(word);
    Connected("corvo");
    Answers(std::string("\r") + word + "\r>");
    const uint32_t before = Logger().LinesHeard();
    EXPECT_EQ(DeviceCommand(&link, "get -w\r", '>', 1500, nullptr, nullptr, nullptr), -34);
    EXPECT_EQ(Logger().LinesHeard() - before, 3u);  // every try of the retries in force
    // Error replies to "get -ver" twice over: a logger too old to know it.
    link.settings = halv::LoggerSettings{};
    EXPECT_EQ(VerCommand(&link, true), 1);
    EXPECT_EQ(link.settings.device_kind, kLoggerKindLagan);
    EXPECT_EQ(link.settings.new_firmware, 0);
  }
}

TEST_F(LoggerSimTest, BarePromptIsAnEmptyAnswerThatStillLogsIn) {
  LoggerSetup radio;
  radio.over_radio = true;
  radio.start_awake = true;
  radio.faults.answer = "\r\r>";
  Start("zet", radio);
  ASSERT_EQ(DSOpen(&link.channel, kPort, 9600), 1);
  link.request.connection_kind = kConnectionRadio;
  EXPECT_EQ(DeviceCommand(&link, "get -w\r", '>', 1500, nullptr, nullptr, nullptr), -31);
  EXPECT_TRUE(Logged("DeviceCommand: device returned empty answer"));
  EXPECT_EQ(LoginCommand(&link, "ZET0007"), 1);
  DeviceName name;
  EXPECT_EQ(NameCommand(&link, &name, kRead), kLoggerPromptOnly);
}

// The read after a wait that ran out still gives a first byte its time.
constexpr uint32_t kLastReadMs = PortTimeouts{}.read_first_byte_ms;

// How long the serial channel waits for a character that never comes: the
// time-out, run out in its steps of reads and pauses.
uint32_t RunOutMs(DeviceLink* link, uint32_t timeout_ms) {
  const uint64_t start = CurrentClock().NowMs();
  EXPECT_EQ(DSWait(&link->channel, timeout_ms, '>'), 0);
  return static_cast<uint32_t>(CurrentClock().NowMs() - start);
}

TEST_F(LoggerSimTest, SilentTriesTakeTheirWaits) {
  Connected("zet");
  const uint32_t wait = RunOutMs(&link, 1500);
  EXPECT_GE(wait, 1500u);
  LoggerFaults silent;
  silent.silent_from = Logger().LinesHeard() + 1;
  silent.silent_lines = 3;
  Logger().SetFaults(silent);
  const uint64_t start = Now();
  uint32_t elapsed = 0;
  EXPECT_EQ(DeviceCommand(&link, "get -i\r", '>', 1500, nullptr, nullptr, &elapsed), -21);
  // Three full waits, each with the read that still looks for what arrived
  // and the 50 ms pause after a silent try.
  EXPECT_EQ(elapsed, 3 * (wait + kLastReadMs + 50));
  EXPECT_EQ(Now() - start, elapsed);
  EXPECT_EQ(Logger().Resets(), 1u);  // the watchdog brought it back
  EXPECT_GT(DeviceCommand(&link, "get -i\r", '>', 1500, nullptr, nullptr, nullptr), 0);

  // A baud change nobody answers: each of its tries is a whole exchange with
  // its own tries, and a host at 9600 waits another 1500 ms after it.
  silent.silent_from = Logger().LinesHeard() + 1;
  silent.silent_lines = 9;
  Logger().SetFaults(silent);
  const uint64_t baud_start = Now();
  EXPECT_EQ(SetBaudCommand(&link, 115200), -21);
  EXPECT_EQ(Now() - baud_start, 3 * (3 * (wait + kLastReadMs + 50) + 1500) + 100);
  EXPECT_EQ(Logger().Baud(), 9600u);
  EXPECT_TRUE(Logged("SetBaudCommand failed with error -21"));
}

// ---- the radio ----

class LoggerRadioTest : public LoggerSimTest {
 protected:
  void StartRadio(bool awake, LoggerFaults faults = {}) {
    LoggerSetup radio;
    radio.over_radio = true;
    radio.start_awake = awake;
    radio.faults = faults;
    Start("zet", radio);
  }
};

TEST_F(LoggerRadioTest, WakeSequenceTakes909PacketsAt55Ms) {
  StartRadio(false);
  ASSERT_EQ(DSOpen(&link.channel, kPort, 9600), 1);
  link.request.connection_kind = kConnectionRadio;
  const uint64_t start = Now();
  EXPECT_EQ(SendWake(&link), 1);
  EXPECT_EQ(Now() - start, 909u * 55);
  EXPECT_TRUE(Logged("SendWake sent 909 packets"));
  // The logger woke at its first listening moment inside the sequence.
  EXPECT_TRUE(Logger().Awake());
  EXPECT_EQ(Logger().WokeAtUs() % 30000000, 0u);
  EXPECT_GE(Logger().WokeAtUs() / 1000, start);
  EXPECT_LE(Logger().WokeAtUs() / 1000, start + 30000);
  EXPECT_EQ(Logger().ReturnsWhileAsleep(), (Logger().WokeAtUs() / 1000 - start) / 55 + 1);
}

TEST_F(LoggerRadioTest, SleepingLoggerIsWokenQueriedAndLoggedInByName) {
  StartRadio(false);
  ASSERT_EQ(DSOpen(&link.channel, kPort, 9600), 1);
  const uint32_t query_wait = RunOutMs(&link, 3000);
  DSClose(&link.channel);
  const uint64_t start = Now();
  ASSERT_EQ(Connect(kConnectionRadio), 1);
  EXPECT_EQ(link.request.login_name.view(), "ZET0007");
  EXPECT_EQ(link.settings.device_name.view(), "ZET0007");
  EXPECT_EQ(link.request.baud_index, 2);
  EXPECT_TRUE(Logger().LoggedIn());
  EXPECT_TRUE(Logged("QueryCommand didn't get any answers after 5 tries"));
  EXPECT_TRUE(Logged("QueryCommand heard from: ZET0007"));
  // Five unanswered queries of 3000 ms, the wake sequence, the query that
  // is heard and the 2500 ms after it, the login.
  // The answered query and login take the logger's 10 ms each.
  EXPECT_EQ(Now() - start, 100 + 5 * (query_wait + kLastReadMs + 50) + 909u * 55 + 10 + 2500 + 10);

  // Leaving: the logger goes quiet after its logout, so the login after it
  // goes unanswered.
  EXPECT_EQ(DisconnectDevice(&link, false), 1);
  EXPECT_FALSE(Logger().LoggedIn());
  EXPECT_FALSE(Logger().Awake());
}

TEST_F(LoggerRadioTest, LoginByNameAndALoggerThatWillNotLetGo) {
  StartRadio(true);
  ASSERT_EQ(Connect(kConnectionRadio, 2, "OTHER1"), -20);  // someone else's name: silence
  EXPECT_FALSE(Logger().LoggedIn());
  EXPECT_TRUE(Logged("DeviceLogin: nothing is listening over the radio"));

  LoggerFaults stays;
  stays.ignore_logout = true;
  StartRadio(true, stays);
  ASSERT_EQ(Connect(kConnectionRadio, 2, "ZET0007"), 1);
  EXPECT_EQ(DisconnectDevice(&link, false), -22);
  EXPECT_TRUE(Logged("DisconnectDevice: Device didn't disconnect, retrying"));
  EXPECT_TRUE(Logger().LoggedIn());
}

TEST_F(LoggerRadioTest, ModemChannelIsSetWithAtCommands) {
  StartRadio(true);
  ConnectRequest request;
  request.port_name.Assign(kPort);
  request.connection_kind = kConnectionRadio;
  request.login_name.Assign("ZET0007");
  request.configure_radio = 1;
  request.radio_channel = 5;
  request.radio_subchannel = 0x77;
  // The modem moves to a channel the logger does not listen on.
  EXPECT_EQ(DeviceConnect(&link, &request), -20);
  EXPECT_EQ(Logger().PortModem().Channel(), 5u);
  EXPECT_EQ(Logger().PortModem().Subchannel(), 0x77u);
  EXPECT_EQ(Logger().PortModem().Saves(), 1u);
  EXPECT_FALSE(Logger().PortModem().CommandMode());

  StartRadio(true);
  request.radio_channel = 3;
  request.radio_subchannel = 0x1A2B;
  ASSERT_EQ(DeviceConnect(&link, &request), 1);
  EXPECT_TRUE(Logged("RodoConfig set rch to 3"));
  EXPECT_TRUE(Logged("RodoConfig set rsch to 6699"));
  EXPECT_TRUE(Logged("RodoConfig saved configuration"));

  // Reading back what the modem holds, and its version.
  int32_t channel = -1, subchannel = -1;
  FixedText<9> version;
  uint32_t selection = kRadioChannelItem | kRadioSubchannelItem | kRadioVersionItem;
  EXPECT_EQ(RodoConfig(&link, &channel, &subchannel, &version, kRead, &selection), 1);
  EXPECT_EQ(selection, kRadioChannelItem | kRadioSubchannelItem | kRadioVersionItem);
  EXPECT_EQ(channel, 3);
  EXPECT_EQ(subchannel, 0x1A2B);
  EXPECT_EQ(version.view(), "RD4.02");
}

TEST_F(LoggerRadioTest, SettingsOverTheRadioAskTheModemForTheChannel) {
  StartRadio(true);
  ASSERT_EQ(Connect(kConnectionRadio, 2, "ZET0007"), 1);
  halv::LoggerSettings block;
  uint32_t mask = kPresentName | kPresentInterval | kPresentRadioChannel | kPresentRadioSubchannel;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, kRead), 1);
  EXPECT_EQ(mask, kPresentName | kPresentInterval | kPresentRadioChannel | kPresentRadioSubchannel |
                      kPresentVersion | kPresentTrait);
  EXPECT_EQ(block.device_name.view(), "ZET0007");
  EXPECT_EQ(block.radio_channel, 3);
  EXPECT_EQ(block.radio_subchannel, 0x1A2B);
  EXPECT_TRUE(Logged("MSRadioCommand asked the Rodo and found the RCH is 3 and RSCH is 6699"));
  EXPECT_FALSE(Logger().PortModem().CommandMode());  // back to the logger afterwards
  EXPECT_TRUE(Logger().LoggedIn());
  // A silent step over the radio is not logged into again.
  LoggerFaults silent;
  silent.silent_from = Logger().LinesHeard() + 1;
  silent.silent_lines = 1000;
  Logger().SetFaults(silent);
  mask = kPresentSite;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, kRead), -21);
  EXPECT_FALSE(Logged("DeviceSettings re-connected to device"));
}

TEST_F(LoggerSimTest, NoModemOnACableGivesMinus23AfterTwoTries) {
  Connected("corvo");
  int32_t channel = 1, subchannel = 1;
  uint32_t selection = kRadioChannelItem;
  const uint64_t start = Now();
  EXPECT_EQ(RodoConfig(&link, &channel, &subchannel, nullptr, kWrite, &selection), -23);
  EXPECT_EQ(selection, 0u);
  EXPECT_GE(Now() - start, 2u * (1500 + 50));
  EXPECT_TRUE(Logged("RodoConfig failed to get into AT command mode"));
}

// ---- setting commands ----

using Op = int32_t (*)(DeviceLink* link, int direction, std::string* text);

template <auto Field, auto Command>
int32_t IntOp(DeviceLink* link, int direction, std::string* text) {
  int32_t& field = link->settings.*Field;
  if (direction == kWrite) field = std::stoi(*text);
  const int32_t rc = Command(link, &field, direction);
  *text = std::to_string(field);
  return rc;
}

template <auto Field, auto Command>
int32_t TextOp(DeviceLink* link, int direction, std::string* text) {
  auto& field = link->settings.*Field;
  if (direction == kWrite) field.Assign(*text);
  const int32_t rc = Command(link, &field, direction);
  *text = std::string(field.view());
  return rc;
}

template <auto Field, auto Command>
int32_t RealOp(DeviceLink* link, int direction, std::string* text) {
  double& field = link->settings.*Field;
  if (direction == kWrite) field = std::stod(*text);
  const int32_t rc = Command(link, &field, direction);
  char shown[32];
  snprintf(shown, sizeof shown, "%+.5f", field);
  *text = shown;
  return rc;
}

template <auto Field, auto Command>
int32_t FiveOp(DeviceLink* link, int direction, std::string* text) {
  uint8_t* field = link->settings.*Field;
  if (direction == kWrite) {
    int v[5] = {};
    sscanf(text->c_str(), "%d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4]);
    for (int i = 0; i < 5; ++i) field[i] = static_cast<uint8_t>(v[i]);
  }
  const int32_t rc = Command(link, field, direction);
  *text = std::to_string(field[0]);
  for (int i = 1; i < 5; ++i) *text += " " + std::to_string(field[i]);
  return rc;
}

using LS = halv::LoggerSettings;

TEST_F(LoggerSimTest, EverySettingCommandReadsWritesAndRefuses) {
  struct Case {
    const char* op;
    Op run;
    const char* profile;
    const char* closed_profile;  // a logger without the command (null: every logger has it)
    const char* key;             // where the logger keeps it
    const char* factory;
    const char* written;
    int32_t bad_reply;  // to a read answered by the prompt alone
  };
  const Case cases[] = {
      {"Name", TextOp<&LS::device_name, NameCommand>, "zet", nullptr, "name", "ZET0007", "WEIR12",
       -30},
      {"DeviceID", TextOp<&LS::device_id, DeviceIDCommand>, "zet", "laganb", "devid", "D0042", "D7",
       -31},
      {"Report", IntOp<&LS::report_mode, ReportCommand>, "zet", "laganb", "report", "1", "2", -30},
      {"Depth", FiveOp<&LS::port_depths, DepthCommand>, "zet", "laganb", "depth", "10 20 30 40 50",
       "5 6 7 8 9", -30},
      {"Site", TextOp<&LS::site_name, SiteCommand>, "zet", "laganb", "site", "North Weir",
       "Lower Dam", -31},
      {"Latitude", RealOp<&LS::latitude, LatitudeCommand>, "zet", "laganb", "lat", "+46.73012",
       "-12.50000", -31},
      {"Longitude", RealOp<&LS::longitude, LongitudeCommand>, "zet", "laganb", "long", "-117.18210",
       "+8.25000", -31},
      {"TimeZone", IntOp<&LS::time_zone, TimeZoneCommand>, "zet", "laganb", "tz", "-32", "4", -30},
      {"SN", TextOp<&LS::serial_number, SNCommand>, "zet", nullptr, "sn", "ZT-11873", "ZT-99", -30},
      {"Wake", IntOp<&LS::measurement_interval, WakeCommand>, "zet", "vcd", "interval", "15", "60",
       -30},
      {"PADC", IntOp<&LS::padc, PADCCommand>, "zet", "vcd", "padc", "60", "30", -30},
      {"Ports", FiveOp<&LS::port_sensor_types, PortsCommand>, "zet", "vcd", "ports", "1 2 0 0 3",
       "4 4 4 4 4", -30},
      {"DataParameter", IntOp<&LS::data_parameter, DataParameterCommand>, "zet", "laganb", "data",
       "2", "7", -30},
      {"Build", TextOp<&LS::build, HalvBuildCommand>, "laganb", "zet", "build", "B-1207", "B-2001",
       -31},
      {"APN", TextOp<&LS::apn, APNCommand>, "laganx", "zet", "apn", "field.example", "m2m.example",
       -31},
      {"APNUser", TextOp<&LS::apn_user_name, APNUserCommand>, "laganx", "zet", "user", "halv",
       "meter", -31},
      {"APNPasswd", TextOp<&LS::apn_password, APNPasswdCommand>, "laganx", "zet", "passwd",
       "pa55word", "s3cret", -31},
      {"AuthKey", TextOp<&LS::authorisation_key, AuthKeyCommand>, "laganx", "zet", "authkey",
       "0123456789ABCDEF0123456789ABCDEF", "FEDCBA9876543210FEDCBA9876543210", -31},
      {"Host", TextOp<&LS::remote_host_name, HostCommand>, "laganx", "zet", "host",
       "data.halvard.example", "gw.example", -31},
      {"IPPort", IntOp<&LS::ip_port, IPPortCommand>, "laganx", "zet", "ipport", "8080", "9090",
       -31},
      {"Rmode", IntOp<&LS::radio_mode, RmodeCommand>, "corvo", "vcd", "rmode", "3", "5", -30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    Connected(c.profile);
    uint32_t trait = 0;
    ASSERT_EQ(TraitCommand(&link, &trait, kRead), 1);  // the cellular gate needs the trait
    link.settings.trait = trait;
    std::string text;
    ASSERT_EQ(c.run(&link, kRead, &text), 1);
    EXPECT_EQ(text, c.factory);
    text = c.written;
    ASSERT_EQ(c.run(&link, kWrite, &text), 1);
    EXPECT_EQ(Stored(c.key), c.written);
    text.clear();
    ASSERT_EQ(c.run(&link, kRead, &text), 1);
    EXPECT_EQ(text, c.written);
    Answers("\r>");
    EXPECT_EQ(c.run(&link, kRead, &text), c.bad_reply);
    if (c.closed_profile == nullptr) continue;
    Connected(c.closed_profile);
    link.settings.trait = kTraitKnown | kTraitCellular;
    const uint32_t heard = Logger().LinesHeard();
    const size_t log_size = LogText().size();
    EXPECT_EQ(c.run(&link, kRead, &text), -1);
    EXPECT_EQ(c.run(&link, kWrite, &text), -1);
    EXPECT_EQ(Logger().LinesHeard(), heard);
    EXPECT_EQ(LogText().size(), log_size);
  }
}

TEST_F(LoggerSimTest, LoggerRefusesValuesItCannotKeep) {
  Connected("zet");
  // Names the host refuses before anything is sent.
  const std::pair<const char*, int32_t> names[] = {
      {"", -53},    {"NINELETTR", -54}, {"login", -52}, {"OK", -52},    {"Unsupported", -54},
      {"A:B", -51}, {"A?", -51},        {"A B", -50},   {"A\x7f", -50}, {"A\xe9", -56},
  };
  DeviceName name;
  for (const auto& [text, code] : names) {
    name.Assign(text);
    EXPECT_EQ(NameCommand(&link, &name, kWrite), code) << text;
  }
  EXPECT_EQ(device->Log().Count("set -i"), 0u);
  EXPECT_EQ(LoginCommand(&link, "NINELETTR"), -54);
  EXPECT_TRUE(Logged("LoginCommand: Device name NINELETTR is wrong length (9 characters)"));
  name.Assign("WEIR12");
  EXPECT_EQ(NameCommand(&link, &name, kWrite), 1);
  EXPECT_EQ(Stored("name"), "WEIR12");
  // A value the logger itself refuses: "ERROR" is retried, then given up.
  link.retries = 2;
  EXPECT_EQ(DeviceCommand(&link, "set -depth 1 2 3\r", '>', 1500, nullptr, nullptr, nullptr), -34);
  EXPECT_EQ(Stored("depth"), "10 20 30 40 50");
  int32_t interval = -5;
  EXPECT_EQ(WakeCommand(&link, &interval, kWrite), -11);
  EXPECT_EQ(device->Log().Count("set -w"), 0u);
}

TEST_F(LoggerSimTest, ZetRadioModeAndRadioItems) {
  Connected("zet");
  int32_t mode = 0;
  EXPECT_EQ(RmodeCommand(&link, &mode, kRead), 1);
  EXPECT_EQ(mode, 16);
  EXPECT_EQ(device->Log().Count("get -r\\r"), 0u);
  int32_t channel = -1, subchannel = -1;
  FixedText<9> version;
  uint32_t selection = kRadioChannelItem | kRadioSubchannelItem | kRadioVersionItem;
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kRead, &selection), 1);
  EXPECT_EQ(selection, kRadioChannelItem | kRadioSubchannelItem | kRadioVersionItem);
  EXPECT_EQ(channel, 3);
  EXPECT_EQ(subchannel, 0x1A2B);
  EXPECT_EQ(version.view(), "0A12");
  channel = 6;
  subchannel = 0x42;
  selection = kRadioChannelItem | kRadioSubchannelItem;
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kWrite, &selection), 1);
  EXPECT_EQ(Stored("rch"), "6");
  EXPECT_EQ(Stored("rsch"), "42");

  // A Lagan X has the commands but no radio fitted.
  Connected("laganx");
  selection = kRadioVersionItem;
  EXPECT_EQ(MSRadioCommand(&link, &channel, &subchannel, &version, kRead, &selection), -45);
  EXPECT_EQ(selection, 0u);
  EXPECT_TRUE(Logged("MSRadioCommand couldn't find a radio"));
  uint32_t trait = 0;
  EXPECT_EQ(TraitCommand(&link, &trait, kRead), 1);
  EXPECT_EQ(trait, kTraitKnown | kTraitCellular);
}

TEST_F(LoggerSimTest, OldLaganRadioIsReachedThroughTerm) {
  Connected("lagan-old");
  uint32_t trait = 0;
  EXPECT_EQ(TraitCommand(&link, &trait, kRead), 1);  // asks the radio for its version
  EXPECT_EQ(trait, kTraitKnown | kTraitRadio);
  EXPECT_EQ(device->Log().Count("ATVR"), 1u);
  EXPECT_EQ(device->Log().Count("term ended"), 1u);
  // Back at the logger's own prompt afterwards.
  int32_t interval = 0;
  EXPECT_EQ(WakeCommand(&link, &interval, kRead), 1);
  EXPECT_EQ(interval, 15);
  interval = 30;
  EXPECT_EQ(WakeCommand(&link, &interval, kWrite), 1);  // its bare prompt accepts
  EXPECT_EQ(Stored("interval"), "30");
}

TEST_F(LoggerSimTest, AdcCalibrationChecksums) {
  Connected("zet");
  uint8_t a[5] = {}, b[5] = {};
  ASSERT_EQ(ADCcalCommand(&link, 1, a, b, kRead), 1);
  EXPECT_EQ(a[0], 120);
  EXPECT_EQ(b[4], 134);
  EXPECT_TRUE(Logged("ADCcalCommand found (valid) -adc30 120 130"));
  const uint8_t wa[5] = {1, 2, 3, 4, 5}, wb[5] = {250, 251, 252, 253, 254};
  memcpy(a, wa, 5);
  memcpy(b, wb, 5);
  ASSERT_EQ(ADCcalCommand(&link, 2, a, b, kWrite), 1);  // the logger checked the sum
  EXPECT_EQ(Stored("adc15"), "1 250 2 251 3 252 4 253 5 254");
  EXPECT_EQ(ADCcalCommand(&link, 3, a, b, kRead), -11);

  // A factor of 0 is kept as 0 but the table is not valid.
  a[2] = 0;
  ASSERT_EQ(ADCcalCommand(&link, 1, a, b, kWrite), 1);
  uint8_t ra[5] = {}, rb[5] = {};
  EXPECT_EQ(ADCcalCommand(&link, 1, ra, rb, kRead), -1);
  EXPECT_EQ(ra[2], 0);
  EXPECT_TRUE(Logged("ADCcalCommand found (not valid) -adc30 1 250 2 251 0 252"));
  // A checksum that does not add up.
  Answers("\r10 10 10 10 10 10 10 10 10 10 99\r>", "get -adc30");
  EXPECT_EQ(ADCcalCommand(&link, 1, ra, rb, kRead), -1);
  Answers("\r10 10 10 10\r>", "get -adc30");
  EXPECT_EQ(ADCcalCommand(&link, 1, ra, rb, kRead), -30);
  EXPECT_TRUE(Logged("ADCcalCommand only found 4 of 11 cal -adc30 factors"));

  // The short form: one pair and its sum.
  Connected("handix-log");
  a[0] = 200;
  b[0] = 100;
  ASSERT_EQ(ADCcalCommand(&link, 1, a, b, kWrite), 1);
  EXPECT_EQ(device->Log().Count("set -adc30 200 100 44\\r"), 1u);
  memset(ra, 9, 5);
  EXPECT_EQ(ADCcalCommand(&link, 1, ra, rb, kRead), 1);
  EXPECT_EQ(ra[0], 200);
  EXPECT_EQ(rb[0], 100);
  EXPECT_EQ(ra[1], 0);
  link.retries = 1;
  EXPECT_EQ(DeviceCommand(&link, "set -adc30 1 2 4\r", '>', 1500, nullptr, nullptr, nullptr), -34);
}

// ---- the settings transfer ----

TEST_F(LoggerSimTest, SettingsTransferLogsInAgainAfterSilence) {
  Start("zet");
  ASSERT_EQ(Connect(kConnectionSerial, 6), 1);  // get -ver, set -baud: lines 1 and 2
  LoggerFaults faults;
  faults.silent_from = 4;  // the serial number's three tries go unheard
  faults.silent_lines = 3;
  Logger().SetFaults(faults);
  halv::LoggerSettings block;
  uint32_t mask = kPresentName | kPresentSerialNumber | kPresentInterval | kPresentPorts;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, kRead), 1);
  EXPECT_EQ(mask, kPresentName | kPresentSerialNumber | kPresentInterval | kPresentPorts |
                      kPresentVersion);
  EXPECT_EQ(block.serial_number.view(), "ZT-11873");
  EXPECT_EQ(block.measurement_interval, 15);
  EXPECT_TRUE(Logged("DeviceSettings re-connected to device"));
  EXPECT_EQ(Logger().Resets(), 1u);
  EXPECT_EQ(Logger().Baud(), 115200u);  // negotiated again after the restart
  EXPECT_EQ(link.channel.baud, 115200u);

  // A logger that stays silent: the re-logins are given up.
  Start("zet");
  ASSERT_EQ(Connect(), 1);
  faults.silent_from = Logger().LinesHeard() + 1;
  faults.silent_lines = 1000;
  Logger().SetFaults(faults);
  mask = kPresentName;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, kRead), -21);
  EXPECT_EQ(mask, kPresentVersion);
}

TEST_F(LoggerSimTest, SettingsTransferWritesWhatItRead) {
  Connected("laganx");
  halv::LoggerSettings block;
  uint32_t mask = kPresentSettingBits;
  const int32_t rc = DeviceSettings(&link, &block, &mask, kRead);
  // Everything but the radio items, which a logger without a radio cannot give.
  EXPECT_EQ(rc, -35);
  EXPECT_EQ(mask & kPresentRadioBits, 0u);
  EXPECT_EQ(mask & (kPresentApn | kPresentAuthKey | kPresentAdc30 | kPresentSite),
            kPresentApn | kPresentAuthKey | kPresentAdc30 | kPresentSite);
  EXPECT_EQ(block.apn.view(), "field.example");
  EXPECT_EQ(block.port_depths[4], 50);

  block.site_name.Assign("Upper Ford");
  block.ip_port = 4040;
  block.adc30_calibration[0][0] = 99;
  uint32_t write_mask = kPresentSite | kPresentIpPort | kPresentAdc30;
  EXPECT_EQ(DeviceSettings(&link, &block, &write_mask, kWrite), 1);
  EXPECT_EQ(write_mask, kPresentSite | kPresentIpPort | kPresentAdc30);
  EXPECT_EQ(Stored("site"), "Upper Ford");
  EXPECT_EQ(Stored("ipport"), "4040");
  EXPECT_EQ(Stored("adc30").substr(0, 7), "99 130 ");
}

// ---- clock and erase ----

TEST_F(LoggerSimTest, ClockIsSetAndReadInBothForms) {
  const int64_t when = 849166215;  // 2026-11-28 07:30:15 in seconds since 2000
  for (const char* kind : {"zet", "lagan-old", "handix-log"}) {
    SCOPED_TRACE(kind);
    Connected(kind);
    int64_t t = when;
    ASSERT_EQ(DeviceTime(&link, &t, kWrite), 1);
    EXPECT_EQ(device->ClockSeconds(device->Now()), when);
    t = 0;
    ASSERT_EQ(DeviceTime(&link, &t, kRead), 1);
    EXPECT_EQ(t, when);
  }
  EXPECT_EQ(device->Log().Count("set -sec 849166215"), 1u);
  Connected("zet");
  int64_t t = when;
  ASSERT_EQ(DeviceTime(&link, &t, kWrite), 1);
  EXPECT_EQ(device->Log().Count("set -t 7:30:15"), 1u);
  EXPECT_EQ(device->Log().Count("set -d 2026-11-28"), 1u);

  // Time 0: the computer's own local time, handed back.
  Connected("handix-log");
  t = 0;
  ASSERT_EQ(DeviceTime(&link, &t, kWrite), 1);
  EXPECT_GT(t, when - 86400 * 365 * 10);
  EXPECT_EQ(device->ClockSeconds(device->Now()), t);

  Connected("vadro-cal");
  EXPECT_EQ(DeviceTime(&link, &t, kRead), -1);
  EXPECT_EQ(t, -1);
}

TEST_F(LoggerSimTest, EraseChecksTheIdentityFirst) {
  Connected("zet");
  link.settings.device_name.Assign("ZET0008");
  EXPECT_EQ(EraseData(&link), -37);
  EXPECT_EQ(device->Log().Count("yes"), 0u);
  EXPECT_FALSE(device->DataErased());
  EXPECT_TRUE(Logged("EraseData: Identity mismatch. Class: ZET0008, Device: ZET0007"));

  link.settings.device_name.Assign("ZET0007");
  const uint64_t start = Now();
  EXPECT_EQ(EraseData(&link), 1);
  EXPECT_TRUE(device->DataErased());
  EXPECT_GE(Now() - start, 3000u);  // the logger's erase time
  EXPECT_TRUE(Logged("InitializeDevice erased device data"));

  Connected("lagan-old");  // named by its show reply, answers with "!"
  link.settings.device_name.Assign("LAGAN77");
  EXPECT_EQ(EraseData(&link), 1);
  EXPECT_TRUE(device->DataErased());

  FaultPlan broken;
  broken.dataflash_fail = true;
  Connected("zet", {}, broken);
  link.settings.device_name.Assign("ZET0007");
  EXPECT_EQ(EraseData(&link), -65);
  EXPECT_TRUE(Logged("EraseData failed due to a broken DataFlash"));
}

// ---- hostile replies ----

TEST_F(LoggerSimTest, HostileRepliesGiveErrorsNotOverruns) {
  std::string binary;
  for (int i = 1; i < 256; ++i) binary += static_cast<char>(i == '>' ? 1 : i);
  const std::string replies[] = {
      std::string(3000, 'A') + ">",                // longer than every buffer
      "\r" + std::string(2100, '7'),               // no carriage return, no prompt
      "\rLabel: none\r>",                          // none of the expected labels
      binary + ">",                                // binary garbage
      "\rDate\\Time: 2026-13\r>",                  // cut short
      "\r" + std::string(200, '9') + " 1 2 3\r>",  // a number beyond every range
  };
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply.size());
    Connected("laganx");
    link.retries = 1;
    Answers(reply);
    EXPECT_LE(VerCommand(&link, true), 1);
    DeviceName name;
    EXPECT_LE(NameCommand(&link, &name, kRead), 1);
    EXPECT_LE(name.view().size(), 8u);
    int32_t number = 0;
    EXPECT_LE(WakeCommand(&link, &number, kRead), 1);
    FixedText<32> site;
    EXPECT_LE(SiteCommand(&link, &site, kRead), 1);
    uint8_t five[5] = {};
    EXPECT_LE(DepthCommand(&link, five, kRead), 1);
    uint8_t b[5] = {};
    EXPECT_LE(ADCcalCommand(&link, 1, five, b, kRead), 1);
    int64_t t = 0;
    EXPECT_LE(DeviceTime(&link, &t, kRead), 1);
    link.settings.device_kind = kLoggerKindLagan;
    link.settings.new_firmware = 0;
    EXPECT_LE(ParseShowCommand(&link, nullptr), 1);
    char query[9] = {};
    EXPECT_LE(QueryCommand(&link, query, 1), 1);
  }
}

// ---- halvsim's command line ----

TEST(HalvsimLoggerOptions, KindsAndFaultsAreTakenAndBadOnesRefused) {
  const std::string usage = HalvsimUsage();
  for (const char* o : {"--radio", "--awake", "--error-word", "--prompt-only", "--answer-only-to",
                        "--silent-from", "--silent-lines", "--ignore-logout"}) {
    EXPECT_NE(usage.find(o), std::string::npos) << o;
  }
  for (const LoggerProfile& p : LoggerProfiles()) {
    EXPECT_NE(usage.find(p.name), std::string::npos) << p.name;
  }

  struct Case {
    std::vector<const char*> args;
    int32_t result;
  };
  const Case cases[] = {
      {{"--kind", "zet", "--radio", "--awake", "--error-word", "?", "--answer-only-to", "get -w"},
       1},
      {{"--silent-from", "4", "--silent-lines", "3", "--kind", "LaganX", "--ignore-logout"}, 1},
      {{"--kind", "lagan-old", "--prompt-only"}, 1},
      {{"--radio"}, -1},  // no logger to put on the radio
      {{"--kind", "pumatic", "--prompt-only"}, -1},
      {{"--kind", "zet", "--error-word", "Oops"}, -1},
      {{"--kind", "zet", "--error-word"}, -1},
      {{"--kind", "zet", "--silent-from", "x4"}, -1},
      {{"--kind", "zet", "--silent-lines", "99999999999"}, -1},
      {{"--kind", "zet2"}, -1},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("halvsim")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    HalvsimOptions o;
    std::string error;
    EXPECT_EQ(ParseHalvsimOptions(static_cast<int>(argv.size()), argv.data(), &o, &error), c.result)
        << c.args[0] << " " << error;
    EXPECT_EQ(error.empty(), c.result > 0) << error;
  }
  HalvsimOptions o;
  std::string error;
  const char* args[] = {"halvsim",     "--kind",        "zet", "--radio",        "--error-word",
                        "Unsupported", "--silent-from", "4",   "--silent-lines", "3"};
  ASSERT_EQ(ParseHalvsimOptions(10, const_cast<char**>(args), &o, &error), 1);
  EXPECT_EQ(o.profile, &LoggerDeviceProfile());
  EXPECT_EQ(o.setup.logger.profile, FindLoggerProfile("zet"));
  EXPECT_TRUE(o.setup.logger.over_radio);
  EXPECT_EQ(o.setup.logger.faults.answer, "\rUnsupported\r>");
  EXPECT_EQ(o.setup.logger.faults.silent_from, 4u);
  EXPECT_EQ(o.setup.logger.faults.silent_lines, 3u);
}

}  // namespace
}  // namespace halv::sim
