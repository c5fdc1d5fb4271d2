// The command line of the digital-sensor build against halvsim's Handix
// reader with a sensor behind it, over a real pseudo-terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using halv::test::Child;
using halv::test::ReadLine;
using halv::test::Spawn;
using halv::test::WaitStatus;

class CliSensorPtyTest : public ::testing::Test {
 protected:
  // One update of the named sensor; the sensor's dump is left in `dump`.
  int Update(const char* sensor, const std::vector<std::string>& cli_extra = {}) {
    const std::string dump_path = dir.File("dump.txt");
    Child sim = Spawn({HALVSIM_PATH, "--sensor", sensor, "--dump", dump_path}, dir.Path().string());
    EXPECT_GT(sim.pid, 0);
    const std::string pty = ReadLine(sim.stdout_fd);
    EXPECT_FALSE(pty.empty());
    std::vector<std::string> args = {HALVBSL_CLI_PATH, "update", "--port",           pty,
                                     "--yes",          "--log",  dir.File("cli.log")};
    args.insert(args.end(), cli_extra.begin(), cli_extra.end());
    Child cli = Spawn(args, dir.Path().string());
    char block[4096];
    ssize_t n = 0;
    while ((n = read(cli.stdout_fd, block, sizeof block)) > 0) output.append(block, n);
    const int status = WaitStatus(cli.pid);
    close(cli.stdout_fd);
    kill(sim.pid, SIGTERM);
    EXPECT_EQ(WaitStatus(sim.pid), 0);
    close(sim.stdout_fd);
    dump = halv::test::ReadWholeFile(dump_path);
    return status;
  }
  bool Dumped(const std::string& text) const { return dump.find(text) != std::string::npos; }

  halv::test::TempDir dir;
  std::string dump;
  std::string output;  // what the updater printed
};

TEST_F(CliSensorPtyTest, UpdatesTheSensorThroughTheReader) {
  EXPECT_EQ(Update("celva-b-104"), 0) << halv::test::ReadWholeFile(dir.File("cli.log"));
  EXPECT_TRUE(Dumped("version: CELVA 1.06")) << dump;
  EXPECT_TRUE(Dumped("post: Code Good!")) << dump;
  EXPECT_TRUE(Dumped("setting address: \"5\"")) << dump;
  EXPECT_TRUE(Dumped("setting sn: \"CB-2104\"")) << dump;
  EXPECT_TRUE(Dumped("setting type: \"]\"")) << dump;
  // The device the run named: the build's sensor type.
  EXPECT_NE(output.find("Connecting to Celva B Sensor Suite..."), std::string::npos) << output;
}

// A sensor without a loader (its type questions answered by --yes) ends with
// the loader's status and its firmware untouched.
TEST_F(CliSensorPtyTest, SensorWithoutLoader) {
  EXPECT_EQ(Update("pluvo", {"--factory", "--sensor-type", "94"}), 6);
  EXPECT_TRUE(Dumped("version: SDI 3.00")) << dump;
  EXPECT_TRUE(Dumped("frames: 0")) << dump;
}

}  // namespace
