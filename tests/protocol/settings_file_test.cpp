#include "protocol/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "protocol/instrument.h"
#include "protocol/settings_flags.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

class SettingsFile : public ::testing::Test {
 protected:
  SettingsFile() : connection(nullptr), path(dir.File("settings.txt")) {}

  // Writes the file for a kind, then reads it into a fresh record.
  int32_t RoundTrip(InstrumentConnection* from, InstrumentConnection* into) {
    EXPECT_EQ(WriteInfoFile(from, path.c_str()), 1);
    into->device_kind = from->device_kind;
    into->device = from->device;
    return ReadInfoFile(into, path.c_str());
  }

  TempDir dir;
  InstrumentConnection connection;
  std::string path;
};

TEST_F(SettingsFile, PumaticFileHasTheExactBytes) {
  connection.device_kind = kKindPumatic;
  connection.captured.sn.Assign("PU-00042");
  ASSERT_EQ(WriteInfoFile(&connection, path.c_str()), 1);
  EXPECT_EQ(ReadWholeFile(path),
            "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n"
            "type=\"PUMATIC\"\r\nname=\"\"\r\nsn=\"PU-00042\"\r\nlang=\"0\"\r\nHalvBuild=\"\"\r\n"
            "contr=\"0\"\r\nconfig=\"\"\r\nfvals=\"\"\r\nuvals=\"\"\r\nunits=\"0\"\r\nadc=\"\"\r\n"
            "adccal=\"\"\r\ncalprefs=\"\"\r\nPCUnits=\"\"\r\nsample=\"\"\r\nusage=\"\"\r\n"
            "adc15=\"\"\r\nadc30=\"\"\r\nlocation=\"\"\r\nchai=\"\"\r\nextCal=\"\"\r\ntadj=\"\"\r\n"
            "tau=\"0\"\r\nhadj=\"\"\r\n");
  InstrumentConnection back(nullptr);
  back.device_kind = kKindPumatic;
  ASSERT_EQ(ReadInfoFile(&back, path.c_str()), 1);
  EXPECT_EQ(back.captured.flags, kFlagSerialNumber);
  EXPECT_EQ(back.captured.sn, "PU-00042");
  EXPECT_EQ(back.saved_flags, kFlagSerialNumber);

  connection.captured.sn.Clear();
  back.captured.sn.Assign("stale");
  ASSERT_EQ(RoundTrip(&connection, &back), 1);
  EXPECT_EQ(back.captured.flags, 0u);
}

