// The command exchange, login, baud negotiation and identification against
// scripted replies on virtual time.
#include "logger/logger_link.h"

#include <gtest/gtest.h>

#include <string>

#include "serial/clock.h"
#include "support/virtual_line.h"

namespace halv {
namespace {

class LoggerLinkTest : public test::VirtualLineTest {
 protected:
  LoggerLinkTest() : link(&log) {
    EXPECT_EQ(DSOpen(&link.channel, "COM7", 9600), 1);
    link.request.connection_kind = kConnectionSerial;
  }
  void Answer(const std::string& command, const std::string& reply, uint32_t delay_ms = 20) {
    line->Expect(command).Reply(reply, delay_ms);
  }
  void Identify(const std::string& version) {
    Answer("get -ver\r", "\r" + version + "\r>");
    ASSERT_EQ(VerCommand(&link, true), 1);
  }

  DeviceLink link;
};

TEST_F(LoggerLinkTest, EchoEndsTheExchangeAtOnce) {
  link.retries = 3;
  Answer("get -ver\r", "get -ver\r>");
  char reply[32] = "stale";
  uint32_t length = sizeof reply;
  EXPECT_EQ(DeviceCommand(&link, "get -ver\r", '>', 400, reply, &length, nullptr), -32);
  EXPECT_EQ(line->Written(), "get -ver\r");
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(length, 0u);
  EXPECT_TRUE(Logged("DeviceCommand is hearing echoed commands"));

  line->ClearWritten();
  link.request.connection_kind = kConnectionRadio;
  Answer("\rquery\r", "\rquery\r");
  char name[9] = {};
  EXPECT_EQ(QueryCommand(&link, name, 1), -33);
  EXPECT_EQ(line->Written(), "\rquery\r");
  EXPECT_EQ(link.retries, 3u);
}

TEST_F(LoggerLinkTest, BarePromptIsAnEmptyAnswerButLogsIn) {
  Answer("get -w\r", "\r\r>");
  EXPECT_EQ(DeviceCommand(&link, "get -w\r", '>', 1500, nullptr, nullptr, nullptr), -31);
  EXPECT_TRUE(Logged("DeviceCommand: device returned empty answer"));
  Answer("login LOG1\r", "\r\r>");
  EXPECT_EQ(LoginCommand(&link, "LOG1"), 1);
  link.retries = 1;
  Answer("login\r", "\rwho?\r>");
  EXPECT_EQ(LoginCommand(&link, ""), -34);
  EXPECT_EQ(LoginCommand(&link, "NINECHARS"), -54);
}

TEST_F(LoggerLinkTest, SilentTriesGiveMinus21AfterEveryWait) {
  link.retries = 3;
  uint32_t elapsed = 0;
  const uint64_t start = Now();
  EXPECT_EQ(DeviceCommand(&link, "get -w\r", '>', 1500, nullptr, nullptr, &elapsed), -21);
  EXPECT_EQ(line->Written(), "get -w\rget -w\rget -w\r");
  EXPECT_GE(elapsed, 3u * (1500 + 50));
  EXPECT_EQ(Now() - start, elapsed);
}

TEST_F(LoggerLinkTest, ErrorRepliesAreTriedAgain) {
  link.retries = 2;
  Answer("get -w\r", "\rERROR\r>");
  Answer("get -w\r", "\r600\r>");
  char reply[32];
  uint32_t length = sizeof reply;
  EXPECT_EQ(DeviceCommand(&link, "get -w\r", '>', 1500, reply, &length, nullptr), 6);
  EXPECT_STREQ(reply, "\r600\r>");
  Answer("get -w\r", "\rUnsupported\r>");
  Answer("get -w\r", "\r?\r>");
  EXPECT_EQ(DeviceCommand(&link, "get -w\r", '>', 1500, reply, &length, nullptr), -34);
}

TEST_F(LoggerLinkTest, HostileRepliesStayWithinTheBuffers) {
  struct Case {
    std::string reply;
    int32_t result;
    uint32_t length;
  };
  const Case cases[] = {
      {std::string(3000, 'x') + ">", 2048, 9},  // over-long: the response keeps 2048
      {std::string(2048, 'y'), 2048, 9},        // no end character at all
      {std::string("\x01\xff\x80\x7f binary\r>", 12), 12, 9},
      {"short\r>", 7, 7},
  };
  for (const Case& c : cases) {
    Answer("get -x\r", c.reply);
    char reply[10];
    uint32_t length = sizeof reply;
    EXPECT_EQ(DeviceCommand(&link, "get -x\r", '>', 1500, reply, &length, nullptr), c.result);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(strlen(reply), c.length);
    EXPECT_LE(strlen(link.response), 2048u);
  }
  EXPECT_TRUE(Logged("DeviceCommand got 2039 more bytes than expected (get -x\r)"));
}

TEST_F(LoggerLinkTest, VersionReplyGivesKindVersionAndMask) {
  struct Case {
    std::string version;
    uint8_t kind;
    int32_t v;
    uint32_t mask;
  };
  const Case cases[] = {
      {"ZET 2.05", kLoggerKindZet, 205, 0x5E3FFF7},
      {"crv 1.00", kLoggerKindCorvo, 100, 0x7C3F6F7},
      {"LAGANX 1.19", kLoggerKindLaganX, 119,
       0x7737 | 0x200000 | 0xC00000 | 0x70000 | 0x8800 | 0x40 | 0x80},
      {"LAGANX 2.02", kLoggerKindLaganX, 202,
       0x4007737 | 0x1000000 | 0x200000 | 0xC00000 | 0x70000 | 0x8800 | 0x40 | 0x80},
      {"FPO 1.09", kLoggerKindFieldpost, 109, 0x24583},
      {"LAGANB 2.04", kLoggerKindLaganB, 204, 0x474BE},
      {"HX 1.0", kLoggerKindHandix, 100, 0x1D3083},
      {"NEWTHING 3.14", kLoggerKindUnknown, 314, 0x1005},
  };
  for (const Case& c : cases) {
    Identify(c.version);
    EXPECT_EQ(link.settings.device_kind, c.kind) << c.version;
    EXPECT_EQ(link.settings.firmware_version, c.v) << c.version;
    EXPECT_EQ(link.settings.supported_mask, c.mask) << c.version;
    EXPECT_EQ(link.settings.firmware_version_text, c.version);
    EXPECT_EQ(link.settings.new_firmware, 1);
  }
  EXPECT_EQ(link.settings.device_kind_name, "Unknown");
}

TEST_F(LoggerLinkTest, VersionRepliesThatAreNotVersions) {
  struct Case {
    std::vector<std::string> replies;
    int32_t result;
  };
  link.retries = 1;
  const Case cases[] = {
      {{"\r+7+\r>"}, -80},
      {{"\r$\r>", "\r$\r>"}, -81},
      {{"\r>", "\r>", "\r>", "\r>"}, -32},
      {{std::string(40, '.') + ">", "x.y\r>", "\r9.9\r>", "\rZ .\r>"}, -30},
  };
  for (const Case& c : cases) {
    for (const std::string& r : c.replies) Answer("get -ver\r", r);
    EXPECT_EQ(VerCommand(&link, true), c.result) << c.replies[0];
    EXPECT_EQ(link.settings.device_kind, 0);
    EXPECT_EQ(link.settings.firmware_version, 0);
  }
}

TEST_F(LoggerLinkTest, OldLaganAnswersOnlyShow) {
  link.retries = 1;
  Answer("get -ver\r", "\r?\r>");
  Answer("get -ver\r", "\r?\r>");
  Answer("show\r", "\rID: OLDLAG\rVersion: 1.23\rRadio: 2\rWake: 900\rResets: 7\r>");
  EXPECT_EQ(VerCommand(&link, false), 1);
  EXPECT_EQ(link.settings.device_kind, kLoggerKindLagan);
  EXPECT_EQ(link.settings.new_firmware, 0);
  EXPECT_EQ(link.settings.supported_mask, 0x331Cu);
  EXPECT_EQ(link.settings.device_name, "OLDLAG");
  EXPECT_EQ(link.settings.firmware_version, 123);
  EXPECT_EQ(link.settings.radio_mode, 2);
  EXPECT_EQ(link.settings.measurement_interval, 900);
  EXPECT_EQ(link.reset_count, 7);
  EXPECT_TRUE(Logged("ParseShowCommand found OLDLAG:1.23:2:900:7"));
  EXPECT_TRUE(line->Finished());
}

TEST_F(LoggerLinkTest, ShowRepliesCutShortOrGarbled) {
  link.settings.device_kind = kLoggerKindLagan;
  const std::string cases[] = {
      "\rID:",
      "\rVersion:",
      "\rID: A\rVersion: x\r>",
      "\rVersion: 1.20\r>",
      std::string("\x01\xfe ID: \x80", 9) + "Wake:",
      std::string(179, 'Z') + ">",
      "\rID: A\rVersion: 1.20\rWake: none\r>",
  };
  for (const std::string& c : cases) {
    Answer("show\r", c);
    EXPECT_EQ(ParseShowCommand(&link, nullptr), -30) << c;
    EXPECT_EQ(link.settings.firmware_version, -1);
  }
  Answer("show\r", "\rID: OLD\rVersion: 1.05\r>");
  EXPECT_EQ(ParseShowCommand(&link, nullptr), -13);
  char name[9];
  Answer("show\r", "\rID: LONGNAME123\r>");
  EXPECT_EQ(ParseShowCommand(&link, name), 1);
  EXPECT_STREQ(name, "LONGNAME");
  link.settings.new_firmware = 1;
  EXPECT_EQ(ParseShowCommand(&link, name), -11);
}

TEST_F(LoggerLinkTest, SetBaudWithAnUnknownRateSendsCodeZero) {
  link.settings.new_firmware = 1;
  Answer("set -baud 0\r", "\rOK");
  EXPECT_EQ(SetBaudCommand(&link, 14400), 1);
  EXPECT_TRUE(Logged("SetBaudCommand: unsupported baud rate 14400, using 9600"));
  link.settings.new_firmware = 0;
  EXPECT_EQ(SetBaudCommand(&link, 19200), -1);
}

TEST_F(LoggerLinkTest, SerialLoginSettlesTheBaudRate) {
  Answer("get -ver\r", "\rZET 2.05\r>");
  Answer("set -baud 4\r", "\rOK");
  FixedText<9> name;
  uint8_t index = 6;
  EXPECT_EQ(DeviceLogin(&link, &name, "", &index), 1);
  EXPECT_EQ(link.channel.baud, 115200u);
  EXPECT_EQ(line->Baud(), 115200u);
  EXPECT_EQ(index, 6);
  EXPECT_TRUE(Logged("DeviceLogin communicating with a device running ZET 2.05 at 115200 baud"));

  // Logging in again starts from 9600; a device without baud changes stays there.
  Answer("get -ver\r", "\rLAGANB 2.00\r>");
  EXPECT_EQ(DeviceLogin(&link, &name, "", &index), 1);
  EXPECT_EQ(link.channel.baud, 9600u);
  EXPECT_EQ(index, 2);
  EXPECT_TRUE(line->Finished());
}

TEST_F(LoggerLinkTest, SerialLoginWithNobodyThere) {
  FixedText<9> name;
  uint8_t index = 2;
  EXPECT_EQ(DeviceLogin(&link, &name, "", &index), -20);
  EXPECT_TRUE(Logged("DeviceLogin: nothing is listening over the serial port"));
  EXPECT_EQ(DeviceLogin(&link, nullptr, "", &index), -10);
}

TEST_F(LoggerLinkTest, RadioLoginWakesTheDeviceAndQueriesItsName) {
  link.request.connection_kind = kConnectionRadio;
  link.retries = 1;
  line->Expect("\rquery\r");  // asleep: no answer
  line->Expect(std::string(909, '\r'));
  Answer("\rquery\r", "RADIO1\r", 300);
  Answer("login RADIO1\r", "\r>");
  FixedText<9> name;
  uint8_t index = 6;
  const uint64_t start = Now();
  EXPECT_EQ(DeviceLogin(&link, &name, "", &index), 1);
  EXPECT_EQ(name, "RADIO1");
  EXPECT_EQ(link.settings.device_name, "RADIO1");
  EXPECT_EQ(index, 2);
  // query wait, its silent pause, the wake sequence, the answered query and
  // its settling pause, and the login.
  EXPECT_GT(Now() - start, 3000u + 909 * 55 + 2500);
  EXPECT_LT(Now() - start, 3500u + 909 * 55 + 3000);
  EXPECT_TRUE(line->Finished());
}

TEST_F(LoggerLinkTest, RadioDisconnectWaitsForSilence) {
  link.request.connection_kind = kConnectionRadio;
  link.retries = 2;
  link.settings.device_name.Assign("RADIO1");
  line->Expect("logout\r").Expect("login RADIO1\r").Reply("\r>", 10);
  line->Expect("logout\r").Expect("login RADIO1\r");
  EXPECT_EQ(DisconnectDevice(&link, false), 1);
  EXPECT_TRUE(Logged("DisconnectDevice: Device didn't disconnect, retrying"));
  EXPECT_FALSE(line->IsOpen());
  EXPECT_EQ(link.request.connection_kind, kConnectionNone);
  EXPECT_TRUE(link.settings.device_name.empty());
  EXPECT_EQ(DisconnectDevice(&link, false), 0);
}

TEST_F(LoggerLinkTest, KeptPortReturnsTo9600) {
  link.options.keep_port_open = 1;
  link.settings.new_firmware = 1;
  ASSERT_EQ(DSHostBaud(&link.channel, 115200), 1);
  Answer("set -baud 0\r", "\rOK");
  EXPECT_EQ(DisconnectDevice(&link, false), 1);
  EXPECT_TRUE(line->IsOpen());
  EXPECT_EQ(line->Baud(), 9600u);
  EXPECT_EQ(link.request.connection_kind, kConnectionSerial);
}

TEST_F(LoggerLinkTest, SendWakeAsksTheHookEveryEighteenPackets) {
  static int asked = 0;
  asked = 0;
  SetLoggerProgressHook([](DeviceLink*, uint32_t total, uint32_t done, int phase) {
    EXPECT_EQ(total, 909u);
    if (phase == kPhaseProgress) ++asked;
    return done < 90;
  });
  link.options.cancel_check = 1;
  EXPECT_EQ(SendWake(&link), -40);
  EXPECT_EQ(asked, 6);  // packets 0, 18, ..., 90
  EXPECT_EQ(line->Written(), std::string(90, '\r'));
  EXPECT_TRUE(Logged("SendWake canceled by user after sending 90 of 909 packets"));
  SetLoggerProgressHook(nullptr);

  // Without the hook the sequence is 909 packets, 55 ms apart.
  link.options.cancel_check = 0;
  line->ClearWritten();
  const uint64_t start = Now();
  EXPECT_EQ(SendWake(&link), 1);
  EXPECT_EQ(Now() - start, 909u * 55);
  EXPECT_EQ(line->Written(), std::string(909, '\r'));
  EXPECT_TRUE(Logged("SendWake sent 909 packets"));
}

TEST(DeviceNameRule, RefusalsByRule) {
  struct Case {
    const char* name;
    int32_t result;
  };
  const Case cases[] = {
      {"", -53},       {"NINECHARS", -54}, {"login", -52},  {"OK", -52},        {"Login", 1},
      {"a:b", -51},    {"a,b", -51},       {"a b", -50},    {"tab\there", -50}, {"del\x7f", -50},
      {"hi\xff", -50}, {"caf\xe9", -56},   {"LOGGER_1", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckDeviceName(c.name), c.result) << c.name;
  EXPECT_EQ(CheckDeviceName(nullptr), -53);
}

}  // namespace
}  // namespace halv
