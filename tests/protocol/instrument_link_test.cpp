// The instrument protocol against a scripted line on virtual time.
#include <gtest/gtest.h>

#include <string>

#include "logger/logger_link.h"
#include "protocol/instrument.h"
#include "protocol/settings_capture.h"
#include "protocol/settings_file.h"
#include "protocol/settings_flags.h"
#include "protocol/wall_clock.h"
#include "serial/serial_channel.h"
#include "support/virtual_line.h"

namespace halv {
namespace {

class InstrumentTest : public test::VirtualLineTest {
 protected:
  InstrumentTest() : connection(&log) {}

  // The port is open and the device known as `kind`.
  void Connected(int kind, uint32_t version = 106) {
    ASSERT_EQ(DSOpen(&connection.link->channel, "COM7", 9600), 1);
    connection.link->request.connection_kind = kConnectionSerial;
    LookupDeviceKind(kind, version, &connection.device);
    connection.device_kind = static_cast<uint8_t>(kind);
  }
  void Answer(const std::string& command, const std::string& reply) {
    line->Expect(command).Reply(reply, 20);
  }
  void ExpectScriptDone() {
    EXPECT_TRUE(line->Finished());
    for (const std::string& m : line->Mismatches()) ADD_FAILURE() << "unexpected write: " << m;
  }

