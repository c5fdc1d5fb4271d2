// Link options, connecting, the settings transfer with its re-login, the
// clock, the data erase and the radio modem set-up.
#include "logger/settings_transfer.h"

#include <gtest/gtest.h>

#include <string>

#include "logger/setting_commands.h"
#include "support/virtual_line.h"

namespace halv {
namespace {

class TransferTest : public test::VirtualLineTest {
 protected:
  TransferTest() : link(&log) {}
  void Open() {
    ASSERT_EQ(DSOpen(&link.channel, "COM7", 9600), 1);
    link.request.connection_kind = kConnectionSerial;
  }
  void Answer(const std::string& command, const std::string& reply) {
    line->Expect(command).Reply(reply, 20);
  }
  void Known(const char* version_text, uint8_t kind, int32_t version) {
    link.settings.firmware_version_text.Assign(version_text);
    link.settings.device_kind = kind;
    link.settings.firmware_version = version;
    link.settings.new_firmware = 1;
    link.settings.supported_mask = LoggerSupportedMask(kind, version, true);
  }
  DeviceLink link;
};

TEST_F(TransferTest, LinkOptionsAreCheckedAsAWhole) {
  LinkOptions options;
  options.serial_retries = 13;
  EXPECT_EQ(DeviceLinkOptions(&link, &options, 1), -11);
  LinkOptions out;
  EXPECT_EQ(DeviceLinkOptions(&link, &out, 0), 1);
  EXPECT_EQ(out.serial_retries, 3u);
  options.serial_retries = 0;
  options.radio_retries = 7;
  options.trace_mode = 4;
  EXPECT_EQ(DeviceLinkOptions(&link, &options, 1), -11);
  options.trace_mode = 3;
  options.extra_reply_wait_ms = 30001;
  EXPECT_EQ(DeviceLinkOptions(&link, &options, 1), -11);
  options.extra_reply_wait_ms = 30000;
  EXPECT_EQ(DeviceLinkOptions(&link, &options, 1), 1);
  EXPECT_EQ(link.options.serial_retries, 3u);
  EXPECT_EQ(link.retries, 3u);
  EXPECT_EQ(DeviceLinkOptions(&link, nullptr, 1), -10);
}

TEST_F(TransferTest, ConnectRefusesKindsWithoutOpeningThePort) {
  ConnectRequest request;
  request.port_name.Assign("COM7");
  const struct {
    uint8_t kind;
    int32_t result;
  } cases[] = {{0, -11}, {20, -13}, {40, -13}, {100, -13}, {120, -13}, {55, -10}};
  for (const auto& c : cases) {
    request.connection_kind = c.kind;
    EXPECT_EQ(DeviceConnect(&link, &request), c.result);
  }
  EXPECT_EQ(DeviceConnect(&link, nullptr), -10);
  EXPECT_EQ(line->OpenCount(), 0);
}

TEST_F(TransferTest, ConnectOverTheCableAndDisconnectAtDestruction) {
  line->SetOpenError(0);
  Answer("get -ver\r", "\rLAGANX 2.05\r>");
  Answer("set -baud 4\r", "\rOK");
  ConnectRequest request;
  request.port_name.Assign("COM7");
  request.connection_kind = kConnectionSerial;
  request.baud_index = 6;
  {
    DeviceLink scoped(&log);
    EXPECT_EQ(DeviceConnect(&scoped, &request), 1);
    EXPECT_EQ(line->Baud(), 115200u);
    EXPECT_EQ(scoped.settings.device_kind, kLoggerKindLaganX);
    Answer("set -baud 0\r", "\rOK");
  }
  EXPECT_FALSE(line->IsOpen());
  EXPECT_TRUE(line->Finished());
  EXPECT_TRUE(Logged("DisconnectDevice successful"));
}

TEST_F(TransferTest, RadioConnectSetsUpTheModemFirst) {
  line->Expect("+++").Reply("OK", 10);
  line->Expect("ATHP3\r").Reply("OK", 10);
  line->Expect("ATDT1F\r").Reply("OK", 10);
  line->Expect("ATWR\r").Reply("OK", 10);
  line->Expect("ATCN\r").Reply("OK", 10);
  Answer("login RADIO1\r", "\r>");
  ConnectRequest request;
  request.port_name.Assign("COM7");
  request.connection_kind = kConnectionRadio;
  request.login_name.Assign("RADIO1");
  request.radio_channel = 3;
  request.radio_subchannel = 0x1F;
  request.configure_radio = 1;
  EXPECT_EQ(DeviceConnect(&link, &request), 1);
  EXPECT_EQ(link.retries, 5u);
  EXPECT_EQ(link.request.baud_index, 2);
  EXPECT_TRUE(line->Finished());
}

TEST_F(TransferTest, ModemThatNeverEntersCommandMode) {
  Open();
  line->Expect("+++").Reply("ERROR", 10);
  line->Expect("+++");
  int32_t channel = 0;
  uint32_t selection = kRadioChannelItem;
  EXPECT_EQ(RodoConfig(&link, &channel, nullptr, nullptr, 0, &selection), -23);
  EXPECT_EQ(selection, 0u);
  EXPECT_EQ(line->Written(), "++++++");
  EXPECT_TRUE(Logged("RodoConfig failed to get into AT command mode"));
}

TEST_F(TransferTest, ModemReadsAndPartialFailures) {
  Open();
  line->Expect("+++").Reply("OK", 10);
  line->Expect("ATHP\r").Reply("5\r", 10);
  line->Expect("ATDT\r").Reply("zz\r", 10);
  line->Expect("ATVR\r").Reply("1A2B\r", 10);
  line->Expect("ATCN\r").Reply("OK", 10);
  int32_t channel = 0, subchannel = 0;
  FixedText<9> version;
  uint32_t selection = 0x1C00;
  EXPECT_EQ(RodoConfig(&link, &channel, &subchannel, &version, 0, &selection), -35);
  EXPECT_EQ(selection, 0x1400u);
  EXPECT_EQ(channel, 5);
  EXPECT_EQ(version, "1A2B");
  EXPECT_TRUE(Logged("RodoConfig failed with error -35 and 2"));
}

TEST_F(TransferTest, ReadingNameAndSerialNumber) {
  Open();
  Answer("get -ver\r", "\rZET 2.05\r>");
  Answer("get -i\r", "\rZED1\r>");
  Answer("get -sn\r", "\rSN-77\r>");
  LoggerSettings block;
  uint32_t mask = kPresentName | kPresentSerialNumber;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 0), 1);
  EXPECT_EQ(mask, kPresentName | kPresentSerialNumber | kPresentVersion);
  EXPECT_EQ(block.device_name, "ZED1");
  EXPECT_EQ(block.serial_number, "SN-77");
  EXPECT_EQ(block.present_mask, mask);

