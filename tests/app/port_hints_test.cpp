// A connection that fails on a port ModemManager may be probing says how to
// keep ModemManager off it; on other ports, or without ModemManager, the
// message is as it was.
#include "app/port_hints.h"

#include <gtest/gtest.h>

#include "app/instrument_updater.h"
#include "protocol/instrument.h"
#include "serial/port_enum.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

bool g_running = false;
bool FakeCheck(DiagLog*) {
  return g_running;
}

class PortHintsTest : public ::testing::Test {
 protected:
  PortHintsTest() : previous_(SetModemManagerCheck(FakeCheck)), use_clock(&clock) {
    CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogProgress, true);
  }
  ~PortHintsTest() override { SetModemManagerCheck(previous_); }

  // A run against a device that never answers, on a port of that name.
  std::string FailedConnectionMessage(const std::string& port) {
    sim::DeviceSetup setup;
    setup.faults.silent = true;
    sim::SimDevice device(*sim::FindDeviceProfile("pumatic"), setup);
    sim::SimPortBackend backend(device, port);
    backend.Listen(&clock);
    ScopedPortBackend use_backend(&backend);
    test::RecordingWindow window;
    InstrumentConnection connection(&log);
    HostBSL host(&log);
    InstrumentUpdater updater(&window, &log, &connection, &host);
    updater.settings.window_caption = "Pumatic Firmware Updater";
    updater.settings.port_name = port;
    updater.settings.port_display_text = port;
    updater.settings.app_data_folder = dir.Path().string();
    EXPECT_EQ(updater.Run(), -20);
    EXPECT_EQ(window.boxes.size(), 1u);
    return window.boxes.empty() ? std::string() : window.boxes[0].text;
  }

  ModemManagerCheck previous_;
  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
};

TEST_F(PortHintsTest, HintOnlyForModemLikePortsWhileModemManagerRuns) {
  struct Case {
    const char* port;
    bool running;
    bool hint;
  };
  const Case cases[] = {
      {"ttyACM0", true, true},
      {"/dev/ttyACM3", true, true},
      {"ttyUSB0", true, false},
      {"ttyACM0", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.port) + (c.running ? " running" : " not running"));
    g_running = c.running;
    const std::string hint = ConnectionHint(c.port, &log);
    EXPECT_EQ(!hint.empty(), c.hint);
    if (c.hint) {
      EXPECT_EQ(hint, "\n\n" + ModemManagerAdvice());
    }
  }
  const std::string advice = ModemManagerAdvice();
  EXPECT_NE(advice.find("sudo systemctl stop ModemManager"), std::string::npos);
  EXPECT_NE(advice.find("ID_MM_DEVICE_IGNORE"), std::string::npos);
}

TEST_F(PortHintsTest, ConnectionErrorOnAProbedPortEndsWithTheAdvice) {
  const std::string plain =
      "The Pumatic Firmware Updater is unable to connect to your Pumatic\n on Comm Port "
      "\"ttyACM0\".\n\nPlease check your serial cable and Comm Port choice.";
  g_running = true;
  EXPECT_EQ(FailedConnectionMessage("ttyACM0"), plain + "\n\n" + ModemManagerAdvice());
  g_running = false;
  EXPECT_EQ(FailedConnectionMessage("ttyACM0"), plain);
}

}  // namespace
}  // namespace halv
