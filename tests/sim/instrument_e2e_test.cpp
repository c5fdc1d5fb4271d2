// The instrument connection against the simulated Pumatic's firmware, in
// process on virtual time: the commands the update sequence sends before and
// after the loader's work.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "bsl/flash.h"
#include "bsl/host_bsl.h"
#include "protocol/instrument.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"
#include "support/temp_dir.h"

namespace halv::sim {
namespace {

constexpr const char* kPort = "SIM2";

class SimInstrumentTest : public ::testing::Test {
 protected:
  SimInstrumentTest() : use_clock(&clock), connection(nullptr) {}
  ~SimInstrumentTest() override {
    DPDisconnect(&connection, false);
    use_backend.reset();
  }

  void Start(DeviceSetup setup = {}) {
    use_backend.reset();
    backend.reset();
    device = std::make_unique<SimDevice>(*FindDeviceProfile("pumatic"), setup);
    backend = std::make_unique<SimPortBackend>(*device, kPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }

  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<SimDevice> device;
  std::unique_ptr<SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  InstrumentConnection connection;
};

TEST_F(SimInstrumentTest, ConnectIdentifiesThePumaticAndItsChecksAnswer) {
  Start();
  DeviceInfo info;
  ASSERT_GT(DPConnect(&connection, kPort, 2, 3, &info), 0);
  EXPECT_EQ(info.kind, 24);
  EXPECT_EQ(info.firmware_version, 105u);
  int32_t percent = 0;
  EXPECT_EQ(DPCheckBattery(&connection, &percent), 1);
  EXPECT_EQ(percent, 85);
  EXPECT_EQ(DPCheckFirmware(&connection, 0), 1);
  EXPECT_EQ(DPLogin(&connection), 1);
}

TEST_F(SimInstrumentTest, ConnectFindsTheLoaderListening) {
  for (const auto& [state, result] : {std::pair{DeviceState::kLoaderAttached, -80},
                                      std::pair{DeviceState::kLoaderWaiting, -81}}) {
    DeviceSetup setup;
    setup.start = state;
    DPDisconnect(&connection, false);
    use_backend.reset();
    backend.reset();
    Start(setup);
    DeviceInfo info;
    EXPECT_EQ(DPConnect(&connection, kPort, 2, 3, &info), result) << StateName(state);
  }
}

// The road of one update: settings saved, the built-in image programmed, the
// new firmware checked and the settings written back into the store the
// update wiped.
TEST_F(SimInstrumentTest, SettingsSurviveAnUpdateThroughTheSettingsFile) {
  Start();
  test::TempDir dir;
  const std::string file = dir.File("settings.txt");
  DeviceInfo info;
  ASSERT_GT(DPConnect(&connection, kPort, 2, 3, &info), 0);
  ASSERT_GE(DPSaveInfo(&connection, file.c_str()), 0);
  DPDisconnect(&connection, false);

  HostBSL host(nullptr);
  ASSERT_EQ(BSLConnect(&host, kPort, 9600, false, 3), 7);
  ASSERT_GT(BSLEraseINFO(&host, 0x1000, 3, 64, false), 0);
  ASSERT_GT(BSLEraseFlash(&host, 0x8000, 0xF9FF, false), 0);
  ASSERT_GT(BSLSendFirmware(&host, false), 0);
  ASSERT_GT(BSLSendVectors(&host), 0);
  BSLDisconnect(&host);
  EXPECT_EQ(device->Settings().at("sn"), "00000000");

  WaitMs(static_cast<uint32_t>(info.restart_delay_ms));
  ClearCapturedSettings(&connection);
  ASSERT_GT(DPConnect(&connection, kPort, 2, 3, &info), 0);
  EXPECT_EQ(info.firmware_version, 106u);
  EXPECT_EQ(DPCheckFirmware(&connection, 0), 1);
  EXPECT_GE(DPRestoreInfo(&connection, file.c_str(), nullptr), 0);
  EXPECT_EQ(device->Settings().at("sn"), "PM24-00317");
}

}  // namespace
}  // namespace halv::sim
