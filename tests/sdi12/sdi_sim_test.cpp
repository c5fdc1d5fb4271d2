// The SDI-12 layer against a simulated Handix reader with a digital sensor
// behind it, through the in-process transport on virtual time: the sensor
// operations, starting the sensor's loader, and a firmware update through the
// reader's open port that wipes the sensor's settings, which come back.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bsl/flash.h"
#include "bsl/host_bsl.h"
#include "log/diag_log.h"
#include "sdi12/sdi_sensor.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/handix_reader.h"
#include "sim/sim_port_backend.h"
#include "sim/test_image.h"
#include "support/temp_dir.h"

namespace halv::sim {
namespace {

constexpr const char* kPort = "SIM7";
constexpr uint32_t kSensorFlashStart = 0x8000;
constexpr uint32_t kSensorFlashEnd = 0x88000;

// A firmware image for the sensor's flash, its check value computed here over
// the sensor's whole flash (the loader's range and the vector table left out).
simtest::TestImage MakeSensorImage(const char* version, size_t code_bytes) {
  simtest::TestImage image;
  image.memory.assign(kSensorFlashEnd, 0xFF);
  uint8_t* m = image.memory.data() + kSensorFlashStart;
  memcpy(m, "HVFW", 4);
  memset(m + 4, 0, 44);
  memcpy(m + 4, "SDI", 3);
  memcpy(m + 20, version, strlen(version));
  for (size_t i = 0; i < code_bytes; ++i) m[48 + i] = static_cast<uint8_t>(i * 5 + 1);
  std::vector<uint8_t> checked;
  for (uint32_t a = kSensorFlashStart + 48; a < kSensorFlashEnd; ++a) {
    const bool skipped = (a >= 0xFA00 && a < 0xFE00) || (a >= 0xFFE0 && a < 0x10000);
    if (!skipped) checked.push_back(image.memory[a]);
  }
  const uint32_t crc = simtest::BitwiseCrc32(checked.data(), checked.size());
  for (int i = 0; i < 4; ++i) m[36 + i] = static_cast<uint8_t>(crc >> (8 * i));
  image.text = "@08000";
  for (size_t a = 0; a < 48 + code_bytes; a += 2) {
    char word[8];
    snprintf(word, sizeof word, "%02X%02X", m[a + 1], m[a]);
    image.text += word;
  }
  for (uint32_t& v : image.vectors) v = 0xFFFF;
  image.vectors[15] = kSensorFlashStart + 48;
  return image;
}

class SdiSimTest : public ::testing::Test {
 protected:
  SdiSimTest() : use_clock(&clock), link(&log), sensor(&log, &link), host(&log) {
    CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogDetail, true);
  }
  ~SdiSimTest() override {
    BSLHandBack(&host);
    DSClose(&link.channel);
    use_backend.reset();
  }