  // Known now: no version exchange this time.
  Answer("get -i\r", "\rZED1\r>");
  Answer("get -sn\r", "\rSN-77\r>");
  mask = kPresentName | kPresentSerialNumber;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 0), 1);
  EXPECT_TRUE(line->Finished());
}

TEST_F(TransferTest, OnlyUnnamedBits) {
  Open();
  Known("ZET 2.05", kLoggerKindZet, 205);
  LoggerSettings block = link.settings;
  uint32_t mask = 0x10000000;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 1), -1);
  EXPECT_EQ(mask, 0u);
  mask = 0x10000000;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 0), 1);
  EXPECT_EQ(mask, 4u);
  EXPECT_EQ(line->Written(), "");
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 2), -11);
  EXPECT_EQ(DeviceSettings(&link, nullptr, &mask, 0), -10);
}

TEST_F(TransferTest, SilenceLogsInAgainAndRepeatsTheStep) {
  Open();
  Known("ZET 2.05", kLoggerKindZet, 205);
  link.retries = 2;
  // "get -i" unanswered twice: log in again (no baud change asked), repeat.
  line->Expect("get -i\r").Expect("get -i\r");
  Answer("get -ver\r", "\rZET 2.05\r>");
  Answer("get -i\r", "\rZED1\r>");
  Answer("get -w\r", "\r600\r>");
  LoggerSettings block;
  uint32_t mask = kPresentName | kPresentInterval;
  link.request.baud_index = 2;
  // The repeated step counts as it turned out; the silence is forgiven.
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 0), 1);
  EXPECT_EQ(mask, kPresentName | kPresentInterval | kPresentVersion);
  EXPECT_EQ(block.device_name, "ZED1");
  EXPECT_EQ(block.measurement_interval, 600);
  EXPECT_TRUE(Logged("******: DeviceSettings re-connected to device"));
  EXPECT_TRUE(line->Finished());
}

TEST_F(TransferTest, SilenceAfterEveryLoginEndsWithMinus21) {
  Open();
  Known("ZET 2.05", kLoggerKindZet, 205);
  link.retries = 1;
  line->Expect("get -i\r");
  Answer("get -ver\r", "\rZET 2.05\r>");
  line->Expect("get -i\r");
  LoggerSettings block;
  uint32_t mask = kPresentName;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 0), -21);
  EXPECT_EQ(mask, kPresentVersion);
  EXPECT_TRUE(line->Finished());
}

TEST_F(TransferTest, OldLoggerIsReadThroughShow) {
  Open();
  link.retries = 1;
  Answer("get -ver\r", "\r?\r>");
  Answer("get -ver\r", "\r?\r>");
  Answer("show\r", "\rID: OLDLAG\rVersion: 1.23\rRadio: 0\rWake: 900\rResets: 2\r>");
  LoggerSettings block;
  uint32_t mask = kPresentName | kPresentInterval | kPresentRadioMode;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 0), 1);
  EXPECT_EQ(mask, kPresentName | kPresentInterval | kPresentRadioMode | kPresentVersion);
  EXPECT_EQ(block.device_name, "OLDLAG");
  EXPECT_TRUE(line->Finished());
}

