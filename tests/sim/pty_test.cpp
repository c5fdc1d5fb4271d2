// The loader host against halvsim over a pseudo-terminal: the real serial
// path, in real time (kept to a few exchanges).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bsl/host_bsl.h"
#include "serial/serial_channel.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

// halvsim with the arguments given, on its pseudo-terminal.
class Halvsim : public test::SimulatorRun {
 public:
  explicit Halvsim(std::vector<std::string> args) : SimulatorRun(HALVSIM_PATH, std::move(args)) {}
};

TEST(HalvsimPty, ConnectReadsTheLoaderVersion) {
  Halvsim sim({});
  ASSERT_FALSE(sim.Path().empty());
  HostBSL host(nullptr);
  EXPECT_EQ(BSLConnect(&host, sim.Path().c_str(), 9600, false, 3), 7);
  EXPECT_EQ(host.loader_version, 7u);
}

TEST(HalvsimPty, CheckSeesBothLoaderStates) {
  struct Case {
    const char* state;
    int32_t result;
  };
  for (const Case c : {Case{"loader", -81}, Case{"attached", -80}}) {
    Halvsim sim({"--state", c.state});
    HostBSL host(nullptr);
    EXPECT_EQ(BSLCheck(&host, sim.Path().c_str(), 9600), c.result) << c.state;
  }
}

TEST(HalvsimPty, MissingLoaderGivesMinus112AndFreesThePort) {
  Halvsim sim({"--no-loader"});
  HostBSL host(nullptr);
  EXPECT_EQ(BSLConnect(&host, sim.Path().c_str(), 9600, false, 3), -112);
  EXPECT_FALSE(host.connected);
  EXPECT_EQ(host.channel.port, nullptr);
  // Nothing holds the terminal any more: another opener gets it.
  SerialChannel channel;
  EXPECT_EQ(DSOpen(&channel, sim.Path().c_str(), 9600), 1);
  DSClose(&channel);
}

TEST(HalvsimPty, LinkTranscriptAndDumpOfARun) {
  test::TempDir dir;
  const std::string link = dir.File("ttySIM");
  const std::string transcript = dir.File("run.jsonl");
  const std::string dump = dir.File("dump.txt");
  Halvsim sim({"--link", link, "--transcript", transcript, "--dump", dump, "--sn", "PM-1"});
  SerialChannel channel;
  ASSERT_EQ(DSOpen(&channel, link.c_str(), 9600), 1);
  ASSERT_GT(DSWriteText(&channel, "get -ver\r"), 0);
  EXPECT_EQ(DSWait(&channel, 1000, '>'), '>');
  char reply[64] = {};
  uint32_t count = 0;
  DSRead(&channel, reply, sizeof reply - 1, &count);
  EXPECT_STREQ(reply, "\r\nPUMATIC 1.05\r\n>");
  DSClose(&channel);

  EXPECT_EQ(sim.Stop(), 0);
  struct stat st {};
  EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link goes with the run
  EXPECT_NE(test::ReadWholeFile(transcript).find("\"text\":\"get -ver\\r\""), std::string::npos);
  EXPECT_NE(test::ReadWholeFile(dump).find("setting sn: \"PM-1\""), std::string::npos);
}

// Reads one answer ending in end, or "" when the line failed.
std::string Exchange(SerialChannel* channel, const char* text, char end) {
  if (DSWriteText(channel, text) < 0 || DSWait(channel, 1000, end) <= 0) return "";
  char reply[64] = {};
  uint32_t count = 0;
  if (DSRead(channel, reply, sizeof reply - 1, &count) < 0) return "";
  return reply;
}

TEST(HalvsimPty, PulledLineComesBackAsANewTerminalWithTheSameDevice) {
  test::TempDir dir;
  const std::string link = dir.File("ttySIM");
  Halvsim sim({"--state", "attached", "--unplug-after", "1", "--replug-ms", "300", "--link", link});
  SerialChannel channel;
  ASSERT_EQ(DSOpen(&channel, link.c_str(), 9600), 1);
  EXPECT_EQ(Exchange(&channel, "g.0095\r", '\r'), "+7+\r");
  EXPECT_EQ(Exchange(&channel, "\r", '\r'), "");  // the line is gone
  DSClose(&channel);
  struct stat st {};
  for (int i = 0; i < 40 && lstat(link.c_str(), &st) != 0; ++i) usleep(50000);
  ASSERT_EQ(DSOpen(&channel, link.c_str(), 9600), 1);
  EXPECT_EQ(Exchange(&channel, "\r", '\r'), "?\r");  // still attached
  DSClose(&channel);
}

TEST(HalvsimPty, HelpAndBadOptions) {
  for (const auto& [option, status] :
       {std::pair<std::string, int>{"--help", 0}, {"--kind nosuch", 2}, {"--frobnicate", 2}}) {
    const std::string command = std::string(HALVSIM_PATH) + " " + option + " 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char first[128] = {};
    const bool got = fgets(first, sizeof first, p) != nullptr;
    const int rc = pclose(p);
    EXPECT_EQ(WEXITSTATUS(rc), status) << option;
    if (status == 0) {
      EXPECT_TRUE(got);
      EXPECT_EQ(std::string(first).rfind("usage: halvsim", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace halv