  void Start(const char* name, SdiSensorFaults faults = {}) {
    use_backend.reset();
    backend.reset();  // the line goes before the reader it is wired to
    reader = std::make_unique<HandixReader>(*FindSdiSensorProfile(name), faults);
    backend = std::make_unique<SimPortBackend>(reader->Device(), kPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
    ASSERT_EQ(DSOpen(&link.channel, kPort, 9600), 1);
  }

  bool Logged(const std::string& text) const {
    return test::ReadWholeFile(log.file_name).find(text) != std::string::npos;
  }
  // Bytes the host writes itself; the count written.
  uint32_t Write(const std::string& bytes) {
    uint32_t written = 0;
    EXPECT_GE(DSWrite(&link.channel, bytes.data(), static_cast<uint32_t>(bytes.size()), &written),
              0);
    return written;
  }
  uint32_t WriteByte(char byte) { return Write(std::string(1, byte)); }
  std::string SensorSetting(const char* key) { return reader->Sensor().Setting(key); }

  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
  DeviceLink link;
  SDISensor sensor;
  HostBSL host;
  std::unique_ptr<HandixReader> reader;
  std::unique_ptr<SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
};

TEST_F(SdiSimTest, SilentSensorGivesMinus21AfterTheFirstTry) {
  Start("rilo-360", {.silent = true});
  char reply[32] = "stale";
  uint32_t length = sizeof reply;
  EXPECT_EQ(SDISendCommand(&sensor, "?I!", reply, &length, nullptr), -21);
  EXPECT_EQ(length, 0u);
  // One try: the command and the "?!" probe, one wake and the three of the recovery.
  EXPECT_EQ(reader->Sensor().CommandsSeen(), 2u);
  EXPECT_EQ(reader->Wakes(), 4u);
}

TEST_F(SdiSimTest, SleepySensorIsBroughtBackByTheProbe) {
  Start("rilo-360", {.sleepy = true});
  EXPECT_EQ(SDIGetSensorVersion(&sensor), 360);
  // The first woken command was ignored; the next try went without the wake.
  EXPECT_EQ(reader->Sensor().CommandsSeen(), 3u);
  EXPECT_EQ(reader->Wakes(), 4u);
  EXPECT_EQ(sensor.address, '3');
}

TEST_F(SdiSimTest, VersionFromATwentyCharacterIdentification) {
  Start("celva-b");
  EXPECT_EQ(SDIGetSensorVersion(&sensor), 356);
  EXPECT_EQ(sensor.identification, "HALVARD CELVA 356");
  EXPECT_TRUE(Logged("SDIGetSensorVersion found sensor info: HALVARD CELVA 356"));
  // The reader still answers its own commands between the sensor's.
  EXPECT_EQ(Write("get -ver\r"), 9u);
  EXPECT_EQ(DSWait(&link.channel, 1000, '>'), '>');
  char text[64] = {};
  uint32_t got = 0;
  EXPECT_GE(DSRead(&link.channel, text, sizeof text - 1, &got), 0);
  EXPECT_NE(std::string(text).find("HX 1.23"), std::string::npos);
}

TEST_F(SdiSimTest, SavedSensorsByProfile) {
  struct Case {
    const char* profile;
    uint8_t type;
    uint32_t version;
    const char* x4;
    const char* xa;
    const char* xo;  // null: no XO
  };
  const Case cases[] = {
      {"rilo-350", 'z', 350, "1 +0 2.5 +0", "1 1.44832 1.91683 2.35961 2.991", nullptr},
      {"rilo-360", 'z', 360, "1 +0 2.5 +0 7 +0", "1 1.39619 2.03054 2.54573 2.9907", nullptr},
      {"rilo-410", 'z', 410, "1 2.5 3", "1 9 9 9 9", nullptr},
      {"wesk-380", 'w', 380, "2 4 6", "1 1.44832 1.91683 2.35961 2.991", nullptr},
      {"pomar-380", 'y', 380, "5 5 5", "1 1.4724 2.03944 2.5652 2.9907", nullptr},
      {"celva-b", ']', 356, "1 2 3", "4 5 6", "7 8"},
      {"pluvo", '^', 300, "", "", nullptr},
      {"wesk-u-330", 'u', 330, "1.000 -1.000000e+03 5.000000e+02 0.000000e+00 15.0 5.0", "",
       nullptr},
      {"wesk-t-330", 't', 330, "1.000 -1.000000e+03 5.000000e+02 0.000000e+00 15.0 5.0", "",
       nullptr},
      {"celva-93", 93, 105, "1 2 3", "", nullptr},
  };
  for (const Case& c : cases) {
    Start(c.profile);
    EXPECT_EQ(SDISaveSensor(&sensor), 1) << c.profile;
    EXPECT_EQ(sensor.sensor_type, c.type) << c.profile;
    EXPECT_EQ(sensor.sensor_version, c.version) << c.profile;
    EXPECT_EQ(sensor.x4_calibration.view(), c.x4) << c.profile;
    EXPECT_EQ(sensor.xa_calibration.view(), c.xa) << c.profile;
    EXPECT_EQ(sensor.xo_present, c.xo != nullptr ? 1 : 0) << c.profile;
    if (c.xo != nullptr) {
      EXPECT_EQ(sensor.xo_calibration.view(), c.xo) << c.profile;
    }
    DSClose(&link.channel);
  }
  EXPECT_TRUE(Logged("SDIGetSensorCalibration updated X4 to remove '-1'"));
  EXPECT_TRUE(Logged("SDIGetSensorCalibration set calibration Xa \"1 1.39619 2.03054"));
  EXPECT_TRUE(Logged("SDIGetSensorCalibration no calibration for version Pluvo"));
}

TEST_F(SdiSimTest, EmptyXaOfARilo360StoresTheDefault) {
  Start("rilo-410", {.xa_answer = ""});
  sensor.sensor_type = 'z';
  sensor.sensor_version = 360;  // what the record holds decides the default
  EXPECT_EQ(SDIGetSensorCalibration(&sensor), 1);
  EXPECT_EQ(sensor.xa_calibration, "1 1.39619 2.03054 2.54573 2.9907");
  EXPECT_TRUE(Logged("SDIGetSensorCalibration set calibration Xa"));
}

TEST_F(SdiSimTest, PomarFamilyTypeOnlyForPomarSensors) {
  Start("pomar-380");
  EXPECT_EQ(SDIGetSensorType(&sensor), 1);
  EXPECT_EQ(SDISetSensorType(&sensor, 261), 1);
  EXPECT_EQ(reader->Sensor().TypeText(), "y");
  DSClose(&link.channel);

  Start("rilo-360");
  EXPECT_EQ(SDIGetSensorType(&sensor), 1);
  const uint32_t before = reader->Sensor().CommandsSeen();
  EXPECT_EQ(SDISetSensorType(&sensor, 261), -30);
  EXPECT_EQ(reader->Sensor().CommandsSeen(), before);
  EXPECT_TRUE(Logged("SDISetSensorType didn't get a valid Pomar Sensor type (261)"));
  // A type letter that is also the reader's control byte travels inside the command.
  EXPECT_EQ(SDISetSensorType(&sensor, ']'), 1);
  EXPECT_EQ(reader->Sensor().TypeText(), "]");
  EXPECT_FALSE(reader->Transparent());
}

TEST_F(SdiSimTest, SensorWithoutLoaderGetsNoLoaderBytes) {
  Start("pluvo");
  EXPECT_EQ(SDIInvokeHalvBSL(&sensor), -82);
  WaitMs(500);
  const std::vector<std::string>& lines = reader->Device().Log().Lines();
  ASSERT_FALSE(lines.empty());
  // Nothing the host sent after "?B!": no "]" (which opens the path), no "P".
  size_t last_command = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("?B!") != std::string::npos) last_command = i;
  }
  for (size_t i = last_command + 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].find("host"), std::string::npos) << lines[i];
  }
  EXPECT_FALSE(reader->Transparent());
  EXPECT_EQ(reader->Sensor().Device().State(), DeviceState::kFirmware);
}