// Every instrument kind that keeps settings: the capture's settings come back
// with the flags of the capture.
TEST_F(SettingsFile, InstrumentKindsReadBackWhatWasCaptured) {
  struct Case {
    int kind;
    uint32_t firmware;
    uint32_t flags;
  };
  const Case cases[] = {
      {6, 120, 0x4000007A}, {7, 100, 0x100192},    {8, 150, 0x7000400},   {8, 210, 0x7000C12},
      {9, 100, 0xB2},       {11, 100, 0x80027402}, {12, 351, 0xC00},      {13, 100, 0x3},
      {14, 100, 0x2C0013},  {15, 210, 0x38000842}, {16, 100, 0x28400802}, {17, 100, 0x802},
      {20, 100, 0x802},     {22, 210, 0x38000806}, {23, 100, 0x20C08012}, {24, 106, 0x2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    InstrumentConnection from(nullptr);
    from.device_kind = static_cast<uint8_t>(c.kind);
    from.device.firmware_version = c.firmware;
    CapturedSettings& s = from.captured;
    s.flags = c.flags;
    for (int bit = 0; bit < kFlagBits; ++bit) {
      const SettingsFlagRow& row = kSettingsFlagRows[bit];
      if ((c.flags & (1u << bit)) == 0) continue;
      if (row.text != nullptr) {
        const TextRef field = row.text(&s);
        snprintf(field.text, field.width, "v%d-%d", c.kind, bit);
      }
      if (row.number != nullptr) *row.number(&s) = 100 + bit;
    }
    if (c.flags & kFlagHadjTau) s.tau = 77;
    if (c.flags & (kFlagCalibration | kFlagParameterSet)) {
      s.slots[0].Assign("slot0");
      s.slots[1].Assign("slot1");
      s.slots[7].Assign("slot7");
    }
    if (c.flags & kFlagUserRecords) {
      ASSERT_TRUE(AllocateRecords(&from.user_records, 2));
      from.user_records.records[0].value.Assign("dXNlcg==");
      from.user_records.records[1].value.Assign("QQ==");
    }
    if (c.flags & kFlagEquationRecords) {
      ASSERT_TRUE(AllocateRecords(&from.equation_records, 1));
      from.equation_records.records[0].value.Assign("eq 1 2");
    }
    InstrumentConnection back(nullptr);
    EXPECT_EQ(RoundTrip(&from, &back), c.kind == 13 ? 0 : 1);
    uint32_t expected = c.flags;
    if (c.kind == 14) expected &= ~kFlagCalibration;  // the handheld's list stops at slot 2
    if (c.kind == 14) {
      EXPECT_EQ(back.captured.flags & kFlagCalibration, kFlagCalibration);
    }
    EXPECT_EQ(back.captured.flags & ~kFlagCalibration, expected & ~kFlagCalibration);
    EXPECT_EQ(back.saved_flags, back.captured.flags);
    for (int bit = 0; bit < kFlagBits; ++bit) {
      const SettingsFlagRow& row = kSettingsFlagRows[bit];
      if ((back.captured.flags & (1u << bit)) == 0) continue;
      if (row.text != nullptr) {
        EXPECT_STREQ(row.text(&back.captured).text, row.text(&s).text) << bit;
      }
      if (row.number != nullptr) {
        EXPECT_EQ(*row.number(&back.captured), 100 + bit) << bit;
      }
    }
    if (c.flags & kFlagHadjTau) {
      EXPECT_EQ(back.captured.tau, 77u);
    }
    if (c.kind == 22) {
      EXPECT_EQ(back.captured.slots[1], "slot1");
      EXPECT_EQ(back.captured.slots[6], "");
      EXPECT_EQ(back.captured.slots[7], "slot7");
    }
    if (c.kind == 14) {
      EXPECT_EQ(back.captured.slots[1], "slot1");
    }
    if (c.flags & kFlagUserRecords) {
      ASSERT_EQ(back.user_records.count, 2);
      EXPECT_EQ(back.user_records.records[1].value, "QQ==");
    }
    if (c.flags & kFlagEquationRecords) {
      ASSERT_EQ(back.equation_records.count, 1);
      EXPECT_EQ(back.equation_records.records[0].value, "eq 1 2");
    }
    if (c.kind == 13) {
      EXPECT_EQ(back.settings.serial_number, s.sn.c_str());
      EXPECT_EQ(back.settings.device_name, s.i.c_str());
    }
  }
}

TEST_F(SettingsFile, KindTwentyTwoKeepsItsSlotsFromCal01) {
  connection.device_kind = kKindHydrelQTdl;
  connection.captured.slots[0].Assign("p0");
  connection.captured.slots[19].Assign("last");
  ASSERT_EQ(WriteInfoFile(&connection, path.c_str()), 1);
  const std::string text = ReadWholeFile(path);
  EXPECT_NE(text.find("cal01=\"p0\"\r\ncal02=\"\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("cal20=\"last\"\r\n"), std::string::npos);
  EXPECT_EQ(text.find("cal00"), std::string::npos);
}

LoggerSettings SampleLogger(const char* kind_name) {
  LoggerSettings s;
  s.device_kind_name.Assign(kind_name);
  s.device_id.Assign("ID123456");
  s.device_name.Assign("NORTH1");
  s.serial_number.Assign("SN-9876");
  s.trait = 5;
  s.measurement_interval = 300;
  s.padc = 50;
  const uint8_t ports[5] = {1, 2, 3, 4, 5}, depths[5] = {10, 20, 30, 40, 50};
  memcpy(s.port_sensor_types, ports, 5);
  memcpy(s.port_depths, depths, 5);
  for (int k = 0; k < 5; ++k) {
    s.adc15_calibration[0][k] = static_cast<uint8_t>(100 + k);
    s.adc15_calibration[1][k] = static_cast<uint8_t>(120 + k);
    s.adc30_calibration[0][k] = static_cast<uint8_t>(200 + k);
    s.adc30_calibration[1][k] = static_cast<uint8_t>(220 + k);
  }
  s.radio_mode = 2;
  s.radio_channel = 7;
  s.radio_subchannel = 9;
  s.data_parameter = 3;
  s.site_name.Assign("Upper Meadow");
  s.latitude = 46.51234;
  s.longitude = -117.25;
  s.time_zone = -28;
  s.report_mode = 1;
  s.apn.Assign("apn.example");
  s.apn_user_name.Assign("who");
  s.apn_password.Assign("secret");
  s.remote_host_name.Assign("host.example");
  s.authorisation_key.Assign("KEY");
  s.ip_port = 8080;
  s.build.Assign("B-2026");
  s.present_mask = (1u << 25) | (1u << 26) | (1u << 27);
  return s;
}

TEST_F(SettingsFile, LoggerFilesReadBackWithTheirPresentMask) {
  struct Case {
    int kind;
    const char* kind_name;
    uint32_t mask;
    uint32_t supported;
  };
  const Case cases[] = {
      {3, "Lagan X", 0x0FFFEFFB, 0x707FFF7},
      {18, "Zet", 0x0FFFEFFB, 0x707FFF7},
      {19, "Corvo", 0x0FFFEFFB, 0x707FFF7},  // its own type line is accepted
      {4, "Fieldpost", 0x00000D0B, 0x24583},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    InstrumentConnection from(nullptr);
    from.device_kind = static_cast<uint8_t>(c.kind);
    from.settings = SampleLogger(c.kind_name);
    InstrumentConnection back(nullptr);
    ASSERT_EQ(RoundTrip(&from, &back), 1);
    const LoggerSettings& s = back.settings;
    EXPECT_EQ(s.present_mask, c.mask);
    EXPECT_EQ(back.saved_flags, c.mask);
    EXPECT_EQ(s.supported_mask, c.supported);
    EXPECT_EQ(s.device_name, "NORTH1");
    EXPECT_EQ(s.serial_number, "SN-9876");
    EXPECT_EQ(s.radio_subchannel, 9);
    if (c.kind == 4) {
      EXPECT_EQ(s.trait, 16385u);
      continue;
    }
    EXPECT_EQ(s.trait, 5u + 16385u);
    EXPECT_EQ(s.device_id, "ID123456");
    EXPECT_EQ(s.measurement_interval, 300);
    EXPECT_EQ(s.port_depths[4], 50);
    EXPECT_EQ(s.adc15_calibration[1][4], 124);
    EXPECT_EQ(s.adc30_calibration[0][0], 200);
    EXPECT_EQ(s.site_name, "Upper Meadow");
    EXPECT_DOUBLE_EQ(s.latitude, 46.51234);
    EXPECT_DOUBLE_EQ(s.longitude, -117.25);
    EXPECT_EQ(s.time_zone, -28);
    EXPECT_EQ(s.apn_password, "secret");
    EXPECT_EQ(s.remote_host_name, "host.example");
    EXPECT_EQ(s.ip_port, 8080);
    EXPECT_EQ(s.build, "B-2026");
  }
}

TEST_F(SettingsFile, AnAdcSlopeOf255IsReadButNotCounted) {
  connection.device_kind = 3;
  connection.settings = SampleLogger("Lagan X");
  connection.settings.adc15_calibration[0][0] = 255;
  InstrumentConnection back(nullptr);
  ASSERT_EQ(RoundTrip(&connection, &back), 1);
  EXPECT_EQ(back.settings.adc15_calibration[0][0], 255);
  EXPECT_EQ(back.settings.present_mask & (1u << 26), 0u);
  EXPECT_NE(back.settings.present_mask & (1u << 25), 0u);
}

TEST_F(SettingsFile, LaganBReadsItsPortKeys) {
  WriteWholeFile(path,
                 "type=\"Lagan B\"\r\nname=\"OLD1\"\r\nPort number=\"1\" value=\"3\"\r\n"
                 "Port number=\"5\" value=\"4\"\r\n");
  connection.device_kind = 2;
  ASSERT_EQ(ReadInfoFile(&connection, path.c_str()), 1);
  EXPECT_EQ(connection.settings.present_mask, (1u << 0) | (1u << 5));
  EXPECT_EQ(connection.settings.port_sensor_types[0], 3);
  EXPECT_EQ(connection.settings.port_sensor_types[4], 4);
  EXPECT_EQ(connection.settings.supported_mask, 0x474BEu);
}

TEST_F(SettingsFile, DigitalSensorRoundTrip) {
  connection.device_kind = kKindDigitalSensor;
  connection.sdi->address = 'b';
  connection.sdi->x4_calibration.Assign(std::string(511, 'x'));
  connection.sdi->xa_calibration.Assign("1 2 3");
  connection.sdi->serial_number.Assign("DS-1");
  InstrumentConnection back(nullptr);
  ASSERT_EQ(RoundTrip(&connection, &back), 1);
  EXPECT_EQ(back.sdi->address, 'b');
  EXPECT_EQ(back.sdi->x4_calibration.size(), 511u);
  EXPECT_EQ(back.sdi->xa_calibration, "1 2 3");
  EXPECT_EQ(back.sdi->serial_number, "DS-1");
}

// A restore from the file after an update that stopped in the sensor's loader
// learns the type from the file, or it would leave Xb and XO out.
TEST_F(SettingsFile, DigitalSensorFileKeepsTypeAndXo) {
  connection.device_kind = kKindDigitalSensor;
  connection.sdi->sensor_type = ']';
  connection.sdi->xa_calibration.Assign("1 2 3");
  connection.sdi->xo_calibration.Assign("7 8");
  connection.sdi->xo_present = 1;
  InstrumentConnection back(nullptr);
  ASSERT_EQ(RoundTrip(&connection, &back), 1);
  EXPECT_EQ(back.sdi->sensor_type, ']');
  EXPECT_EQ(back.sdi->numeric_type, 0);
  EXPECT_EQ(back.sdi->xo_present, 1);
  EXPECT_EQ(back.sdi->xo_calibration, "7 8");

  // A file of an earlier version, or with a wild type, leaves the record's.
  InstrumentConnection old(nullptr);
  old.device_kind = kKindDigitalSensor;
  old.sdi->sensor_type = 'y';
  for (const char* file : {"type=\"Digital Sensor\"\r\nsn=\"1\"\r\n",
                           "type=\"Digital Sensor\"\r\nsensorType=\"9999\"\r\n"}) {
    WriteWholeFile(path, file);
    ASSERT_EQ(ReadInfoFile(&old, path.c_str()), 1);
    EXPECT_EQ(old.sdi->sensor_type, 'y') << file;
    EXPECT_EQ(old.sdi->xo_present, 0) << file;
  }
}

TEST_F(SettingsFile, ResultCodes) {
  connection.device_kind = 9;
  EXPECT_EQ(ReadInfoFile(&connection, dir.File("missing.txt").c_str()), -102);
  EXPECT_EQ(ReadInfoFile(&connection, ""), -10);
  EXPECT_EQ(WriteInfoFile(&connection, ""), -10);
  EXPECT_LT(WriteInfoFile(&connection, dir.File("no/such/folder.txt").c_str()), 0);
  WriteWholeFile(path, "type=\"SX\"\r\nsn=\"1\"\r\n");
  for (int kind : {0, 1, 5, 25}) {
    connection.device_kind = static_cast<uint8_t>(kind);
    EXPECT_EQ(ReadInfoFile(&connection, path.c_str()), -13) << kind;
  }
  connection.device_kind = 7;  // a Stomex file on a Thermik
  EXPECT_EQ(ReadInfoFile(&connection, path.c_str()), -30);
  EXPECT_EQ(connection.captured.flags, 0u);
  connection.device_kind = 3;
  EXPECT_EQ(ReadInfoFile(&connection, path.c_str()), -30);
  connection.device_kind = kKindDigitalSensor;
  EXPECT_EQ(ReadInfoFile(&connection, path.c_str()), -30);
  if (geteuid() != 0) {
    chmod(path.c_str(), 0);
    connection.device_kind = 9;
    EXPECT_EQ(ReadInfoFile(&connection, path.c_str()), -105);
  }
}

TEST_F(SettingsFile, KindNineReadsBackSerialContrastAndUnits) {
  connection.device_kind = 9;
  connection.captured.sn.Assign("SX-77");
  connection.captured.contr = 12;
  connection.captured.units = 2;
  InstrumentConnection back(nullptr);
  ASSERT_EQ(RoundTrip(&connection, &back), 1);
  EXPECT_EQ(back.captured.flags, kFlagSerialNumber | kFlagContrast | kFlagUnits);
  EXPECT_EQ(back.captured.sn, "SX-77");
  EXPECT_EQ(back.captured.contr, 12);
  EXPECT_EQ(back.captured.units, 2);
}

TEST(SettingsKeys, ValuesAreFoundWhereTheirLineBegins) {
  const std::string text =
      "type=\"SX\"\r\nname=\"has sn and adc\"\r\nsn=\"S1\"\r\nadccal=\"cal\"\r\nadc=\"A\"\r\n"
      "contr=\"-1\"\r\nbig=\"99999999999\"\r\nlat=\"+1.5\"\r\nopen=\"runs to the end";
  char value[8];
  EXPECT_TRUE(ReadKeyText(text, "sn", value, sizeof value));
  EXPECT_STREQ(value, "S1");
  EXPECT_TRUE(ReadKeyText(text, "adc", value, sizeof value));
  EXPECT_STREQ(value, "A");
  EXPECT_TRUE(ReadKeyText(text, "name", value, sizeof value));
  EXPECT_STREQ(value, "has sn ");  // cut to the capacity
  EXPECT_TRUE(ReadKeyText(text, "open", value, sizeof value));
  EXPECT_STREQ(value, "runs to");
  EXPECT_FALSE(ReadKeyText(text, "missing", value, sizeof value));
  // A key that no line begins with is still looked for anywhere.
  EXPECT_TRUE(ReadKeyText(text, "and adc", value, sizeof value));
  uint32_t number = 0;
  EXPECT_TRUE(ReadKeyNumber(text, "contr", &number));
  EXPECT_EQ(static_cast<int32_t>(number), -1);
  EXPECT_TRUE(ReadKeyNumber(text, "big", &number));
  EXPECT_EQ(number, UINT32_MAX);
  EXPECT_TRUE(ReadKeyNumber(text, "type", &number));
  EXPECT_EQ(number, 0u);
  double real = 0;
  EXPECT_TRUE(ReadKeyReal(text, "lat", &real));
  EXPECT_DOUBLE_EQ(real, 1.5);
  EXPECT_FALSE(ReadKeyNumber("key=no quote", "key", &number));
}

TEST_F(SettingsFile, HostileFilesAreReadSafely) {
  std::string garbage(10 * 1024 * 1024, '\0');
  for (size_t k = 0; k < garbage.size(); ++k) garbage[k] = static_cast<char>((k * 7919) >> 3);
  struct Case {
    const char* name;
    std::string text;
    int32_t result;
    uint32_t flags;
  };
  const std::string long_sn(5000, '9');
  static const char kBinary[] = "\0\xff\x01type=\"SX\"\0sn=\"\x80\x81\"\r\ncontr=\"\0";
  const Case cases[] = {
      {"no header", "type=\"SX\"\r\nsn=\"A1\"\r\n", 1, kFlagSerialNumber},
      {"no quotes", "type=SX\r\nsn=A1\r\n", -30, 0},
      {"missing closing quote", "type=\"SX\"\r\nsn=\"A1", 1, kFlagSerialNumber},
      {"over-long value", "type=\"SX\"\r\nsn=\"" + long_sn + "\"\r\n", 1, kFlagSerialNumber},
      {"binary", std::string(kBinary, sizeof kBinary - 1), 1, kFlagSerialNumber | kFlagContrast},
      {"empty", "", -30, 0},
      {"10 MB of garbage", garbage, -30, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(path, c.text);
    InstrumentConnection back(nullptr);
    back.device_kind = 9;
    EXPECT_EQ(ReadInfoFile(&back, path.c_str()), c.result);
    EXPECT_EQ(back.captured.flags, c.flags);
    EXPECT_LE(back.captured.sn.size(), 15u);
  }
  for (int kind : {3, 2, 4, 10, 15, 22}) {
    InstrumentConnection back(nullptr);
    back.device_kind = static_cast<uint8_t>(kind);
    EXPECT_EQ(ReadInfoFile(&back, path.c_str()), -30) << kind;
  }
}

}  // namespace
}  // namespace halv