  InstrumentConnection connection;
};

TEST_F(InstrumentTest, ConnectJudgesWhatAnswered) {
  struct Case {
    std::vector<std::string> replies;  // to "get -ver\r"
    int32_t result;
    int kind;
  };
  const Case cases[] = {
      {{"\rPUMATIC 1.06\r>"}, 1, 24}, {{"\rLAGANX 1.02\r>"}, -120, 3},
      {{"\rLAGANX 1.03\r>"}, 1, 3},   {{"\rNOSUCH 1.00\r>"}, -120, 0},
      {{"$", "$"}, -81, 0},           {{}, -20, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    InstrumentConnection fresh(&log);
    for (const std::string& r : c.replies) Answer("get -ver\r", r);
    DeviceInfo info;
    EXPECT_EQ(DPConnect(&fresh, "COM7", 2, 3, &info), c.result);
    EXPECT_EQ(info.kind, c.kind);
    if (c.result > 0) {
      EXPECT_EQ(fresh.device_kind, c.kind);
      EXPECT_EQ(fresh.device.kind, c.kind);
      EXPECT_EQ(fresh.settings.new_firmware, 1);
    }
    DisconnectDevice(fresh.link.get(), true);
  }
  DeviceInfo info;
  EXPECT_EQ(DPConnect(&connection, "", 2, 3, &info), -10);
  EXPECT_TRUE(Logged("DPConnect this device must not be supported"));
  EXPECT_TRUE(Logged("DPConnect found the HalvBSL listening (-81)"));
}

TEST_F(InstrumentTest, ValuesFromReplies) {
  Connected(24);
  Answer("get -x\r", "\r\nvalue one\r\n>");
  for (int k = 0; k < 3; ++k) Answer("get -p\r", ">");
  Answer("get -n\r", "\r\n42\r\n>");
  Answer("get -e\r", "\r\nError: no\r\n>");
  Answer("get -e\r", "\r\nabc\r\n>");
  char value[6];
  EXPECT_EQ(GetValueString(&connection, "get -x", 2000, value, 5), 1);
  EXPECT_STREQ(value, "value");
  EXPECT_EQ(GetValueString(&connection, "get -p", 2000, value, 5), -30);
  EXPECT_TRUE(Logged("GetValueString found a leading prompt character"));
  int32_t number = 0;
  EXPECT_EQ(GetValueLong(&connection, "get -n", 2000, &number), 1);
  EXPECT_EQ(number, 42);
  Answer("get -e\r", "\r\nnothing\r\n>");
  EXPECT_EQ(GetValueLong(&connection, "get -e", 2000, &number), -30);
  ExpectScriptDone();
}

TEST_F(InstrumentTest, LoginTypesTheCodeAndLogoutOnlyWhereNeeded) {
  Connected(15, 210);
  line->Expect("login *4862").Expect("\r\n\r").Reply("\r\nOK\r\n>", 20);
  const uint64_t start = Now();
  EXPECT_EQ(DPLogin(&connection), 1);
  EXPECT_GE(Now() - start, 1000u + 11 * 250 + 250 + 1000);
  Answer("logout\r", "\r\n>");
  EXPECT_EQ(DPDisconnect(&connection, true), 1);
  ExpectScriptDone();

  Connected(24);
  line->ClearWritten();
  EXPECT_EQ(DPDisconnect(&connection, true), 1);
  EXPECT_EQ(line->Written().find("logout"), std::string::npos);
}

TEST_F(InstrumentTest, CaptureOrderAndCounting) {
  Connected(24);
  Answer("get -lang\r", "\r\n2\r\n>");
  Answer("get -sn\r", "\r\nSN-1\r\n>");
  EXPECT_EQ(GetInstInfo(&connection, kFlagLanguage | kFlagSerialNumber), 1);
  EXPECT_EQ(connection.captured.flags, kFlagLanguage | kFlagSerialNumber);
  EXPECT_EQ(connection.captured.lang, 2);
  EXPECT_EQ(connection.captured.sn, "SN-1");
  ExpectScriptDone();

  // A failed sample still counts as read.
  for (int k = 0; k < 3; ++k) Answer("get -sample\r", "\r\nError\r\n>");
  EXPECT_EQ(GetInstInfo(&connection, kFlagSample), 1);
  EXPECT_EQ(connection.captured.flags, kFlagSample);
  ExpectScriptDone();

  EXPECT_EQ(SetInstInfo(&connection, kFlagInterval), -30);
  EXPECT_TRUE(Logged("SetInstInfo could not restore all settings"));
  EXPECT_EQ(GetInstInfo(&connection, 0), 0);
}

TEST_F(InstrumentTest, CalibrationWordsByKind) {
  struct Case {
    int kind;
    const char* first_get;
    const char* second_get;
    const char* first_set;
  };
  const Case cases[] = {
      {21, "get -cal1\r", "get -cal2\r", "set -cal1 A\r"},
      {14, "get -cal 0\r", "get -cal 1\r", "set -cal 0 A\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    InstrumentConnection fresh(&log);
    ASSERT_EQ(DSOpen(&fresh.link->channel, "COM7", 9600), 1);
    fresh.link->request.connection_kind = kConnectionSerial;
    fresh.device_kind = static_cast<uint8_t>(c.kind);
    Answer(c.first_get, "\r\nA\r\n>");
    for (int k = 0; k < 3; ++k) Answer(c.second_get, "\r\n>");
    EXPECT_EQ(GetInstInfo(&fresh, kFlagCalibration), 1);
    EXPECT_EQ(fresh.captured.slots[0], "A");
    Answer(c.first_set, "\r\nOK\r\n>");
    EXPECT_EQ(SetInstInfo(&fresh, kFlagCalibration), 1);
    ExpectScriptDone();
    DSClose(&fresh.link->channel);
  }
}

TEST_F(InstrumentTest, RecordsAreWrittenSortedAndReadUpToAFailure) {
  Connected(15, 210);
  ASSERT_TRUE(AllocateRecords(&connection.equation_records, 2));
  connection.equation_records.records[0].value.Assign("beta 1");
  connection.equation_records.records[1].value.Assign("Alpha 2");
  Answer("set -eqn 0 Alpha 2\r", "\r\nOK\r\n>");
  Answer("set -eqn 1 beta 1\r", "\r\nOK\r\n>");
  EXPECT_EQ(SetRecords_Serial(&connection, &connection.equation_records, kEquationRecords), 1);
  ExpectScriptDone();

  // No answer to the count: up to 100 are tried, those before the failure kept.
  line->Expect("get -eqn\r").Expect("get -eqn\r").Expect("get -eqn\r");
  Answer("get -eqn 0\r", "\r\nx 1\r\n>");
  for (int k = 0; k < 3; ++k) Answer("get -eqn 1\r", "\r\n>");
  EXPECT_EQ(GetRecords_Serial(&connection, &connection.equation_records, kEquationRecords), 1);
  EXPECT_EQ(connection.equation_records.count, 1);
  EXPECT_TRUE(Logged("GetRecords_Serial retrieved 1 of 100 \"eqn\" records"));
  ExpectScriptDone();
}

TEST_F(InstrumentTest, BatteryFirmwareAndErase) {
  Connected(24);
  int32_t percent = 0;
  Answer("get -batt\r", "\r\n85\r\n>");
  EXPECT_EQ(DPCheckBattery(&connection, &percent), 1);
  EXPECT_EQ(percent, 85);
  Answer("get -batt\r", "\r\nlow\r\n>");
  EXPECT_EQ(DPCheckBattery(&connection, &percent), -30);
  EXPECT_EQ(DPCheckBattery(&connection, nullptr), -10);
  Answer("post -init\r", "\r\nCode Corrupt!\r\n>");
  EXPECT_EQ(DPCheckFirmware(&connection, 1), -1);
  Answer("post\r", "\r\nCode Good!\r\n>");
  EXPECT_EQ(DPCheckFirmware(&connection, 0), 1);
  line->ClearWritten();
  EXPECT_EQ(DPEraseData(&connection), -13);
  EXPECT_EQ(line->Written(), "");
  ExpectScriptDone();

  connection.device_kind = 7;
  Answer("yes\r", "\r\nDataFlash FAIL\r\n>");
  EXPECT_EQ(DPEraseData(&connection), -65);
  Answer("yes\r", "\r\nOK\r\n>");
  EXPECT_EQ(DPEraseData(&connection), 1);
  ExpectScriptDone();
}

bool MidnightOf2000(int64_t* seconds, int*) {
  *seconds = 946684800 - UtcOffsetSeconds();
  return true;
}

TEST_F(InstrumentTest, ClockOfAHydrelQAtTheStartOf2000) {
  Connected(15, 210);
  WallClockSource previous = SetWallClockSource(&MidnightOf2000);
  Answer("set -sec 0\r", "\r\nOK\r\n>");
  EXPECT_GT(DPSetTime(&connection), 0);
  SetWallClockSource(previous);
  EXPECT_TRUE(Logged("DPSetTime set the time to: 0"));
  ExpectScriptDone();
  Connected(24);
  EXPECT_EQ(DPSetTime(&connection), -13);
}

TEST_F(InstrumentTest, SaveAndRestoreEdges) {
  Connected(21);
  EXPECT_EQ(DPSaveInfo(&connection, dir.File("s.txt").c_str()), -13);
  EXPECT_TRUE(Logged("DPSaveInfo received error -13 trying to collect device settings"));

  Connected(15, 210);
  EXPECT_EQ(DPRestoreInfo(&connection, dir.File("missing.txt").c_str(), nullptr), -102);
  EXPECT_TRUE(Logged("DPRestoreInfo received error -102 trying to read device settings from"));

  // A new serial number one higher in its last character raises the config by 1.
  connection.settings_saved = 1;
  connection.captured.flags = kFlagSerialNumber;
  connection.captured.sn.Assign("HQ1000");
  connection.captured.config.Assign("5000");
  Answer("set -sn HQ1001\r", "\r\nOK\r\n>");
  Answer("set -config 5001\r", "\r\nOK\r\n>");
  EXPECT_EQ(DPRestoreInfo(&connection, dir.File("s.txt").c_str(), "HQ1001"), 1);
  ExpectScriptDone();
}

TEST_F(InstrumentTest, PumaticSavesToTheFileAndRestoresFromIt) {
  Connected(24);
  const std::string path = dir.File("settings.txt");
  Answer("get -sn\r", "\r\nPU-7\r\n>");
  EXPECT_EQ(DPSaveInfo(&connection, path.c_str()), 1);
  EXPECT_EQ(connection.saved_flags, kFlagSerialNumber);
  EXPECT_NE(test::ReadWholeFile(path).find("sn=\"PU-7\"\r\n"), std::string::npos);

  connection.settings_saved = 0;
  connection.captured = CapturedSettings{};
  Answer("set -sn PU-7\r", "\r\nOK\r\n>");
  EXPECT_EQ(DPRestoreInfo(&connection, path.c_str(), nullptr), 1);
  EXPECT_TRUE(Logged("SetInstInfo set device serial number to \"PU-7\""));
  ExpectScriptDone();
}

TEST_F(InstrumentTest, UninitialisedDeviceIsNotSaved) {
  Connected(24);
  for (int k = 0; k < 3 * 5; ++k) Answer("get -sn\r", "\r\nOK\r\n>");
  EXPECT_EQ(DPSaveInfo(&connection, dir.File("s.txt").c_str()), -36);
  EXPECT_EQ(connection.settings_saved, 0);
  EXPECT_TRUE(Logged("DPSaveInfo does not save data for an uninitialized device"));
}

}  // namespace
}  // namespace halv
