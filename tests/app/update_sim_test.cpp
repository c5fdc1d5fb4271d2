// Whole instrument updates against the simulated Pumatic, in process on
// virtual time, through a recording front end.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

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

class UpdateSimTest : public ::testing::Test {
 protected:
  UpdateSimTest() : use_clock(&clock) {
    CreateDiagLog(&log, dir.File("Pumatic Firmware Updater.errors.txt").c_str(), kLogProgress,
                  true);
  }
  ~UpdateSimTest() override { use_backend.reset(); }

  void Start(sim::DeviceSetup setup = {}) {
    use_backend.reset();
    backend.reset();
    device = std::make_unique<sim::SimDevice>(*sim::FindDeviceProfile("pumatic"), setup);
    backend = std::make_unique<sim::SimPortBackend>(*device, kPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }

  // One run with a fresh window and engine, as a user pressing Start.
  int32_t RunUpdate() {
    window = test::RecordingWindow{};
    InstrumentConnection connection(&log);
    HostBSL host(&log);
    EXPECT_EQ(host.construction_error, 0);
    InstrumentUpdater updater(&window, &log, &connection, &host);
    UpdateSettings& s = updater.settings;
    s.device_name = "Pumatic";
    s.window_caption = "Pumatic Firmware Updater";
    s.port_name = kPort;
    s.port_display_text = kPort;
    s.app_data_folder = dir.Path().string();
    s.updater_firmware_version = 106;
    s.progress_step = 35328.0f / static_cast<float>(host.image_length);
    const int32_t rc = updater.Run();
    failure = updater.Failure();
    seconds = updater.ElapsedSeconds();
    return rc;
  }

  std::string SettingsPath() { return SettingsFilePath(dir.Path().string(), "Pumatic"); }
  std::string LogText() { return test::ReadWholeFile(log.file_name); }

  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<sim::SimDevice> device;
  std::unique_ptr<sim::SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  test::RecordingWindow window;
  UpdateFailure failure = UpdateFailure::kNone;
  uint32_t seconds = 0;
};

TEST_F(UpdateSimTest, WholeUpdateProgramsRestartsAndRestoresTheSerialNumber) {
  Start();
  ASSERT_EQ(RunUpdate(), 1) << LogText();
  EXPECT_EQ(device->VersionText(), "PUMATIC 1.06");
  EXPECT_TRUE(device->CodeGood());
  EXPECT_TRUE(device->RefusedWrites().empty());
  EXPECT_EQ(device->Settings()["sn"], kFactorySerial);
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
  EXPECT_EQ(window.status,
            "Successfully updated firmware in " + std::to_string(seconds) + " seconds.");
  EXPECT_EQ(window.progress, 100);
  EXPECT_EQ(window.connect_label, "You may disconnect your Pumatic now.");
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_NE(LogText().find("HalvBSL Host: Finished updating device in " + std::to_string(seconds) +
                           " seconds"),
            std::string::npos);
  EXPECT_GT(seconds, 0u);
}

TEST_F(UpdateSimTest, LowBatteryStopsBeforeAnythingIsWritten) {
  sim::DeviceSetup setup;
  setup.faults.battery_percent = 9;
  Start(setup);
  EXPECT_EQ(RunUpdate(), -130);
  EXPECT_EQ(failure, UpdateFailure::kBattery);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "Batteries Too Low");
  EXPECT_EQ(device->Restarts(), 0u);

  setup.faults.battery_percent = 10;
  Start(setup);
  EXPECT_EQ(RunUpdate(), 1);
}

TEST_F(UpdateSimTest, DeviceWithoutLoaderKeepsItsFirmwareAndTheSettingsFile) {
  sim::DeviceSetup setup;
  setup.faults.no_loader = true;
  Start(setup);
  EXPECT_EQ(RunUpdate(), -112);
  EXPECT_EQ(failure, UpdateFailure::kLoader);
  ASSERT_FALSE(window.boxes.empty());
  EXPECT_EQ(window.boxes.back().text,
            "This Pumatic does not have a working firmware loader.\n\nPlease contact Halvard for "
            "help.");
  EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
}

TEST_F(UpdateSimTest, CableCutWhileProgrammingIsRecoveredByTheNextRun) {
  sim::DeviceSetup setup;
  setup.faults.unplug_after = 100;  // in the middle of the upload
  Start(setup);
  EXPECT_LT(RunUpdate(), 0);
  EXPECT_EQ(failure, UpdateFailure::kFlash);
  EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
  EXPECT_EQ(device->State(), sim::DeviceState::kLoaderAttached);

  backend->PlugLine();
  ASSERT_EQ(RunUpdate(), 1) << LogText();
  EXPECT_TRUE(device->CodeGood());
  EXPECT_EQ(device->VersionText(), "PUMATIC 1.06");
  EXPECT_EQ(device->Settings()["sn"], kFactorySerial);
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

TEST_F(UpdateSimTest, CutAfterTheVectorsKeepsTheEarlierSettingsFile) {
  Start();
  ASSERT_EQ(RunUpdate(), 1);
  const uint32_t frames = device->FramesSeen();  // the last one carries the vectors

  sim::DeviceSetup setup;
  setup.faults.unplug_after = frames;
  Start(setup);
  EXPECT_LT(RunUpdate(), 0);
  EXPECT_EQ(failure, UpdateFailure::kConnection);
  EXPECT_TRUE(std::filesystem::exists(SettingsPath()));

  // The new firmware runs with its settings wiped; the next run captures
  // those, and the file of the cut run is kept beside the new one.
  backend->PlugLine();
  ASSERT_EQ(RunUpdate(), 1) << LogText();
  bool kept_serial = false;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("Pumatic.settings.", 0) == 0 && name != "Pumatic.settings.txt") {
      kept_serial =
          test::ReadWholeFile(entry.path().string()).find(kFactorySerial) != std::string::npos;
    }
  }
  EXPECT_TRUE(kept_serial);
  EXPECT_NE(LogText().find("Kept the settings file of an earlier update as "), std::string::npos);
}

}  // namespace
}  // namespace halv
