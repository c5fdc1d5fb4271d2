// Settings capture and restore against the simulated instruments, in process
// on virtual time: for every kind that keeps settings, what was captured
// before an update comes back into the store the update wiped, from memory
// and from the settings file; and the kind-specific steps seen from the
// device's side.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/instrument.h"
#include "protocol/settings_capture.h"
#include "protocol/settings_flags.h"
#include "protocol/wall_clock.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/sim_line.h"
#include "sim/sim_port_backend.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

constexpr const char* kPort = "SIM4";

using Store = std::map<std::string, std::string>;
using Lists = std::map<std::string, std::vector<std::string>>;

// The record lists in a fixed order, so that lists sorted on the way back
// compare with the originals.
Lists Sorted(Lists lists) {
  for (auto& [name, records] : lists) std::sort(records.begin(), records.end());
  return lists;
}

class SimSettingsTest : public ::testing::Test {
 protected:
  SimSettingsTest() : use_clock(&clock) {
    CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogDetail, true);
  }
  ~SimSettingsTest() override {
    connection.reset();
    use_backend.reset();
  }

  void Start(const char* profile, const sim::DeviceSetup& setup = {}) {
    device = std::make_unique<sim::SimDevice>(*sim::FindDeviceProfile(profile), setup);
    backend = std::make_unique<sim::SimPortBackend>(*device, kPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }

  // A fresh connection record, as a later run of the updater has: connected,
  // and logged in where the kind needs it.
  void Connect() {
    if (connection) DPDisconnect(connection.get(), false);
    connection = std::make_unique<InstrumentConnection>(&log);
    DeviceInfo info;
    ASSERT_GT(DPConnect(connection.get(), kPort, 2, 3, &info), 0);
    if (info.needs_login) {
      ASSERT_EQ(DPLogin(connection.get()), 1);
    }
  }

  std::string LogText() const { return test::ReadWholeFile(log.file_name); }

  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<sim::SimDevice> device;
  std::unique_ptr<sim::SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  std::unique_ptr<InstrumentConnection> connection;
};

struct RoundTrip {
  const char* profile;
  int kind;
  uint32_t captured_flags;  // what the capture of this kind reads
};

// Every kind whose settings the instrument capture reads. The loggers' and
// the digital sensor's settings travel their own ways.
constexpr RoundTrip kRoundTrips[] = {
    {"hylite", 6, 0x4000007A},
    {"thermik", 7, 0x100192},
    {"raylo", 8, 0x7000C12},
    {"stomex", 9, 0xB2},
    {"sorbex", 11, 0x80027402},
    {"hydrel_a", 12, 0xC00},
    {"vcd_unit", 13, 0x3},
    {"handix_unit", 14, 0x2C0013},
    {"hydrel_q", 15, 0x38000842},
    {"hydrel_v", 16, 0x28400802},
    {"potex", 17, 0x802},
    {"hydrel_p", 20, 0x802},
    {"hydrel_q_tdl", 22, 0x38000806},
    {"infila", 23, 0x20C08012},
    {"pumatic", 24, 0x2},
};

class RoundTripTest : public SimSettingsTest, public ::testing::WithParamInterface<RoundTrip> {
 protected:
  // Profile names use "-", test names cannot.
  static std::string ProfileName(const char* name) {
    std::string s = name;
    std::replace(s.begin(), s.end(), '_', '-');
    return s;
  }

  void ExpectStoreIs(const Store& settings, const Lists& records, const char* how) {
    SCOPED_TRACE(how);
    EXPECT_EQ(device->Settings(), settings);
    EXPECT_EQ(Sorted(device->Records()), Sorted(records));
  }
};

TEST_P(RoundTripTest, CaptureWipeAndRestoreFromMemoryAndFromTheFile) {
  const RoundTrip& c = GetParam();
  Start(ProfileName(c.profile).c_str());
  ASSERT_EQ(device->Profile().kind, c.kind);
  const std::string path = dir.File("settings.txt");

  Connect();
  ASSERT_EQ(DPSaveInfo(connection.get(), path.c_str()), 1) << LogText();
  EXPECT_EQ(connection->saved_flags, c.captured_flags);
  // The store as the capture left it (a Hydrel Q's sensor type is 0 now).
  const Store settings = device->Settings();
  const Lists records = device->Records();

  device->WipeSettings();
  ASSERT_NE(device->Settings(), settings);
  EXPECT_EQ(DPRestoreInfo(connection.get(), path.c_str(), nullptr), 1) << LogText();
  ExpectStoreIs(settings, records, "from memory");

  device->WipeSettings();
  Connect();
  ASSERT_EQ(connection->settings_saved, 0);
  EXPECT_EQ(DPRestoreInfo(connection.get(), path.c_str(), nullptr), 1) << LogText();
  ExpectStoreIs(settings, records, "from the settings file");
}

