#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bsl/host_bsl.h"
#include "support/virtual_line.h"

namespace halv {
namespace {

class BslCommandTest : public test::VirtualLineTest {
 protected:
  BslCommandTest() : host(&log) {
    EXPECT_EQ(DSOpen(&host.channel, "COM3", 9600), 1);
    host.connected = 1;
    host.retries = 3;
  }

  int32_t Text(char letter, const std::string& payload, char terminator = '\r') {
    return BSLCommand(&host, letter, payload.empty() ? nullptr : payload.data(),
                      static_cast<uint32_t>(payload.size()), terminator, reply, &elapsed);
  }

  HostBSL host;
  char reply[kBslReplyBufferMin] = {};
  uint32_t elapsed = 0;
};

std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

TEST_F(BslCommandTest, FramesAreByteExact) {
  line->Expect("g.0095\r").Reply("+7+\r");
  EXPECT_EQ(Text('g', ""), 4);
  line->Expect("@8000.0136\r").Reply("+\r");
  EXPECT_EQ(Text('@', "8000"), 2);
  line->Expect("@08000.0166\r").Reply("+\r");
  EXPECT_EQ(Text('@', "08000"), 2);
  const uint32_t segment = 0x1000;
  line->Expect("X1000.0147\r").Reply("+\r");
  EXPECT_EQ(BSLCommand(&host, 'X', &segment, 1, '\r', reply, &elapsed, false), 2);
  EXPECT_TRUE(line->Finished());
  EXPECT_EQ(Hex(line->Written()),
            "67 2E 30 30 39 35 0D "
            "40 38 30 30 30 2E 30 31 33 36 0D "
            "40 30 38 30 30 30 2E 30 31 36 36 0D "
            "58 31 30 30 30 2E 30 31 34 37 0D");
}

TEST(BslChecksum, IsTakenModulo65535) {
  // 935 "F" and one apostrophe: 46 + 65450 + 39 = 65535.
  std::string bytes(935, 'F');
  bytes += '\'';
  EXPECT_EQ(BslChecksum(bytes.data(), static_cast<uint32_t>(bytes.size())), 0u);
  bytes += '\x01';
  EXPECT_EQ(BslChecksum(bytes.data(), static_cast<uint32_t>(bytes.size())), 1u);
  // Bytes from 0x80 up count as negative.
  const char high[] = {'g', static_cast<char>(0xFF)};
  EXPECT_EQ(BslChecksum(high, 2), 0x95u - 1);
}

TEST_F(BslCommandTest, NumberFormDigits) {
  const uint32_t values[] = {0xFFE0, 0x1, 0x12345};
  // Only the payload is checked here; nobody answers.
  BSLCommand(&host, 'V', values, 3, '+', reply, &elapsed, true);
  EXPECT_EQ(line->Written().substr(0, 17), "V0FFE00000112345.");
  line->ClearWritten();
  BSLCommand(&host, 'V', values, 3, '+', reply, &elapsed, false);
  EXPECT_EQ(line->Written().substr(0, 14), "VFFE0000112345");
}

TEST_F(BslCommandTest, RepliesAreJudgedOnTheirFirstTwoCharacters) {
  struct Case {
    std::string reply;
    int32_t result;
  };
  const std::vector<Case> cases = {
      {"+\r", 2},  {"x+", 2},   {"-+", 2},     {"+", 1},  // "+" alone: read once the wait ran out
      {"-\r", -1}, {"?\r", -1}, {"abc\r", -1}, {"", -21},
  };
  for (const Case& c : cases) {
    line->Expect("g.0095\r");
    if (!c.reply.empty()) line->Reply(c.reply);
    EXPECT_EQ(Text('g', ""), c.result) << c.reply;
  }
  EXPECT_TRUE(line->Finished());
}

TEST_F(BslCommandTest, VectorsReplyEndsWithPlus) {
  const uint32_t vectors[kVectorCount] = {};
  line->Expect("V" + std::string(64, '0') + ".0C84\r").Reply("+");
  const uint64_t start = Now();
  EXPECT_EQ(BSLCommand(&host, 'V', vectors, kVectorCount, '+', reply, &elapsed, false), 1);
  EXPECT_LT(Now() - start, 100u);
  EXPECT_TRUE(line->Finished());
}

TEST_F(BslCommandTest, OversizeRequestsTouchNothing) {
  std::vector<uint32_t> values(129, 0);
  EXPECT_EQ(BSLCommand(&host, 'V', values.data(), 129, '+', reply, &elapsed, false), -11);
  EXPECT_EQ(Text('W', std::string(513, '0')), -11);
  // 128 five-digit values would not fit the frame buffer.
  EXPECT_EQ(BSLCommand(&host, 'W', values.data(), 128, '\r', reply, &elapsed, true), -11);
  EXPECT_EQ(BSLCommand(&host, 'W', values.data(), 128, '\r', reply, &elapsed, false), -21);
  EXPECT_EQ(line->Written().size(), 1u + 512 + 6);
}

TEST_F(BslCommandTest, MissingArguments) {
  EXPECT_EQ(Text('@', ""), -10);
  EXPECT_EQ(BSLCommand(&host, 'g', nullptr, 0, '\r', nullptr, &elapsed), -10);
  host.connected = 0;
  EXPECT_EQ(Text('g', ""), -21);
  EXPECT_TRUE(line->Written().empty());
}

TEST_F(BslCommandTest, LongOrBinaryRepliesAreReadSafely) {
  line->Expect("g.0095\r").Reply(std::string(3000, '+') + "\r");
  EXPECT_EQ(Text('g', ""), 20);
  EXPECT_EQ(strlen(reply), 20u);
  std::string garbage;
  for (int i = 0; i < 600; ++i) garbage += static_cast<char>(i * 37);
  line->Expect("g.0095\r").Reply(garbage);
  EXPECT_LT(Text('g', ""), 21);
}

TEST_F(BslCommandTest, FailedStepsAreLoggedWithTheirCode) {
  line->FailWrite(-21);
  EXPECT_EQ(Text('g', ""), -21);
  EXPECT_TRUE(Logged("HalvBSL: BSLCommand got unexpected response (-21) from DCommWrite"));
  line->Expect("g.0095\r").FailRead(-21);
  EXPECT_EQ(Text('g', ""), -21);
  EXPECT_TRUE(Logged("BSLCommand got unexpected response (-21) from DCommWait"));
}

TEST_F(BslCommandTest, ElapsedTimeCoversTheExchange) {
  line->Expect("g.0095\r").Reply("+7+\r", 40);
  EXPECT_EQ(Text('g', ""), 4);
  EXPECT_EQ(elapsed, 40u);
}

}  // namespace
}  // namespace halv
