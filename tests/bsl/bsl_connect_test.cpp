#include <gtest/gtest.h>

#include <string>

#include "bsl/host_bsl.h"
#include "support/virtual_line.h"

namespace halv {
namespace {

constexpr const char* kStart = "boot ZIBW\r";
constexpr const char* kVersionFrame = "g.0095\r";

class BslConnectTest : public test::VirtualLineTest {
 protected:
  BslConnectTest() : host(&log) {}
  HostBSL host;
};

TEST_F(BslConnectTest, ConnectStartsAttachesAndReadsTheVersion) {
  line->Expect(kStart).Reply("OK\r", 20);
  line->Expect("\r").Reply("$", 5);
  line->Expect("P").Reply("#", 5);
  line->Expect(kVersionFrame).Reply("+7+\r", 5);
  const uint64_t start = Now();
  EXPECT_EQ(BSLConnect(&host, "COM3", 9600, true, 3), 7);
  EXPECT_EQ(host.loader_version, 7u);
  EXPECT_TRUE(host.connected);
  EXPECT_TRUE(line->Finished());
  // 1000 ms after opening, 750 after the start request, 100 after the probe
  // and 100 after the attach, then the version frame's 5 ms.
  EXPECT_EQ(Now() - start, 1000u + 750 + 100 + 100 + 5);
  EXPECT_TRUE(Logged("HalvBSL: BSLInvocation successful (1 tries)"));
  EXPECT_TRUE(Logged("HalvBSL: BSLConnect connected to device running HalvBSL version 7"));
}

TEST_F(BslConnectTest, LoaderBaudIsTakenAfterTheStartRequest) {
  line->Expect(kStart).Reply("$\r");
  line->Expect("\r").Reply("$");
  line->Expect("P").Reply("#");
  line->Expect(kVersionFrame).Reply("+12+\r");
  EXPECT_EQ(BSLConnect(&host, "COM3", 38400, false, 3), 12);
  EXPECT_EQ(line->Baud(), 38400u);
}

TEST_F(BslConnectTest, EmptyPortNameOpensNothing) {
  EXPECT_EQ(BSLConnect(&host, "", 9600, false, 3), -10);
  EXPECT_EQ(BSLConnect(&host, nullptr, 9600, false, 3), -10);
  EXPECT_EQ(line->OpenCount(), 0);
}

TEST_F(BslConnectTest, MissingLoaderFailsAfterOneRequestAndClosesThePort) {
  line->Expect(kStart).Reply("HalvBSL MISSING\r");
  // The check that follows a failed invocation probes once.
  line->Expect("\r");
  EXPECT_EQ(BSLConnect(&host, "COM3", 9600, false, 3), -112);
  EXPECT_EQ(line->Written(), std::string(kStart) + "\r");
  EXPECT_FALSE(line->IsOpen());
  EXPECT_FALSE(host.connected);
  EXPECT_TRUE(Logged("BSLInvocation failed with error -112"));
  EXPECT_TRUE(Logged("BSLConnect failed to connect to device (error -112)"));
}

TEST_F(BslConnectTest, ActiveLoaderGoesStraightToTheVersion) {
  line->Expect(kStart).Reply("?\r");
  line->Expect(kVersionFrame).Reply("+7+\r");
  EXPECT_EQ(BSLConnect(&host, "COM3", 9600, false, 3), 7);
  EXPECT_TRUE(line->Finished());
  EXPECT_TRUE(Logged("BSLInvocation found the HalvBSL already active"));
}

TEST_F(BslConnectTest, SilentDeviceRetriesThenFails) {
  EXPECT_EQ(BSLConnect(&host, "COM3", 9600, false, 2), -112);
  // Two start requests, then the check's probe.
  EXPECT_EQ(line->Written(), std::string(kStart) + kStart + "\r");
  EXPECT_FALSE(line->IsOpen());
}

TEST_F(BslConnectTest, RefusedStartRequestIsTriedAgain) {
  line->Expect(kStart).Reply("ERROR\r");
  line->Expect(kStart).Reply("OK\r");
  line->Expect("\r").Reply("$");
  line->Expect("P").Reply("#");
  line->Expect(kVersionFrame).Reply("+3+\r");
  EXPECT_EQ(BSLConnect(&host, "COM3", 9600, false, 3), 3);
}

TEST_F(BslConnectTest, VersionReplyWithoutANumberIsNoConnection) {
  for (int i = 0; i < 2; ++i) {
    line->Expect(kStart).Reply("?\r");
    line->Expect(kVersionFrame).Reply("+\r");
  }
  EXPECT_EQ(BSLConnect(&host, "COM3", 9600, false, 2), -1);
  EXPECT_FALSE(line->IsOpen());
}

TEST_F(BslConnectTest, OpenErrorIsPassedUp) {
  line->SetOpenError(-5);
  EXPECT_EQ(BSLConnect(&host, "COM3", 9600, false, 3), -5);
  EXPECT_TRUE(Logged("BSLConnect received error while opening serial port (-5)"));
}

TEST_F(BslConnectTest, CheckTellsTheLoaderState) {
  struct Case {
    std::string reply;
    int32_t result;
  };
  for (const Case& c : {Case{"?\r", -80}, Case{"$", -81}, Case{"", -21}, Case{"junk", -21}}) {
    line->Expect("\r");
    if (!c.reply.empty()) line->Reply(c.reply);
    EXPECT_EQ(BSLCheck(&host, "COM3", 9600), c.result) << c.reply;
    EXPECT_TRUE(host.connected);
  }
  EXPECT_EQ(line->OpenCount(), 1);  // opened once, then reused
  EXPECT_TRUE(Logged("BSLCheck found the HalvBSL already active"));
  EXPECT_TRUE(Logged("BSLCheck found the HalvBSL waiting for a connection"));
  EXPECT_TRUE(Logged("BSLCheck didn't get a response from the HalvBSL"));
}

TEST_F(BslConnectTest, AttachToAStartedLoader) {
  DSOpen(&host.channel, "COM3", 9600);
  host.connected = 1;
  host.retries = 3;
  line->Expect("\r").Reply("$");
  line->Expect("P").Reply("x");
  line->Expect("\r").Reply("$");
  line->Expect("P").Reply("#");
  const uint64_t start = Now();
  EXPECT_EQ(BSLAttach(&host), 1);
  EXPECT_EQ(Now() - start, 200u + 175 + 175 + 200 + 175);
  EXPECT_TRUE(Logged("BSLAttach successful (2 tries)"));

  line->Expect("\r").Reply("?\r");
  EXPECT_EQ(BSLAttach(&host), 1);
  EXPECT_TRUE(Logged("BSLAttach found the HalvBSL already active"));
}

TEST_F(BslConnectTest, AttachWithoutTriesSendsNothing) {
  DSOpen(&host.channel, "COM3", 9600);
  host.connected = 1;
  host.retries = 0;
  EXPECT_EQ(BSLAttach(&host), -22);
  EXPECT_TRUE(line->Written().empty());
}

TEST_F(BslConnectTest, HandOffBorrowsAndHandBackReturnsThePort) {
  SerialChannel lender;
  ASSERT_EQ(DSOpen(&lender, "COM7", 9600), 1);
  EXPECT_EQ(BSLHandOff(&host, lender.port, nullptr, "COM7", false, 0), -11);
  EXPECT_EQ(BSLHandOff(&host, lender.port, lender.receive_buffer, "", false, 0), -11);
  EXPECT_TRUE(Logged("BSLHandOff called with some NULL parameters"));

  EXPECT_EQ(BSLHandOff(&host, lender.port, lender.receive_buffer, "COM7", true, 0), 1);
  EXPECT_EQ(host.retries, 3u);
  EXPECT_EQ(host.channel.baud, 9600u);
  line->Expect(kVersionFrame).Reply("+5+\r");
  char reply[kBslReplyBufferMin];
  uint32_t elapsed = 0;
  EXPECT_EQ(BSLCommand(&host, 'g', nullptr, 0, '\r', reply, &elapsed), 4);
  EXPECT_EQ(BSLHandBack(&host), 1);
  EXPECT_FALSE(host.connected);
  EXPECT_TRUE(line->IsOpen());
  EXPECT_EQ(BSLDisconnect(&host), 0);
  EXPECT_TRUE(line->IsOpen());
  DSClose(&lender);
}

TEST_F(BslConnectTest, DisconnectOfABorrowedPortLeavesItOpen) {
  SerialChannel lender;
  ASSERT_EQ(DSOpen(&lender, "COM7", 9600), 1);
  {
    HostBSL borrower(&log);
    BSLHandOff(&borrower, lender.port, lender.receive_buffer, "COM7", false, 3);
  }  // destroyed without a hand-back
  EXPECT_TRUE(line->IsOpen());
  EXPECT_NE(lender.receive_buffer, nullptr);
  DSClose(&lender);
}

TEST_F(BslConnectTest, DisconnectClosesAndWaits) {
  line->Expect(kStart).Reply("?\r");
  line->Expect(kVersionFrame).Reply("+7+\r");
  ASSERT_EQ(BSLConnect(&host, "COM3", 9600, false, 3), 7);
  const uint64_t start = Now();
  EXPECT_EQ(BSLDisconnect(&host), 1);
  EXPECT_EQ(Now() - start, 100u);
  EXPECT_FALSE(line->IsOpen());
  EXPECT_EQ(BSLDisconnect(&host), 0);
}

}  // namespace
}  // namespace halv
