// A run that reprogrammed the device but could not write its settings back
// ends in success with a message; the settings file, now the only copy of
// those settings, stays for the next run.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_paths.h"
#include "app/instrument_updater.h"
#include "protocol/instrument.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

constexpr const char* kPort = "SIM1";
constexpr const char* kFactorySerial = "PM24-00317";

class SettingsKeptTest : public ::testing::Test {
 protected:
  SettingsKeptTest() : use_clock(&clock) {
    CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogProgress, true);
  }

  int32_t RunUpdate(const sim::FaultPlan& faults) {
    sim::DeviceSetup setup;
    setup.faults = faults;
    sim::SimDevice device(*sim::FindDeviceProfile("pumatic"), setup);
    sim::SimPortBackend backend(device, kPort);
    backend.Listen(&clock);
    ScopedPortBackend use_backend(&backend);
    InstrumentConnection connection(&log);
    HostBSL host(&log);
    InstrumentUpdater updater(&window, &log, &connection, &host);
    UpdateSettings& s = updater.settings;
    s.window_caption = "Pumatic Firmware Updater";
    s.port_name = kPort;
    s.port_display_text = kPort;
    s.app_data_folder = dir.Path().string();
    s.updater_firmware_version = 106;
    s.progress_step = 35328.0f / static_cast<float>(host.image_length);
    const int32_t rc = updater.Run();
    serial = device.Settings()["sn"];
    return rc;
  }

  std::string SettingsPath() const { return SettingsFilePath(dir.Path().string(), "Pumatic"); }

  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
  test::RecordingWindow window;
  std::string serial;
};

TEST_F(SettingsKeptTest, SerialNumberTheDeviceDidNotTakeBackStaysInTheSettingsFile) {
  sim::FaultPlan faults;
  faults.mute_command = "set -sn";  // the new firmware never answers it
  ASSERT_EQ(RunUpdate(faults), 1);
  EXPECT_EQ(serial, "00000000");
  ASSERT_FALSE(window.boxes.empty());
  EXPECT_EQ(window.boxes.back().caption, "Settings Error");
  EXPECT_NE(window.boxes.back().text.find("failed to restore the settings"), std::string::npos);
  ASSERT_TRUE(std::filesystem::exists(SettingsPath()));
  EXPECT_NE(test::ReadWholeFile(SettingsPath()).find(kFactorySerial), std::string::npos);
  EXPECT_NE(test::ReadWholeFile(log.file_name).find("Kept the settings file"), std::string::npos);

  // A restore that works still clears the file away.
  window = test::RecordingWindow{};
  ASSERT_EQ(RunUpdate(sim::FaultPlan{}), 1);
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

}  // namespace
}  // namespace halv
