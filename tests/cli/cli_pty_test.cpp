// The command-line updater against the device simulator over a real
// pseudo-terminal: the serial path as a user's run takes it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using halv::test::Child;
using halv::test::ReadLine;
using halv::test::Spawn;
using halv::test::WaitStatus;

class CliPtyTest : public ::testing::Test {
 protected:
  // Starts halvsim, runs one update with the arguments given, stops the
  // simulator and returns the updater's exit status; the memory dump is
  // left in `dump`.
  int RunAgainstSimulator(const std::vector<std::string>& sim_faults,
                          const std::vector<std::string>& cli_extra) {
    const std::string dump_path = dir.File("dump.txt");
    std::vector<std::string> sim_args = {HALVSIM_PATH, "--kind", "pumatic", "--dump", dump_path};
    sim_args.insert(sim_args.end(), sim_faults.begin(), sim_faults.end());
    Child sim = Spawn(sim_args, dir.Path().string());
    EXPECT_GT(sim.pid, 0);
    const std::string pty = ReadLine(sim.stdout_fd);
    EXPECT_FALSE(pty.empty());

    std::vector<std::string> cli_args = {HALVBSL_CLI_PATH, "update", "--port",           pty,
                                         "--yes",          "--log",  dir.File("cli.log")};
    cli_args.insert(cli_args.end(), cli_extra.begin(), cli_extra.end());
    Child cli = Spawn(cli_args, dir.Path().string());
    const int status = WaitStatus(cli.pid);
    close(cli.stdout_fd);

    kill(sim.pid, SIGTERM);
    EXPECT_EQ(WaitStatus(sim.pid), 0);
    close(sim.stdout_fd);
    dump = halv::test::ReadWholeFile(dump_path);
    return status;
  }

  halv::test::TempDir dir;
  std::string dump;
};

TEST_F(CliPtyTest, UpdatesTheSimulatedPumatic) {
  EXPECT_EQ(RunAgainstSimulator({}, {}), 0) << halv::test::ReadWholeFile(dir.File("cli.log"));
  EXPECT_NE(dump.find("version: PUMATIC 1.06"), std::string::npos) << dump;
  EXPECT_NE(dump.find("post: Code Good!"), std::string::npos) << dump;
}

TEST_F(CliPtyTest, DeviceWithoutLoaderEndsWithTheLoaderStatus) {
  EXPECT_EQ(RunAgainstSimulator({"--no-loader"}, {}), 6);
  EXPECT_NE(dump.find("version: PUMATIC 1.05"), std::string::npos) << dump;
}

}  // namespace
