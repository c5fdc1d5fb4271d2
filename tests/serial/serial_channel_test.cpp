#include "serial/serial_channel.h"

#include <gtest/gtest.h>

#include "support/virtual_line.h"

namespace halv {
namespace {

class SerialChannelTest : public test::VirtualLineTest {
 protected:
  SerialChannelTest() { channel.log = &log; }
  ~SerialChannelTest() override { DSClose(&channel); }

  void Open() { ASSERT_EQ(DSOpen(&channel, "COM3", 9600), 1); }

  SerialChannel channel;
};

TEST_F(SerialChannelTest, OpenWithBaudZeroConfigures9600) {
  EXPECT_EQ(DSOpen(&channel, "COM3", 0), 1);
  EXPECT_EQ(channel.baud, 9600u);
  EXPECT_EQ(line->Baud(), 9600u);
  EXPECT_TRUE(line->Dtr());
  EXPECT_EQ(channel.port_name, "COM3");
  EXPECT_TRUE(channel.owns_buffer);
  EXPECT_TRUE(
      Logged(" - COM3: DSOpen successfully opened and configured comm port at 9600 baud\r\n"));
}

TEST_F(SerialChannelTest, OpenOnOpenChannelClosesWaitsAndReopens) {
  Open();
  const uint64_t before = Now();
  EXPECT_EQ(DSOpen(&channel, "COM4", 19200), 1);
  EXPECT_EQ(Now() - before, 100u);
  EXPECT_EQ(line->OpenCount(), 2);
  EXPECT_EQ(line->CloseCount(), 1);
  EXPECT_TRUE(Logged("HalvSerial: DSOpen found port \"3\" already open"));
  EXPECT_TRUE(Logged("COM3: DSClose closed comm port"));
  EXPECT_EQ(line->Baud(), 19200u);
}

TEST_F(SerialChannelTest, PortNameIsCutAt64Characters) {
  const std::string name(200, 'p');
  Open();
  DSClose(&channel);
  EXPECT_EQ(DSOpen(&channel, name.c_str(), 9600), 1);
  EXPECT_EQ(channel.port_name.view(), name.substr(0, 64));
}

TEST_F(SerialChannelTest, OpenFailuresReturnTheBackendCode) {
  for (int32_t code : {-2, -5, -13, -19}) {
    line->SetOpenError(code);
    EXPECT_EQ(DSOpen(&channel, "ttyUSB0", 9600), code);
    EXPECT_EQ(channel.port, nullptr);
    EXPECT_TRUE(
        Logged("ttyUSB0: DSOpen failed to open comm port (error " + std::to_string(-code) + ")"));
  }
}

TEST_F(SerialChannelTest, WaitCollectsPiecesAndReadHandsThemOver) {
  Open();
  line->Reply("abc\r", 10).Reply(">", 50);
  const uint64_t start = Now();
  EXPECT_EQ(DSWait(&channel, 1000, '>'), '>');
  EXPECT_EQ(Now() - start, 60u);
  EXPECT_TRUE(channel.pending);
  const int reads = line->ReadCount();
  char out[10];
  uint32_t n = 0;
  EXPECT_EQ(DSRead(&channel, out, sizeof out, &n), 5);
  EXPECT_EQ(std::string(out, n), "abc\r>");
  EXPECT_EQ(line->ReadCount(), reads);  // handed over from the buffer
  EXPECT_FALSE(channel.pending);
  EXPECT_TRUE(Logged("DSWait found '>' in 60 ms"));
  EXPECT_TRUE(Logged("DSRead read 5 bytes from gReadBuffer"));
}

TEST_F(SerialChannelTest, ShortReadTakesCapacityAndDropsTheRest) {
  Open();
  line->Reply("abcdef");
  ASSERT_EQ(DSWait(&channel, 1000, 'f'), 'f');
  char out[3];
  uint32_t n = 0;
  EXPECT_EQ(DSRead(&channel, out, 3, &n), 3);
  EXPECT_EQ(std::string(out, n), "abc");
  const int reads = line->ReadCount();
  line->Reply("xy");
  EXPECT_EQ(DSRead(&channel, out, 3, &n), 2);
  EXPECT_EQ(std::string(out, n), "xy");
  EXPECT_EQ(line->ReadCount(), reads + 1);
}

TEST_F(SerialChannelTest, SilentLineTimesOutJustAfterTheTimeout) {
  Open();
  struct Case {
    uint32_t timeout;
    uint64_t elapsed;
  };
  // Each empty read waits 100 ms; from the sixth empty read on, waits above
  // 400 ms also pause 200 ms between reads.
  for (const Case& c : {Case{300, 400}, Case{400, 500}, Case{1000, 1200}, Case{2000, 2100}}) {
    const uint64_t start = Now();
    EXPECT_EQ(DSWait(&channel, c.timeout, '>'), 0) << c.timeout;
    EXPECT_EQ(Now() - start, c.elapsed) << c.timeout;
  }
  EXPECT_TRUE(Logged("DSWait read 0 bytes, but never found '>' in 1200 ms"));
}

TEST_F(SerialChannelTest, FullBufferWithoutTheCharacterEndsTheWait) {
  Open();
  line->Reply(std::string(5000, 'x'));
  EXPECT_EQ(DSWait(&channel, 60000, '>'), 0);
  EXPECT_EQ(strlen(channel.receive_buffer), kReceiveBufferSize - 1);
  char out[4096];
  uint32_t n = 0;
  const int32_t rc = DSRead(&channel, out, sizeof out, &n);
  EXPECT_EQ(rc, static_cast<int32_t>(n));
  EXPECT_GE(n, kReceiveBufferSize - 1);
}

TEST_F(SerialChannelTest, NulBytesOfLineNoiseAreDropped) {
  Open();
  line->Reply(std::string("\0\0ok\0\r>", 7));
  ASSERT_EQ(DSWait(&channel, 1000, '>'), '>');
  char out[16];
  uint32_t n = 0;
  DSRead(&channel, out, sizeof out, &n);
  EXPECT_EQ(std::string(out, n), "ok\r>");
}

TEST_F(SerialChannelTest, PurgeEmptiesBufferAndDriverQueue) {
  Open();
  line->Reply("stale");
  DSWait(&channel, 100, 'e');
  DSPurge(&channel, 1);
  EXPECT_EQ(channel.receive_buffer[0], '\0');
  EXPECT_EQ(line->PurgeCount(), 1);
  EXPECT_TRUE(channel.pending);  // left as it was
  DSPurge(&channel, 0);
  EXPECT_EQ(line->PurgeCount(), 1);
}

TEST_F(SerialChannelTest, HostBaud) {
  EXPECT_EQ(DSHostBaud(&channel, 9600), kSerialNoPortName);
  Open();
  EXPECT_EQ(DSHostBaud(&channel, 9600), 0);
  EXPECT_EQ(DSHostBaud(&channel, 115200), 1);
  EXPECT_EQ(channel.baud, 115200u);
  EXPECT_EQ(line->Baud(), 115200u);
}

TEST_F(SerialChannelTest, ClosedChannelRefusesEverything) {
  char buffer[kReceiveBufferSize] = {};
  channel.receive_buffer = buffer;
  char out[8];
  uint32_t n = 5;
  EXPECT_EQ(DSWait(&channel, 100, '>'), -21);
  EXPECT_EQ(DSRead(&channel, out, sizeof out, &n), -21);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(DSWrite(&channel, "x", 1, &n), -21);
  EXPECT_EQ(DSClose(&channel), 0);
  EXPECT_TRUE(Logged("HalvSerial: DSWait tried to operate on a closed port"));
  EXPECT_TRUE(Logged("HalvSerial: DSRead tried to read from a closed port"));
  EXPECT_TRUE(Logged("HalvSerial: DSWrite tried to write to a closed port"));
  channel.receive_buffer = nullptr;
}

TEST_F(SerialChannelTest, PulledCableGivesMinus21) {
  Open();
  line->Reply("par").HangUp();
  EXPECT_EQ(DSWait(&channel, 5000, '>'), -21);
  EXPECT_TRUE(Logged("DSWait ReadFile failed (error 21)"));
  uint32_t n = 0;
  EXPECT_EQ(DSWrite(&channel, "x", 1, &n), -21);
}

TEST_F(SerialChannelTest, WriteReportsCountAndLogs) {
  Open();
  line->Expect("get -ver\r");
  uint32_t n = 0;
  EXPECT_EQ(DSWrite(&channel, "get -ver\r", 9, &n), 9);
  EXPECT_EQ(n, 9u);
  EXPECT_TRUE(line->Finished());
  EXPECT_TRUE(Logged("COM3: DSWrite wrote 9 bytes"));
}

TEST_F(SerialChannelTest, CloseFreesOwnedBufferOnly) {
  Open();
  EXPECT_EQ(DSClose(&channel), 1);
  EXPECT_EQ(channel.receive_buffer, nullptr);
  EXPECT_FALSE(line->Dtr());

  char mine[kReceiveBufferSize];
  channel.receive_buffer = mine;
  Open();
  EXPECT_FALSE(channel.owns_buffer);
  EXPECT_EQ(DSClose(&channel), 1);
  EXPECT_EQ(channel.receive_buffer, mine);
  channel.receive_buffer = nullptr;
}

}  // namespace
}  // namespace halv
