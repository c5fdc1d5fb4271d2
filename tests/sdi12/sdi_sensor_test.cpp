#include "sdi12/sdi_sensor.h"

#include <gtest/gtest.h>

#include <string>

#include "support/virtual_line.h"

namespace halv {
namespace {

class SdiSensorTest : public test::VirtualLineTest {
 protected:
  SdiSensorTest() : link(&log), sensor(&log, &link) {
    EXPECT_EQ(DSOpen(&link.channel, "COM5", 9600), 1);
  }

  // The sensor answers one woken command.
  void Answer(const std::string& command, const std::string& answer) {
    line->Expect("|").Expect(command).Reply(answer + "\r\n", 30);
  }

  DeviceLink link;
  SDISensor sensor;
};

TEST_F(SdiSensorTest, SilentSensorGivesMinus21AfterTheFirstTry) {
  uint32_t length = 16;
  char reply[16] = "stale";
  EXPECT_EQ(SDISendCommand(&sensor, "?I!", reply, &length, nullptr), -21);
  EXPECT_EQ(line->Written(), "|?I!|||?!");
  EXPECT_EQ(length, 0u);
  EXPECT_STREQ(reply, "");
}

TEST_F(SdiSensorTest, SensorThatOnlyAcknowledgesGivesMinus22AndTogglesTheWake) {
  sensor.tries = 3;
  for (int i = 0; i < 3; ++i) {
    line->Expect(i % 2 == 0 ? "|?I!" : "?I!").Expect("|||?!").Reply("0\r\n", 20);
  }
  EXPECT_EQ(SDISendCommand(&sensor, "?I!", nullptr, nullptr, nullptr), -22);
  EXPECT_TRUE(line->Finished());
}

TEST_F(SdiSensorTest, AnswerIsCutToTheCallersCapacity) {
  Answer("?I!", "0" + std::string(100, 'x'));
  char reply[10];
  uint32_t length = sizeof reply;
  EXPECT_EQ(SDISendCommand(&sensor, "?I!", reply, &length, nullptr), 103);
  EXPECT_EQ(length, 9u);
  EXPECT_EQ(std::string(reply), "0xxxxxxxx");
  EXPECT_TRUE(Logged("DeviceCommand got 93 more bytes than expected"));
}

TEST_F(SdiSensorTest, VersionFromCharacters18To20) {
  Answer("?I!", "313HALVARD CELVA 356");
  EXPECT_EQ(SDIGetSensorVersion(&sensor), 356);
  EXPECT_EQ(sensor.address, '3');
  EXPECT_EQ(sensor.identification, "HALVARD CELVA 356");
  EXPECT_TRUE(Logged("SDIGetSensorVersion found sensor info: HALVARD CELVA 356"));
}

TEST_F(SdiSensorTest, HostileIdentificationsAreReadWithinTheirBytes) {
  struct Case {
    std::string answer;
    int32_t version;
  };
  const Case cases[] = {
      {"0", 0},
      {"013HALV", 0},
      {"013HALVARD CELVA 3", 3},
      {std::string(300, '7'), 777},
      {std::string("0\x01\xff\x80 binary \x7f\x7f\x7f 12x"), 2},
  };
  for (const Case& c : cases) {
    Answer("?I!", c.answer);
    EXPECT_EQ(SDIGetSensorVersion(&sensor), c.version) << c.answer;
    EXPECT_LE(sensor.identification.size(), 35u);
  }
}

TEST_F(SdiSensorTest, TypeIsALetterOrANumber) {
  Answer("?X8!", "0 z");
  EXPECT_EQ(SDIGetSensorType(&sensor), 1);
  EXPECT_EQ(sensor.sensor_type, 'z');
  EXPECT_FALSE(sensor.numeric_type);
  Answer("?X8!", "0 93");
  EXPECT_EQ(SDIGetSensorType(&sensor), 1);
  EXPECT_EQ(sensor.sensor_type, 93);
  EXPECT_TRUE(sensor.numeric_type);
}

TEST_F(SdiSensorTest, TypeFromTheIdentificationWhenTheSensorCannotSay) {
  sensor.identification.Assign("HALVARD Rilo 350");
  sensor.tries = 1;
  EXPECT_EQ(SDIGetSensorType(&sensor), 1);
  EXPECT_EQ(sensor.sensor_type, 'z');
  EXPECT_TRUE(Logged("SDIGetSensorType received error -21"));
}

TEST_F(SdiSensorTest, FamilyTypesResolveToTheSensorsOwnLetter) {
  sensor.sensor_type = 'y';
  Answer("?X9 y!", "0OK");
  EXPECT_EQ(SDISetSensorType(&sensor, 261), 1);
  EXPECT_TRUE(line->Finished());

  sensor.sensor_type = 'z';
  EXPECT_EQ(SDISetSensorType(&sensor, 261), -30);
  EXPECT_TRUE(Logged("SDISetSensorType didn't get a valid Pomar Sensor type (261)"));
  EXPECT_EQ(SDISetSensorType(&sensor, 0), -11);
  EXPECT_EQ(SDISetSensorType(&sensor, 255), -11);

  sensor.numeric_type = 1;
  Answer("?X9 93!", "0OK");
  EXPECT_EQ(SDISetSensorType(&sensor, 93), 1);
  Answer("?X9 94!", "0NO");
  EXPECT_EQ(SDISetSensorType(&sensor, 94), -30);
}

TEST_F(SdiSensorTest, SerialNumber) {
  Answer("?X#!", "0 SN-0042");
  EXPECT_EQ(SDIGetSensorSN(&sensor), 1);
  EXPECT_EQ(sensor.serial_number, "SN-0042");
  Answer("?X#SN-0042!", "0OK");
  EXPECT_EQ(SDISetSensorSN(&sensor), 1);
  line->Expect("|").Expect("?X#!").Reply("0\r\n");
  EXPECT_EQ(SDIGetSensorSN(&sensor), 0);
  sensor.serial_number.Clear();
  EXPECT_EQ(SDISetSensorSN(&sensor), 0);
}

TEST_F(SdiSensorTest, RiloCalibrationLosesItsMinusOnesAndGetsTheXaDefault) {
  sensor.sensor_type = 'z';
  sensor.sensor_version = 360;
  Answer("?!", "0");
  Answer("?X4!", "0 -1 2.5 -1 7 -1");
  Answer("?Xa!", "0");
  EXPECT_EQ(SDIGetSensorCalibration(&sensor), 1);
  EXPECT_EQ(sensor.x4_calibration, "+0 2.5 +0 7 +0");
  EXPECT_EQ(sensor.xa_calibration, "1 1.39619 2.03054 2.54573 2.9907");
  EXPECT_TRUE(Logged("SDIGetSensorCalibration updated X4 to remove '-1'"));
  EXPECT_TRUE(Logged("SDIGetSensorCalibration set calibration Xa \"1 1.39619 2.03054"));
}

TEST_F(SdiSensorTest, XaDefaultsByTypeAndVersion) {
  struct Case {
    uint8_t type;
    uint32_t version;
    std::string answer;
    std::string xa;
  };
  const std::string old_default = "1 1.44832 1.91683 2.35961 2.991";
  const Case cases[] = {
      {'z', 300, "", old_default},
      {'z', 380, "0 1 1.44832 1.91683 2.35961 2.991", old_default},
      {'z', 380, "0 9 9 9 9 9 9 9", "1 1.39619 2.03054 2.54573 2.9907"},
      {'z', 400, "0 9 9 9 9 9 9 9", "9 9 9 9 9 9 9"},
      {'w', 352, "", old_default},
      {'w', 353, "", "1 1.4724 2.03944 2.5652 2.9907"},
      {'w', 402, "0 5 5 5 5 5", "5 5 5 5 5"},
      {'k', 300, "0 4 4", "4 4"},
  };
  for (const Case& c : cases) {
    sensor.sensor_type = c.type;
    sensor.sensor_version = c.version;
    Answer("?!", "0");
    Answer("?X4!", "0 1 2 3");
    Answer("?Xa!", c.answer);
    EXPECT_EQ(SDIGetSensorCalibration(&sensor), 1);
    EXPECT_EQ(sensor.xa_calibration.view(), c.xa) << c.type << c.version << c.answer;
  }
}

TEST_F(SdiSensorTest, PluvoHasNoCalibration) {
  sensor.sensor_type = '^';
  EXPECT_EQ(SDIGetSensorCalibration(&sensor), 0);
  EXPECT_EQ(SDISetSensorCalibration(&sensor, "1 2 3"), 0);
  EXPECT_TRUE(line->Written().empty());
}

TEST_F(SdiSensorTest, CalibrationIsWrittenBackWithItsCommands) {
  sensor.sensor_type = ']';
  sensor.xa_calibration.Assign("1 2");
  sensor.xo_calibration.Assign("7");
  sensor.xo_present = 1;
  Answer("?X51 2 3!", "0OK");
  Answer("?Xb1 2!", "0OK");
  Answer("?XO7!", "0OK");
  EXPECT_EQ(SDISetSensorCalibration(&sensor, "1 2 3"), 1);
  EXPECT_TRUE(line->Finished());

  sensor.sensor_type = 'l';  // Xa is read but never written
  Answer("?X51 2 3!", "0ERROR");
  Answer("?X51 2 3!", "0OK");
  EXPECT_EQ(SDISetSensorCalibration(&sensor, "1 2 3"), 1);
  EXPECT_TRUE(line->Finished());
}

TEST_F(SdiSensorTest, ConversionOfOldCalibrations) {
  sensor.sensor_version = 339;
  sensor.x4_calibration.Assign("1 2 4 0 10 20 0 0 5");
  EXPECT_EQ(SDIConvertCalibration(&sensor), 1);
  EXPECT_EQ(sensor.x4_calibration, "1.000 -1.000000e+03 5.000000e+02 0.000000e+00 15.0 5.0");

  sensor.x4_calibration.Assign("1 2 2 0 10 20 0 0 5");  // no span
  EXPECT_EQ(SDIConvertCalibration(&sensor), 1);
  EXPECT_EQ(sensor.x4_calibration, "1.000 0.000000e+00 0.000000e+00 0.000000e+00 0.0 5.0");

  sensor.sensor_version = 340;
  EXPECT_EQ(SDIConvertCalibration(&sensor), 0);
}

TEST_F(SdiSensorTest, MissingLoaderStopsBeforeTheLoaderBytes) {
  line->Expect("|").Expect("?B!").Reply("0No BSL\r\n");
  EXPECT_EQ(SDIInvokeHalvBSL(&sensor), -82);
  EXPECT_EQ(line->Written(), "|?B!");
  EXPECT_EQ(sensor.tries, 5u);
  EXPECT_EQ(sensor.reply_wait_ms, 2000u);

  line->ClearWritten();
  line->Expect("|").Expect("?B!").Reply("0\r\n");
  EXPECT_EQ(SDIInvokeHalvBSL(&sensor), 1);
  EXPECT_EQ(line->Written(), "|?B!]P");
}

TEST_F(SdiSensorTest, FirmwareCheck) {
  struct Case {
    std::string answer;
    int32_t result;
  };
  for (const Case& c : {Case{"0Code Good!", 1}, Case{"0Code Corrupt!", -66}, Case{"0huh", -1}}) {
    Answer("?post!", c.answer);
    EXPECT_EQ(SDICheckBinary(&sensor), c.result) << c.answer;
  }
}

}  // namespace
}  // namespace halv