TEST_F(TransferTest, WritingTheRadioAndLocation) {
  Open();
  Known("LAGANX 2.05", kLoggerKindLaganX, 205);
  LoggerSettings block = link.settings;
  block.latitude = 46.73;
  block.radio_channel = 2;
  block.radio_subchannel = 0x10;
  Answer("set -lat +46.73000\r", "\rOK\r>");
  Answer("set -rch 2\r", "\rOK\r>");
  Answer("set -rsch 10\r", "\rOK\r>");
  uint32_t mask = kPresentLatitude | kPresentRadioChannel | kPresentRadioSubchannel;
  EXPECT_EQ(DeviceSettings(&link, &block, &mask, 1), 1);
  EXPECT_EQ(mask, kPresentLatitude | kPresentRadioChannel | kPresentRadioSubchannel);
  EXPECT_TRUE(line->Finished());
}

TEST_F(TransferTest, ClockInSecondsTakesTheComputersTime) {
  Open();
  Known("ZET 2.05", kLoggerKindZet, 205);
  link.settings.supported_mask |= kSupportsClock | kSupportsSecondsClock;
  const int64_t now = LocalSecondsSince2000();
  int64_t time = 0;
  line->Expect("set -sec ").Reply("\rOK\r>", 20);
  EXPECT_EQ(DeviceTime(&link, &time, 1), 1);
  EXPECT_GE(time, now);
  EXPECT_LE(time, now + 2);
  EXPECT_EQ(line->Written(), "set -sec " + std::to_string(time) + "\r");

  Answer("get -sec\r", "\r86400\r>");
  EXPECT_EQ(DeviceTime(&link, &time, 0), 1);
  EXPECT_EQ(time, 86400);
  Answer("get -sec\r", "\r4294967000\r>");
  EXPECT_EQ(DeviceTime(&link, &time, 0), -30);
  EXPECT_EQ(time, -1);
  EXPECT_EQ(DeviceTime(&link, nullptr, 0), -10);
}

TEST_F(TransferTest, ClockAsDateAndTime) {
  Open();
  Known("LAGANX 2.05", kLoggerKindLaganX, 205);
  link.settings.supported_mask |= kSupportsClock;
  int64_t time = 3 * 86400 + 3600 + 2 * 60 + 5;  // 4 January 2000, 1:02:05
  Answer("set -t 1:2:5\r", "\rOK\r>");
  Answer("set -d 2000-1-4\r", "\rOK\r>");
  EXPECT_EQ(DeviceTime(&link, &time, 1), 1);
  // A refused time of day is not followed by the date.
  Answer("set -t 1:2:5\r", "\rnope\r>");
  EXPECT_EQ(DeviceTime(&link, &time, 1), -30);

  Answer("get -t\r", "\rDate\\Time: 2000-01-04 01:02:05\r>");
  EXPECT_EQ(DeviceTime(&link, &time, 0), 1);
  EXPECT_EQ(time, 3 * 86400 + 3600 + 2 * 60 + 5);
  Answer("get -t\r", "\rDate\\Time: 2000-01-04 01:02\r>");
  EXPECT_EQ(DeviceTime(&link, &time, 0), -30);
  EXPECT_EQ(time, -1);
  // A year or month beyond what the calendar record can hold is no date.
  for (const char* date : {"-2147483648-01-04", "2000--2147483648-04"}) {
    Answer("get -t\r", std::string("\rDate\\Time: ") + date + " 01:02:05\r>");
    EXPECT_EQ(DeviceTime(&link, &time, 0), -30) << date;
  }
  link.settings.supported_mask = 0;
  EXPECT_EQ(DeviceTime(&link, &time, 0), -1);
  EXPECT_TRUE(line->Finished());
}

TEST_F(TransferTest, EraseChecksTheDevicesName) {
  Open();
  Known("ZET 2.05", kLoggerKindZet, 205);
  link.settings.device_name.Assign("ZED1");
  Answer("get -i\r", "\rOTHER\r>");
  EXPECT_EQ(EraseData(&link), -37);
  EXPECT_EQ(line->Written(), "get -i\r");
  EXPECT_TRUE(Logged("EraseData: Identity mismatch. Class: ZED1, Device: OTHER"));

  Answer("get -i\r", "\rZED1\r>");
  Answer("yes\r", "\rOK\r>");
  EXPECT_EQ(EraseData(&link), 1);
  Answer("get -i\r", "\rZED1\r>");
  Answer("yes\r", "\rDataFlash FAIL\r>");
  EXPECT_EQ(EraseData(&link), -65);
  EXPECT_TRUE(line->Finished());
}

}  // namespace
}  // namespace halv