INSTANTIATE_TEST_SUITE_P(EveryKindThatKeepsSettings, RoundTripTest,
                         ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTrip>& info) {
                           return std::string(info.param.profile);
                         });

// A Hydrel Q: its sensor type is cleared before the capture, its equations
// go back sorted by name, and a new serial number corrects the config number.
TEST_F(SimSettingsTest, HydrelQSortsEquationsAndCorrectsTheConfigForANewSerialNumber) {
  Start("hydrel-q");
  const std::string path = dir.File("settings.txt");
  Connect();
  EXPECT_EQ(device->Settings().at("sensor"), "2");
  ASSERT_EQ(DPSaveInfo(connection.get(), path.c_str()), 1);
  EXPECT_EQ(device->Settings().at("sensor"), "0");
  EXPECT_NE(LogText().find("DPSaveInfo set HYQX sensor type to '0'"), std::string::npos);

  device->WipeSettings();
  // The last character one higher: the config number one higher.
  EXPECT_EQ(DPRestoreInfo(connection.get(), path.c_str(), "HQ15-01001"), 1);
  EXPECT_EQ(device->Settings().at("sn"), "HQ15-01001");
  EXPECT_EQ(device->Settings().at("config"), "48212");
  const std::vector<std::string> equations = {"Alpha 3 4", "beta_fit 1.2 0.3"};
  EXPECT_EQ(device->Records().at("eqn"), equations);
  EXPECT_EQ(device->Log().Count("set -eqn 0 Alpha 3 4\\r"), 1u);
}

// Without the login the firmware answers none of the settings.
TEST_F(SimSettingsTest, KindThatNeedsLoginRefusesTheCaptureWithoutIt) {
  Start("potex");
  connection = std::make_unique<InstrumentConnection>(&log);
  DeviceInfo info;
  ASSERT_GT(DPConnect(connection.get(), kPort, 2, 3, &info), 0);
  ASSERT_TRUE(info.needs_login);
  EXPECT_EQ(DPSaveInfo(connection.get(), dir.File("s.txt").c_str()), -35);
  EXPECT_EQ(connection->saved_flags, 0u);
  EXPECT_GT(device->Log().Count("command refused without login"), 0u);
}

// A device that refuses the login code answers the empty line after it with
// its prompt; that is no login, and the capture must not go ahead as if it were.
TEST_F(SimSettingsTest, RefusedLoginCodeIsALoginFailure) {
  Start("potex-locked");
  connection = std::make_unique<InstrumentConnection>(&log);
  DeviceInfo info;
  ASSERT_GT(DPConnect(connection.get(), kPort, 2, 3, &info), 0);
  EXPECT_EQ(DPLogin(connection.get()), -25);
  EXPECT_FALSE(device->LoggedIn());
  EXPECT_NE(LogText().find("DPConnect couldn't log into the device"), std::string::npos);
  EXPECT_EQ(device->Log().Count("login refused"), 3u);
}

// The capture asks in its own order, language before serial number; the
// interval is read but never written back.
TEST_F(SimSettingsTest, CaptureOrderAndAnUnwritableFlag) {
  Start("hylite");
  Connect();
  const size_t before = device->Log().Lines().size();
  ASSERT_EQ(GetInstInfo(connection.get(), kFlagSerialNumber | kFlagLanguage), 1);
  EXPECT_EQ(connection->captured.lang, 2);
  EXPECT_EQ(connection->captured.sn, "HL06-00412");
  std::vector<std::string> asked;
  const std::vector<std::string>& lines = device->Log().Lines();
  for (size_t k = before; k < lines.size(); ++k) {
    if (lines[k].find("\"from\":\"host\"") != std::string::npos) asked.push_back(lines[k]);
  }
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_NE(asked[0].find("get -lang"), std::string::npos);
  EXPECT_NE(asked[1].find("get -sn"), std::string::npos);
  EXPECT_EQ(SetInstInfo(connection.get(), kFlagInterval), -30);
}

// A Hydrel Q up to version 2.04 keeps no user values.
TEST_F(SimSettingsTest, OlderHydrelQKeepsNoUserValues) {
  sim::DeviceSetup setup;
  setup.firmware_version = "2.04";
  Start("hydrel-q", setup);
  Connect();
  ASSERT_EQ(DPSaveInfo(connection.get(), dir.File("s.txt").c_str()), 1);
  EXPECT_EQ(connection->saved_flags, 0x38000802u);
  EXPECT_EQ(device->Log().Count("get -pvuser"), 0u);
}

