// A real port the user may not open: the port layer says -13 and the update
// tells the user about the dialout group. Tests run as root here, who may
// open anything, so the opening is done by a child that has given up root.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/instrument_updater.h"
#include "protocol/instrument.h"
#include "serial/posix_port.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

constexpr uid_t kNobody = 65534;
constexpr const char* kDisplayText = "ttyS7 Communications Port";

// What the child found: the open's result, then the message of a run.
struct Finding {
  std::string skipped;  // why nothing could be tried, or empty
  int32_t open_result = 0;
  std::string message;
};

// In the child: open the port, then run an update on it; everything goes to
// the pipe as text, as the child must not report to the test framework.
[[noreturn]] void TryPort(const std::string& path, bool drop_root, int out) {
  std::string report;
  if (drop_root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
    report = "skip\ncould not give up root";
  } else {
    std::unique_ptr<Port> port;
    const int32_t rc = OpenPosixPort(path.c_str(), &port);
    test::RecordingWindow window;
    DiagLog log;  // its file cannot be written by nobody; lines are lost
    CreateDiagLog(&log, "/nonexistent/run.txt", kLogError, false);
    InstrumentConnection connection(&log);
    HostBSL host(&log);
    InstrumentUpdater updater(&window, &log, &connection, &host);
    updater.settings.window_caption = "Pumatic Firmware Updater";
    updater.settings.port_name = path;
    updater.settings.port_display_text = kDisplayText;
    updater.Run();
    report = "ran\n" + std::to_string(rc) + "\n";
    if (!window.boxes.empty()) report += window.boxes[0].caption + "\n" + window.boxes[0].text;
  }
  if (write(out, report.data(), report.size()) < 0) _exit(2);
  _exit(0);
}

Finding RunInChild(const std::string& path, bool drop_root) {
  Finding f;
  int fds[2];
  if (pipe(fds) != 0) {
    f.skipped = "no pipe";
    return f;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    TryPort(path, drop_root, fds[1]);
  }
  close(fds[1]);
  std::string text;
  char block[512];
  ssize_t n;
  while ((n = read(fds[0], block, sizeof block)) > 0) text.append(block, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    f.skipped = "child failed (" + std::to_string(status) + ")";
    return f;
  }
  if (text.rfind("skip\n", 0) == 0) {
    f.skipped = text.substr(5);
    return f;
  }
  // "ran", the open's result, the caption, the message.
  const size_t first = text.find('\n');
  const size_t second = text.find('\n', first + 1);
  f.open_result = std::stoi(text.substr(first + 1, second - first - 1));
  f.message = text.substr(second + 1);
  return f;
}

TEST(PortPermission, PortWithoutPermissionGivesMinus13AndTheDialoutHint) {
  int master = -1;
  int slave = -1;
  char path[256] = {};
  ASSERT_EQ(openpty(&master, &slave, path, nullptr, nullptr), 0);
  close(slave);
  // Only the owner may use it: root's pseudo-terminal is closed to nobody;
  // our own is closed to us as well when it has no permissions at all.
  const bool root = geteuid() == 0;
  ASSERT_EQ(chmod(path, root ? 0600 : 0000), 0);
  if (!root) {
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
      close(fd);
      close(master);
      GTEST_SKIP() << "this user may open a port without permission";
    }
  }
  const Finding f = RunInChild(path, root);
  close(master);
  if (!f.skipped.empty()) GTEST_SKIP() << f.skipped;

  EXPECT_EQ(f.open_result, kPortNoPermission);
  EXPECT_EQ(f.message,
            "Connection Error\nComm Port \"" + std::string(kDisplayText) +
                "\" can't be opened: you don't have permission to use it.\n"
                "On Linux, add your user to the \"dialout\" group (sudo usermod -aG dialout "
                "$USER),\nthen log out and log in again before you retry.");
}

}  // namespace
}  // namespace halv
