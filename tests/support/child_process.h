// Programs a test starts and ends: the device simulator on its
// pseudo-terminal, the command-line updater against it.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace halv::test {

// A program started by the test, ended by its own process id.
struct Child {
  pid_t pid = -1;
  int stdout_fd = -1;
};

// Starts args[0] with the arguments after it and its output on a pipe; with a
// data_home the program keeps its files there (XDG_DATA_HOME).
inline Child Spawn(const std::vector<std::string>& args, const std::string& data_home = {}) {
  int out[2];
  if (args.empty() || pipe(out) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    if (!data_home.empty()) setenv("XDG_DATA_HOME", data_home.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  return {pid, out[0]};
}

// The exit status, or -1 when the program did not end normally.
inline int WaitStatus(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// One line of a program's output, without its line feed.
inline std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// One simulator run: started with its arguments, the terminal's path read
// from its first line, stopped with SIGTERM (the dump is written then).
class SimulatorRun {
 public:
  SimulatorRun(const char* program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    child_ = Spawn(args);
    if (child_.pid > 0) path_ = ReadLine(child_.stdout_fd);
  }
  ~SimulatorRun() { Stop(); }
  SimulatorRun(const SimulatorRun&) = delete;
  SimulatorRun& operator=(const SimulatorRun&) = delete;

  const std::string& Path() const { return path_; }

  // The exit status, or -1 when it did not end normally.
  int Stop() {
    if (child_.pid <= 0) return status_;
    kill(child_.pid, SIGTERM);
    status_ = WaitStatus(child_.pid);
    close(child_.stdout_fd);
    child_ = {};
    return status_;
  }

 private:
  Child child_;
  std::string path_;
  int status_ = -1;
};

}  // namespace halv::test