// A simulated device on its line, driven a line at a time.
struct StoreBench {
  explicit StoreBench(const char* profile)
      : device(*sim::FindDeviceProfile(profile)), line(device, {}) {}
  std::string Send(const std::string& text) {
    const std::string bytes = text + "\r";
    line.HostWrite(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), now);
    now += 200000;
    uint8_t buffer[1024];
    const size_t n = line.HostRead(buffer, sizeof buffer, now);
    return std::string(reinterpret_cast<char*>(buffer), n);
  }
  sim::SimDevice device;
  sim::SimLine line;
  uint64_t now = 0;
};

// The store the round trips run against answers only what it holds and
// refuses the rest whole: numbers out of range, texts too wide, records past
// the end, strange and over-long lines.
TEST(SimInstrumentStore, RefusesWhatItCannotTake) {
  const std::string error = "\r\nERROR\r\n>";
  auto answer = [](const std::string& value) { return "\r\n" + value + "\r\n>"; };
  struct Case {
    const char* profile;
    std::string command;
    std::string reply;
  };
  const Case cases[] = {
      {"hydrel-q", "get -sn", error},  // not logged in yet
      {"hydrel-q", "login *4862", answer("OK")},
      {"hydrel-q", "get -eqn", answer("2")},
      {"hydrel-q", "get -eqn 1", answer("Alpha 3 4")},
      {"hydrel-q", "get -eqn 2", error},
      {"hydrel-q", "get -eqn -1", error},
      {"hydrel-q", "get -eqn 99999999", error},
      {"hydrel-q", "set -eqn 3 x", error},  // past the end
      {"hydrel-q", "set -eqn 2 Gamma 1", answer("OK")},
      {"hydrel-q", "get -eqn", answer("3")},
      {"hydrel-q", "set -sn 0123456789ABCDEF", error},  // 16 characters
      {"hydrel-q", "set -sn HQ-2", answer("OK")},
      {"hydrel-q", "get -sn", answer("HQ-2")},
      {"hydrel-q", "set -config", error},
      {"hydrel-q", "set -nosuch 1", error},
      {"hydrel-q", "get -nosuch", error},
      {"hydrel-q", "get -", error},
      {"hydrel-q", "get -sn\x01\xff", error},
      {"hydrel-q", "reset -users", answer("OK")},
      {"hydrel-q", "get -user", answer("0")},
      {"hydrel-q", "get -user 0", error},
      {"hydrel-q", "set -tadj " + std::string(300, '7'), error},
      {"hydrel-q", "get -tadj", answer("0.12")},
      {"thermik", "set -contr 16", error},
      {"thermik", "set -contr 1x", error},
      {"thermik", "set -contr 15", answer("OK")},
      {"thermik", "set -t 25:00:00", error},
      {"thermik", "set -t 23:59:59", answer("OK")},
      {"thermik", "set -d 2026-12-10", answer("OK")},
  };
  StoreBench hydrel_q("hydrel-q");
  StoreBench thermik("thermik");
  for (const Case& c : cases) {
    StoreBench& bench = std::string(c.profile) == "thermik" ? thermik : hydrel_q;
    EXPECT_EQ(bench.Send(c.command), c.reply) << c.profile << ": " << c.command;
  }
}

bool MidnightOf2000(int64_t* seconds, int*) {
  *seconds = 946684800 - UtcOffsetSeconds();
  return true;
}

// The clock of a kind that counts seconds since 2000 in local time.
TEST_F(SimSettingsTest, HydrelQClockAtLocalMidnightOf2000IsZero) {
  Start("hydrel-q");
  Connect();
  device->SetClockSeconds(123456789, device->Now());
  const WallClockSource previous = SetWallClockSource(&MidnightOf2000);
  EXPECT_GT(DPSetTime(connection.get()), 0);
  SetWallClockSource(previous);
  EXPECT_EQ(device->Log().Count("set -sec 0\\r"), 1u);
  EXPECT_EQ(device->ClockSeconds(device->Now()), 0);
}

// Erase, battery and self-check of kinds other than the Pumatic.
TEST_F(SimSettingsTest, MaintenanceCommandsOfOtherKinds) {
  Start("thermik");
  Connect();
  int32_t percent = 0;
  EXPECT_EQ(DPCheckBattery(connection.get(), &percent), 1);
  EXPECT_EQ(percent, 75);
  EXPECT_EQ(DPEraseData(connection.get()), 1);
  EXPECT_TRUE(device->DataErased());
  EXPECT_GT(DPSetTime(connection.get()), 0);  // date and time of day
  EXPECT_EQ(DPCheckFirmware(connection.get(), 0), 1);
}

}  // namespace
}  // namespace halv
