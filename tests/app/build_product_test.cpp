// What a build carries for its product: the Pumatic updater or the
// digital-sensor updater. The same test runs in both builds and checks the
// build's own image and constants against the committed stand-ins.
#include "app/build_product.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/sensor_updater.h"
#include "bsl/builtin_image.h"
#include "bsl/host_bsl.h"
#include "bsl/ti_text.h"
#include "protocol/device_kinds.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

TEST(BuildProductTest, BuiltInImageIsTheProductsStandIn) {
  test::TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogProgress, true);
  HostBSL built_in(&log);
  ASSERT_EQ(built_in.construction_error, 0);
  EXPECT_EQ(built_in.image_kind, kBuildKind);
  EXPECT_EQ(built_in.image_version, 106u);
  EXPECT_EQ(std::string(built_in.image_name.c_str()), kSensorBuild ? "Celva 1.06" : "Pumatic 1.06");

  // The committed file, loaded as a factory user would: the same text and vectors.
  HostBSL from_file(&log);
  ASSERT_EQ(BSLLoadTIFile(&from_file, kSensorBuild ? HALV_SENSOR_IMAGE : HALV_PUMATIC_IMAGE), 1);
  ASSERT_EQ(from_file.image_length, built_in.image_length);
  EXPECT_EQ(memcmp(from_file.image_text, built_in.image_text, built_in.image_length), 0);
  for (int i = 0; i < kVectorCount; ++i) EXPECT_EQ(from_file.vectors[i], built_in.vectors[i]) << i;
}

TEST(BuildProductTest, SensorImageFitsTheLayoutOfItsSensorTypes) {
  // Types 92 and 93 share the layout the stand-in was made for.
  const DigitalSensorSelection before = CurrentDigitalSensorSelection();
  for (const int32_t type : {92, 93}) {
    SetDigitalSensorSelection({type, 106});
    DeviceInfo info;
    LookupDeviceKind(kKindDigitalSensor, 0, &info);
    EXPECT_EQ(info.supported, 1) << type;
    EXPECT_EQ(info.flash_start, 0x8000u) << type;
    EXPECT_EQ(info.flash_end, 0x88000u) << type;
    EXPECT_EQ(info.extended_addresses, 1) << type;
    EXPECT_EQ(info.info_start, 0x1800u) << type;
    EXPECT_EQ(info.info_segment_count, 4u) << type;
    EXPECT_EQ(info.info_segment_size, 128u) << type;
  }
  SetDigitalSensorSelection(before);
  // Its text has segments above 0xFFFF: five address digits.
  test::TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogProgress, true);
  HostBSL host(&log);
  ASSERT_EQ(BSLLoadTIFile(&host, HALV_SENSOR_IMAGE), 1);
  EXPECT_NE(std::string(host.image_text, host.image_length).find("@10000"), std::string::npos);
}

TEST(BuildProductTest, DeviceNameOfTheBuild) {
  FixedText<35> name;
  SensorTypeName(static_cast<int32_t>(kDefaultSensorType), &name);
  EXPECT_EQ(std::string(name.c_str()), "Celva B Sensor Suite");
  if (kSensorBuild) {
    EXPECT_EQ(kBuildSensorType, kDefaultSensorType);
    EXPECT_EQ(kBuildKind, kKindDigitalSensor);
  } else {
    EXPECT_EQ(kBuildKind, kKindPumatic);
  }
}

}  // namespace
}  // namespace halv
