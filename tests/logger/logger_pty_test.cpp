// The logger link against halvsim's loggers over a pseudo-terminal: the real
// serial path with its baud change, in real time (kept to a few exchanges).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "logger/logger_link.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

// halvsim with the arguments given, on its pseudo-terminal.
class Halvsim : public test::SimulatorRun {
 public:
  explicit Halvsim(std::vector<std::string> args) : SimulatorRun(HALVSIM_PATH, std::move(args)) {}
};

ConnectRequest SerialRequest(const std::string& path, uint8_t baud_index) {
  ConnectRequest request;
  request.port_name.Assign(path);
  request.connection_kind = kConnectionSerial;
  request.baud_index = baud_index;
  return request;
}

TEST(LoggerPty, ZetTalksAt115200AndKeepsWhatWasWritten) {
  test::TempDir dir;
  const std::string dump = dir.File("dump.txt");
  Halvsim sim({"--kind", "zet", "--dump", dump});
  ASSERT_FALSE(sim.Path().empty());
  {
    DeviceLink link(nullptr);
    const ConnectRequest request = SerialRequest(sim.Path(), 6);
    ASSERT_EQ(DeviceConnect(&link, &request), 1);
    EXPECT_EQ(link.settings.device_kind, kLoggerKindZet);
    EXPECT_EQ(link.channel.baud, 115200u);
    FixedText<32> site;
    site.Assign("Far Pond");
    EXPECT_EQ(SiteCommand(&link, &site, kWrite), 1);
    int32_t interval = 0;
    EXPECT_EQ(WakeCommand(&link, &interval, kRead), 1);
    EXPECT_EQ(interval, 15);
    EXPECT_EQ(DisconnectDevice(&link, false), 1);  // back to 9600 first
  }
  EXPECT_EQ(sim.Stop(), 0);
  const std::string text = test::ReadWholeFile(dump);
  EXPECT_NE(text.find("setting site: \"Far Pond\""), std::string::npos);
}

TEST(LoggerPty, EchoingRelayAndOldLogger) {
  {
    Halvsim sim({"--kind", "zet", "--echo"});
    DeviceLink link(nullptr);
    const ConnectRequest request = SerialRequest(sim.Path(), 2);
    EXPECT_LT(DeviceConnect(&link, &request), 0);
  }
  Halvsim sim({"--kind", "lagan-old"});
  DeviceLink link(nullptr);
  const ConnectRequest request = SerialRequest(sim.Path(), 6);
  ASSERT_EQ(DeviceConnect(&link, &request), 1);
  EXPECT_EQ(link.settings.new_firmware, 0);
  EXPECT_EQ(link.channel.baud, 9600u);  // old firmware cannot change it
  EXPECT_EQ(ParseShowCommand(&link, nullptr), 1);
  EXPECT_EQ(link.settings.device_name.view(), "LAGAN77");
}

}  // namespace
}  // namespace halv
