// The command-line updater against the device simulator over a real
// pseudo-terminal: the serial path as a user's run takes it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

// A program started by the test, ended by its own process id.
struct Child {
  pid_t pid = -1;
  int stdout_fd = -1;
};

Child Spawn(const std::vector<std::string>& args, const std::string& data_home) {
  int out[2];
  if (pipe(out) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    setenv("XDG_DATA_HOME", data_home.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  return {pid, out[0]};
}

int WaitStatus(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The simulator's first line of output names its pseudo-terminal.
std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

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
