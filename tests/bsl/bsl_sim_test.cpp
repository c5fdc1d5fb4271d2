// The built-in image programmed into the simulated Pumatic, in process and on
// virtual time: the device's memory afterwards, what the restarted firmware
// says, and how lost, refused and cancelled steps end.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bsl/flash.h"
#include "bsl/host_bsl.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"

namespace halv {
namespace {

using sim::DeviceSetup;
using sim::DeviceState;
using sim::FaultPlan;

constexpr const char* kPort = "SIM1";
constexpr uint32_t kRestartDelayMs = 2000;  // the Pumatic's
// Loader frames are counted by the device from 1: "g" of the connect, three
// INFO segments, 61 flash segments, then the image's first "@" and "W".
constexpr uint32_t kFirstFlashErase = 5;
constexpr uint32_t kFirstWrite = 67;

int g_reports = 0;
int g_cancel_at = 0;
int CancelAt(uint32_t, uint32_t, int, char letter) {
  if (letter != 'W') return 1;
  return ++g_reports == g_cancel_at ? 0 : 1;
}

class SimProgrammingTest : public ::testing::Test {
 protected:
  SimProgrammingTest() : use_clock(&clock), host(nullptr) {}
  ~SimProgrammingTest() override { BSLDisconnect(&host); }

  void Start(const FaultPlan& faults = {}) {
    use_backend.reset();
    backend.reset();
    device = std::make_unique<sim::SimDevice>(*sim::FindDeviceProfile("pumatic"),
                                              DeviceSetup{.faults = faults});
    backend = std::make_unique<sim::SimPortBackend>(*device, kPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }

  // Erase and programming of a Pumatic; the first failing step's code.
  int32_t Program() {
    int32_t rc;
    if ((rc = BSLEraseINFO(&host, 0x1000, 3, 64, false)) < 0) return rc;
    if ((rc = BSLEraseFlash(&host, 0x8000, 0xF9FF, false)) < 0) return rc;
    if ((rc = BSLSendFirmware(&host, false)) < 0) return rc;
    return BSLSendVectors(&host);
  }

  // What the restarted firmware answers to a command, without its prompt.
  std::string Ask(const std::string& command) {
    SerialChannel channel;
    if (DSOpen(&channel, kPort, 9600) < 0) return "(no port)";
    DSWriteText(&channel, (command + "\r").c_str());
    DSWait(&channel, 1000, '>');
    char reply[128] = {};
    uint32_t count = 0;
    DSRead(&channel, reply, sizeof reply - 1, &count);
    DSClose(&channel);
    std::string text(reply, count);
    for (const char* noise : {"\r", "\n", ">"}) {
      for (size_t at; (at = text.find(noise)) != std::string::npos;) text.erase(at, 1);
    }
    return text;
  }

  // Every byte the image holds, against the device's memory.
  void ExpectMemoryHoldsTheImage() {
    const std::string text(host.image_text, host.image_length);
    uint32_t address = 0;
    int differences = 0;
    for (size_t i = 0; i < text.size() && differences < 5;) {
      if (text[i] == '@') {
        address = static_cast<uint32_t>(std::stoul(text.substr(i + 1, 5), nullptr, 16));
        i += 6;
        continue;
      }
      const uint32_t word = static_cast<uint32_t>(std::stoul(text.substr(i, 4), nullptr, 16));
      i += 4;
      for (uint32_t b = 0; b < 2; ++b, ++address) {
        const uint32_t want = (word >> (8 * b)) & 0xFF;
        if (device->Memory().Byte(address) != want) {
          ADD_FAILURE() << std::hex << "byte at " << address << " holds "
                        << int{device->Memory().Byte(address)} << ", the image " << want;
          ++differences;
        }
      }
    }
    for (uint32_t v = 0; v < kVectorCount; ++v) {
      EXPECT_EQ(device->Memory().Word(0xFFE0 + 2 * v), host.vectors[v]) << v;
    }
  }

  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<sim::SimDevice> device;
  std::unique_ptr<sim::SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  HostBSL host;
};

TEST_F(SimProgrammingTest, BuiltInImageRunsAfterProgramming) {
  // Sound; a lost "W" answer repaired by the block's address and the block
  // again; a refused erase retried. Frames: "g", 3 + 61 erases, 3 addresses
  // and 125 blocks, "V".
  struct Case {
    FaultPlan plan;
    uint32_t frames;
  } cases[] = {
      {{}, 194},
      {{.drop_frame = kFirstWrite + 3}, 196},
      {{.refuse_frame = kFirstFlashErase + 7}, 195},
  };
  for (const Case& c : cases) {
    const FaultPlan& plan = c.plan;
    SCOPED_TRACE(c.frames);
    Start(plan);
    ASSERT_EQ(BSLConnect(&host, kPort, 9600, false, 3), 7);
    ASSERT_GT(Program(), 0);
    BSLDisconnect(&host);
    clock.SleepMs(kRestartDelayMs);
    EXPECT_EQ(device->State(), DeviceState::kFirmware);
    EXPECT_EQ(device->FramesSeen(), c.frames);
    EXPECT_TRUE(device->RefusedWrites().empty());
    ExpectMemoryHoldsTheImage();
    EXPECT_EQ(Ask("get -ver"), "PUMATIC 1.06");
    EXPECT_EQ(Ask("post"), "Code Good!");
  }
}

TEST_F(SimProgrammingTest, ExhaustedRetriesFailWithTheStepsCode) {
  struct Case {
    FaultPlan plan;
    int32_t rc;
  } cases[] = {
      {{.refuse_frame = kFirstFlashErase + 7}, kBslRefused},
      {{.drop_frame = kFirstWrite + 3}, kBslNoAnswer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rc);
    Start(c.plan);
    ASSERT_EQ(BSLConnect(&host, kPort, 9600, false, 1), 7);
    EXPECT_EQ(Program(), c.rc);
    EXPECT_EQ(device->State(), DeviceState::kLoaderAttached);
    BSLDisconnect(&host);
  }
}

TEST_F(SimProgrammingTest, CancelStopsAtTheNextReport) {
  Start();
  ScopedLoaderProgress progress(CancelAt);
  g_reports = 0;
  g_cancel_at = 3;
  ASSERT_EQ(BSLConnect(&host, kPort, 9600, true, 3), 7);
  EXPECT_EQ(Program(), kBslCancelled);
  // "@" and one block went out before the third report.
  EXPECT_EQ(device->FramesSeen(), kFirstWrite);
  EXPECT_EQ(device->State(), DeviceState::kLoaderAttached);
}

}  // namespace
}  // namespace halv
