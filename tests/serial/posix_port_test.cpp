// The POSIX backend over a real pseudo-terminal pair.
#include "serial/posix_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "serial/clock.h"
#include "serial/serial_channel.h"

namespace halv {
namespace {

class PtyTest : public ::testing::Test {
 protected:
  PtyTest() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    EXPECT_EQ(openpty(&master, &slave, name, &raw, nullptr), 0);
    path = name;
    // The test keeps the slave open only through the channel under test.
    close(slave);
    slave = -1;
  }
  ~PtyTest() override {
    DSClose(&channel);
    if (master >= 0) close(master);
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  int master = -1;
  int slave = -1;
  std::string path;
  SerialChannel channel;
};

TEST(PosixDevicePath, NamesAndPaths) {
  EXPECT_EQ(PosixDevicePath("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(PosixDevicePath("/dev/pts/4"), "/dev/pts/4");
}

TEST(PosixOpenError, MapsToThePortCodes) {
  EXPECT_EQ(PosixOpenError(ENOENT), -2);
  EXPECT_EQ(PosixOpenError(ENODEV), -2);
  EXPECT_EQ(PosixOpenError(ENXIO), -2);
  EXPECT_EQ(PosixOpenError(EBUSY), -5);
  EXPECT_EQ(PosixOpenError(EACCES), -13);
  EXPECT_EQ(PosixOpenError(EIO), -2);
  EXPECT_EQ(PosixOpenError(EINVAL), -EINVAL);
}

TEST_F(PtyTest, ReplyInTwoPiecesIsCollected) {
  ASSERT_EQ(DSOpen(&channel, path.c_str(), 9600), 1);
  std::thread device([this] {
    Send("abc");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    Send("\r>");
  });
  EXPECT_EQ(DSWait(&channel, 1000, '>'), '>');
  device.join();
  char out[16];
  uint32_t n = 0;
  EXPECT_EQ(DSRead(&channel, out, sizeof out, &n), 5);
  EXPECT_EQ(std::string(out, n), "abc\r>");
}

TEST_F(PtyTest, WritesReachTheOtherEnd) {
  ASSERT_EQ(DSOpen(&channel, path.c_str(), 115200), 1);
  uint32_t n = 0;
  EXPECT_EQ(DSWrite(&channel, "P", 1, &n), 1);
  char c = 0;
  EXPECT_EQ(read(master, &c, 1), 1);
  EXPECT_EQ(c, 'P');
}

TEST_F(PtyTest, SilentLineReturnsZeroAfterTheTimeout) {
  ASSERT_EQ(DSOpen(&channel, path.c_str(), 9600), 1);
  const uint32_t start = MsTick();
  EXPECT_EQ(DSWait(&channel, 300, '>'), 0);
  const uint32_t elapsed = MsTick() - start;
  EXPECT_GT(elapsed, 300u);
  EXPECT_LT(elapsed, 2000u);
}

TEST_F(PtyTest, SecondOpenIsRefusedAsBusy) {
  ASSERT_EQ(DSOpen(&channel, path.c_str(), 9600), 1);
  SerialChannel second;
  EXPECT_EQ(DSOpen(&second, path.c_str(), 9600), -5);
  DSClose(&second);
  DSClose(&channel);
  EXPECT_EQ(DSOpen(&second, path.c_str(), 9600), 1);
  DSClose(&second);
}

TEST_F(PtyTest, ClosingTheOtherEndGivesMinus21) {
  ASSERT_EQ(DSOpen(&channel, path.c_str(), 9600), 1);
  close(master);
  master = -1;
  EXPECT_EQ(DSWait(&channel, 5000, '>'), -21);
  char out[4];
  uint32_t n = 0;
  EXPECT_EQ(DSRead(&channel, out, sizeof out, &n), -21);
}

TEST(PosixPort, MissingDeviceIsMinus2) {
  SerialChannel channel;
  EXPECT_EQ(DSOpen(&channel, "/dev/halv-no-such-port", 9600), -2);
  EXPECT_EQ(DSOpen(&channel, "ttyHALVNONE", 9600), -2);
}

TEST(PosixPort, NonTerminalIsRefused) {
  SerialChannel channel;
  EXPECT_LT(DSOpen(&channel, "/dev/null", 9600), 0);
  DSClose(&channel);
}

}  // namespace
}  // namespace halv