TEST_F(SdiSimTest, CheckSeesTheSensorsLoaderThroughTheReader) {
  struct Case {
    const char* what;
    int32_t expected;
  };
  for (const Case& c : {Case{"firmware", -21}, Case{"waiting", -81}, Case{"attached", -80}}) {
    Start("celva-93");
    const std::string what = c.what;
    if (what == "waiting") {
      EXPECT_GT(SDISendCommand(&sensor, "?B!", nullptr, nullptr, nullptr), 0);
    } else if (what == "attached") {
      EXPECT_EQ(SDIInvokeHalvBSL(&sensor), 1);
    }
    if (what != "attached") {
      EXPECT_EQ(WriteByte(']'), 1u);
    }
    WaitMs(500);
    ASSERT_EQ(BSLHandOff(&host, link.channel.port, link.channel.receive_buffer, kPort, false, 3),
              1);
    EXPECT_EQ(BSLCheck(&host, kPort, 9600), c.expected) << c.what;
    BSLHandBack(&host);
    DSClose(&link.channel);
  }
}

TEST_F(SdiSimTest, OverlongAndBinaryLinesLeaveTheReaderWorking) {
  Start("rilo-360");
  const std::string junk = std::string(700, 'x') + "!" + std::string("\x01\xff\x80\r", 4);
  EXPECT_EQ(Write(junk), junk.size());
  WaitMs(500);
  EXPECT_EQ(SDIGetSensorVersion(&sensor), 360);
  const std::string too_long(520, '1');
  EXPECT_EQ(SDISetSensorCalibration(&sensor, too_long.c_str()), -34);
  EXPECT_EQ(SensorSetting("x4"), "1 -1 2.5 -1 7 -1");
}

// A firmware update through the reader leaves the sensor at address 0 with
// its calibration and serial number gone; what was saved before comes back.
TEST_F(SdiSimTest, SaveUpdateAndRestoreThroughTheReader) {
  Start("rilo-360");
  ASSERT_EQ(SDISaveSensor(&sensor), 1);
  ASSERT_EQ(SDIInvokeHalvBSL(&sensor), 1);
  EXPECT_EQ(reader->Sensor().Device().State(), DeviceState::kLoaderAttached);

  const simtest::TestImage image = MakeSensorImage("1.06", 256);
  delete[] host.image_text;
  host.image_text = new char[image.text.size() + 1];
  memcpy(host.image_text, image.text.c_str(), image.text.size() + 1);
  host.image_length = static_cast<uint32_t>(image.text.size());
  for (int i = 0; i < 16; ++i) host.vectors[i] = image.vectors[i];

  ASSERT_EQ(BSLHandOff(&host, link.channel.port, link.channel.receive_buffer, kPort, false, 3), 1);
  ASSERT_EQ(BSLAttach(&host), 1);
  ASSERT_GT(BSLEraseINFO(&host, 0x1800, 4, 128, true), 0);
  ASSERT_GT(BSLEraseFlash(&host, kSensorFlashStart, kSensorFlashEnd, true), 0);
  ASSERT_GT(BSLSendFirmware(&host, true), 0);
  ASSERT_GT(BSLSendVectors(&host), 0);
  EXPECT_EQ(BSLHandBack(&host), 1);
  EXPECT_EQ(WriteByte('['), 1u);
  WaitMs(1000);

  EXPECT_EQ(SDICheckBinary(&sensor), 1);
  EXPECT_TRUE(reader->Sensor().Device().RefusedWrites().empty());
  EXPECT_EQ(reader->Sensor().Identification().substr(16, 3), "106");
  EXPECT_EQ(reader->Sensor().Address(), '0');
  EXPECT_EQ(SensorSetting("x4"), "1 0 0 0");
  EXPECT_EQ(SensorSetting("sn"), "");

  EXPECT_EQ(SDIRestoreSensor(&sensor), 1);
  EXPECT_EQ(reader->Sensor().Address(), '3');
  EXPECT_EQ(SensorSetting("sn"), "RL-0360");
  EXPECT_EQ(SensorSetting("x4"), "1 +0 2.5 +0 7 +0");
  EXPECT_EQ(SensorSetting("xa"), "1 1.39619 2.03054 2.54573 2.9907");
}

}  // namespace
}  // namespace halv::sim
