#include "protocol/device_kinds.h"

#include <gtest/gtest.h>

#include <string>

namespace halv {
namespace {

TEST(Identification, VersionTextsGiveKindVersionAndSupport) {
  struct Case {
    const char* text;
    int32_t result;
    int kind;
    uint32_t version;
    bool supported;
  };
  const Case cases[] = {
      {"LAGANX 1.02", 1, 3, 102, false},   {"LAGANX 1.03", 1, 3, 103, true},
      {"ZET 2.05", 1, 18, 205, true},      {"PUMATIC 1.06", 1, 24, 106, true},
      {"pumatic 1.05", 1, 24, 105, true},  {"LAGAN 3.10", 1, 1, 310, false},
      {"FPO 1.04", 1, 4, 104, false},      {"HSA 3.51", 1, 12, 351, true},
      {"NOSUCH 1.00", -30, 0, 100, false}, {"END 1.00", -30, 0, 100, false},
      {"PUMATIC", 1, 0, 0, false},         {"x.", -30, 0, 0, false},
  };
  for (const Case& c : cases) {
    DeviceInfo info;
    EXPECT_EQ(ParseIdentification(c.text, &info), c.result) << c.text;
    EXPECT_EQ(info.kind, c.kind) << c.text;
    EXPECT_EQ(info.firmware_version, c.version) << c.text;
    EXPECT_EQ(info.supported, c.supported) << c.text;
  }
}

TEST(Identification, KnownKindKeepsTheTextCutTo21) {
  DeviceInfo info;
  ASSERT_EQ(ParseIdentification("PUMATIC 1.06 build 2026-12-10", &info), 1);
  EXPECT_EQ(info.identification, "PUMATIC 1.06 build 20");
  EXPECT_EQ(info.kind_name, "Pumatic");
  ASSERT_EQ(ParseIdentification("NOSUCH 1.00", &info), -30);
  EXPECT_EQ(info.kind_name, "UNKNOWN");
}

TEST(Identification, HostileTextsAreReadSafely) {
  DeviceInfo info;
  const std::string long_model = std::string(300, 'Z') + " 1.00";
  EXPECT_EQ(ParseIdentification(long_model.c_str(), &info), -30);
  EXPECT_EQ(ParseIdentification("ZET 99999999999.99", &info), -30);  // no overflow
  std::string binary = "\x01\xff\x80 .\x7f";
  EXPECT_EQ(ParseIdentification(binary.c_str(), &info), -30);
  EXPECT_EQ(ParseIdentification(nullptr, &info), -10);
  EXPECT_EQ(ParseIdentification("ZET 2.05", nullptr), -10);
}

TEST(DeviceKinds, LayoutsFlagsAndWindows) {
  DeviceInfo info;
  LookupDeviceKind(24, 106, &info);
  EXPECT_EQ(info.flash_start, 0x8000u);
  EXPECT_EQ(info.flash_end, 0xF9FFu);
  EXPECT_FALSE(info.extended_addresses);
  EXPECT_EQ(info.info_start, 0x1000u);
  EXPECT_EQ(info.info_segment_count, 3u);
  EXPECT_EQ(info.info_segment_size, 64u);
  EXPECT_EQ(info.loader_baud, 9600u);
  EXPECT_EQ(info.restart_delay_ms, 2000);
  EXPECT_TRUE(info.keeps_settings && info.check_battery);
  EXPECT_FALSE(info.erase_data || info.needs_login || info.set_time || info.version_window);

  LookupDeviceKind(15, 300, &info);
  EXPECT_EQ(info.flash_end, 0x1FF00u);
  EXPECT_TRUE(info.extended_addresses);
  EXPECT_EQ(info.loader_baud, 57600u);
  EXPECT_TRUE(info.version_window);
  EXPECT_EQ(info.lowest_version, 202u);
  EXPECT_EQ(info.highest_version, 999u);
  EXPECT_TRUE(info.needs_login);

  LookupDeviceKind(22, 250, &info);
  EXPECT_EQ(info.flash_start, 0x8000u);
  EXPECT_EQ(info.flash_end, 0x27FFFu);
  EXPECT_EQ(info.info_start, 0x1800u);
  EXPECT_EQ(info.info_segment_count, 4u);
  EXPECT_EQ(info.lowest_version, 200u);
  EXPECT_EQ(info.highest_version, 299u);

  LookupDeviceKind(1, 100, &info);
  EXPECT_EQ(info.flash_start, 0x1100u);
  EXPECT_EQ(info.info_segment_count, 2u);
  EXPECT_EQ(info.info_segment_size, 128u);
  EXPECT_EQ(info.post_check_argument, 1);

  for (int bad : {-1, 0, 25, 100}) {
    LookupDeviceKind(bad, 100, &info);
    EXPECT_EQ(info.kind, 0) << bad;
    EXPECT_EQ(info.kind_name, "UNKNOWN");
    EXPECT_FALSE(info.supported);
  }
  EXPECT_STREQ(DeviceKindModelCode(25), "END");
  EXPECT_STREQ(DeviceKindModelCode(24), "PUMATIC");
}

TEST(DigitalSensors, RowBySensorTypeAndImageVersion) {
  struct Case {
    int32_t type;
    uint32_t image_version;
    bool supported;
    uint32_t flash_start, flash_end, info_count, info_size;
    uint32_t low, high;
  };
  const Case cases[] = {
      {93, 106, true, 0x8000, 0x88000, 4, 128, 0, 0},
      {264, 106, true, 0x4400, 0x24400, 4, 128, 0, 0},
      {261, 106, true, 0x8000, 0xF9FF, 3, 64, 0, 0},
      {107, 106, true, 0x8000, 0xF9FF, 3, 64, 406, 999},
      {112, 106, true, 0x8000, 0xF9FF, 3, 64, 388, 999},
      {120, 249, true, 0x1100, 0xF9FF, 2, 128, 100, 249},
      {120, 250, true, 0x8000, 0xF9FF, 3, 64, 250, 999},
      {125, 106, true, 0x1100, 0xF9FF, 2, 128, 0, 0},
      {102, 106, false, 0, 0, 0, 0, 0, 0},
  };
  const DigitalSensorSelection build = CurrentDigitalSensorSelection();
  for (const Case& c : cases) {
    SetDigitalSensorSelection({c.type, c.image_version});
    DeviceInfo info;
    LookupDeviceKind(kKindDigitalSensor, 300, &info);
    EXPECT_EQ(info.sensor_type, c.type);
    EXPECT_EQ(info.supported, c.supported) << c.type;
    EXPECT_EQ(info.loader_baud, 9600u);
    EXPECT_EQ(info.restart_delay_ms, 1000);
    if (!c.supported) continue;
    EXPECT_EQ(info.flash_start, c.flash_start) << c.type;
    EXPECT_EQ(info.flash_end, c.flash_end) << c.type;
    EXPECT_EQ(info.info_segment_count, c.info_count) << c.type;
    EXPECT_EQ(info.info_segment_size, c.info_size) << c.type;
    EXPECT_EQ(info.version_window, c.low != 0) << c.type;
    EXPECT_EQ(info.lowest_version, c.low) << c.type;
    EXPECT_EQ(info.highest_version, c.high) << c.type;
  }
  SetDigitalSensorSelection(build);
}

TEST(DigitalSensors, Names) {
  FixedText<35> name;
  SensorTypeName(93, &name);
  EXPECT_EQ(name, "Celva B Sensor Suite");
  SensorTypeName(261, &name);
  EXPECT_EQ(name, "Pomar-A Pomar-B Garno P");
  SensorTypeName(126, &name);
  EXPECT_EQ(name, "VADRO-Q Sensor");
  SensorTypeName(263, &name);
  EXPECT_EQ(name, "Unknown Sensor (type 263)");
}

}  // namespace
}  // namespace halv
