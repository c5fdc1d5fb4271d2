// The loader host against the simulated device through the in-process
// transport, on virtual time.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>

#include "bsl/flash.h"
#include "bsl/host_bsl.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"
#include "test_image.h"

namespace halv::sim {
namespace {

constexpr const char* kPort = "SIM1";

class SimHostTest : public ::testing::Test {
 protected:
  SimHostTest() : use_clock(&clock), host(nullptr) {}

  void Start(DeviceSetup setup = {}, LineOptions options = {}) {
    use_backend.reset();
    backend.reset();
    device = std::make_unique<SimDevice>(*FindDeviceProfile("pumatic"), setup);
    backend = std::make_unique<SimPortBackend>(*device, kPort, options);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }
  ~SimHostTest() override {
    BSLDisconnect(&host);
    use_backend.reset();
  }

  // The whole programming sequence of a Pumatic with the host's image.
  int32_t Update() {
    int32_t rc = BSLConnect(&host, kPort, 9600, false, 3);
    if (rc < 0) return rc;
    if ((rc = BSLEraseINFO(&host, 0x1000, 3, 64, false)) < 0) return rc;
    if ((rc = BSLEraseFlash(&host, 0x8000, 0xF9FF, false)) < 0) return rc;
    if ((rc = BSLSendFirmware(&host, false)) < 0) return rc;
    if ((rc = BSLSendVectors(&host)) < 0) return rc;
    BSLDisconnect(&host);
    return 1;
  }

  void UseImage(const simtest::TestImage& image) {
    delete[] host.image_text;
    host.image_text = new char[image.text.size() + 1];
    memcpy(host.image_text, image.text.c_str(), image.text.size() + 1);
    host.image_length = static_cast<uint32_t>(image.text.size());
    for (int i = 0; i < 16; ++i) host.vectors[i] = image.vectors[i];
  }

  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<SimDevice> device;
  std::unique_ptr<SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  HostBSL host;
};

TEST_F(SimHostTest, ConnectReadsTheLoaderVersionFromEveryStartState) {
  for (const DeviceState state :
       {DeviceState::kFirmware, DeviceState::kLoaderWaiting, DeviceState::kLoaderAttached}) {
    DeviceSetup setup;
    setup.start = state;
    Start(setup);
    EXPECT_EQ(BSLConnect(&host, kPort, 9600, false, 3), 7) << StateName(state);
    EXPECT_EQ(host.loader_version, 7u);
    EXPECT_EQ(device->State(), DeviceState::kLoaderAttached);
    BSLDisconnect(&host);
  }
}

TEST_F(SimHostTest, CheckTellsTheTwoLoaderStatesApart) {
  DeviceSetup setup;
  setup.start = DeviceState::kLoaderWaiting;
  Start(setup);
  EXPECT_EQ(BSLCheck(&host, kPort, 9600), -81);
  BSLDisconnect(&host);
  setup.start = DeviceState::kLoaderAttached;
  Start(setup);
  EXPECT_EQ(BSLCheck(&host, kPort, 9600), -80);
}

TEST_F(SimHostTest, DeviceWithoutLoaderGivesMinus112AndAClosedPort) {
  DeviceSetup setup;
  setup.faults.no_loader = true;
  Start(setup);
  EXPECT_EQ(BSLConnect(&host, kPort, 9600, false, 3), -112);
  EXPECT_FALSE(host.connected);
  EXPECT_FALSE(backend->PortOpen());
  EXPECT_EQ(device->State(), DeviceState::kFirmware);
}

// The built-in stand-in image carries the header the device reads: after
// the update the device runs it and its self-check passes.
TEST_F(SimHostTest, BuiltInImageUpdatesTheDevice) {
  Start();
  ASSERT_EQ(host.construction_error, 0);
  ASSERT_EQ(Update(), 1);
  clock.SleepMs(2000);  // the kind's restart delay
  EXPECT_EQ(device->State(), DeviceState::kFirmware);
  EXPECT_EQ(device->VersionText(), "PUMATIC 1.06");
  EXPECT_TRUE(device->CodeGood());
  EXPECT_TRUE(device->RefusedWrites().empty());
  EXPECT_EQ(device->Settings().at("sn"), "00000000");
  EXPECT_EQ(backend->OpenCount(), 1);
}

TEST_F(SimHostTest, RefusedAndLostFramesAreRecoveredByTheHostsRetries) {
  const simtest::TestImage image = simtest::MakeTestImage("PUMATIC", "1.07", 1500);
  for (const FaultPlan plan :
       {FaultPlan{.refuse_every = 9}, FaultPlan{.drop_frame = 80}, FaultPlan{.refuse_frame = 81}}) {
    Start(DeviceSetup{.faults = plan});
    UseImage(image);
    ASSERT_EQ(Update(), 1);
    clock.SleepMs(2000);
    EXPECT_EQ(device->VersionText(), "PUMATIC 1.07");
    EXPECT_TRUE(device->CodeGood());
    EXPECT_TRUE(device->RefusedWrites().empty());
  }
}

TEST_F(SimHostTest, PulledLineStopsTheUpdateAndTheLoaderIsFoundAgain) {
  Start(DeviceSetup{.faults = FaultPlan{.unplug_after = 40}});
  EXPECT_LT(Update(), 0);
  BSLDisconnect(&host);
  const uint32_t erases = device->Erases();
  EXPECT_GT(erases, 0u);
  EXPECT_EQ(BSLConnect(&host, kPort, 9600, false, 1), -2);  // the adapter has gone
  backend->PlugLine();
  EXPECT_EQ(BSLCheck(&host, kPort, 9600), -80);
  BSLDisconnect(&host);
  EXPECT_EQ(BSLConnect(&host, kPort, 9600, false, 3), 7);
  EXPECT_EQ(device->Erases(), erases);
}

TEST_F(SimHostTest, PacedUpdateTakesAtLeastTheWireTime) {
  Start({}, LineOptions{.pace = true});
  const uint64_t start = clock.NowMs();
  ASSERT_EQ(Update(), 1);
  const uint64_t took = clock.NowMs() - start;
  // Every character of the image crosses the line at 9600 baud.
  EXPECT_GT(took, uint64_t{host.image_length} * 10 * 1000 / 9600);
  clock.SleepMs(2000);
  EXPECT_TRUE(device->CodeGood());
}

}  // namespace
}  // namespace halv::sim
