#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace halv::sim {
namespace {

// Poll at least this often, so that a time-out or a signal is seen promptly.
constexpr int kMaxPollMs = 50;
// A pulled line's terminal stays this long, so that the host can still read
// the answer that went out just before the pull (closing the terminal
// discards what it holds).
constexpr uint64_t kPullGraceUs = 100000;

struct RateCode {
  speed_t code;
  uint32_t baud;
};
constexpr RateCode kRates[] = {
    {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
};

void PointLinkAt(const std::string& link, const std::string& target) {
  if (link.empty()) return;
  struct stat st {};
  // Only a symlink is replaced; a file of that name is never removed.
  if (lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(link.c_str());
  if (symlink(target.c_str(), link.c_str()) != 0) {
    fprintf(stderr, "halvsim: cannot make the link %s (%s)\n", link.c_str(), strerror(errno));
  }
}

void RemoveLink(const std::string& link) {
  struct stat st {};
  if (!link.empty() && lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(link.c_str());
}

}  // namespace

uint64_t MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t now =
      static_cast<uint64_t>(ts.tv_sec) * 1000000 + static_cast<uint64_t>(ts.tv_nsec) / 1000;
  // Times in the transcript count from the start of the run.
  static const uint64_t origin = now;
  return now - origin;
}

PtyServer::PtyServer(SimDevice& device, LineOptions options, std::string link)
    : line_(device, options), link_(std::move(link)) {}

PtyServer::~PtyServer() {
  CloseTerminal();
}

int32_t PtyServer::Open() {
  termios raw{};
  cfmakeraw(&raw);
  cfsetispeed(&raw, B9600);
  cfsetospeed(&raw, B9600);
  char name[256] = {};
  if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) return -errno;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  slave_path_ = name;
  PointLinkAt(link_, slave_path_);
  return 1;
}

void PtyServer::CloseTerminal() {
  RemoveLink(link_);  // first, so that nobody finds the link to a closed terminal
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  master_ = slave_ = -1;
}

// The host sets the rate on its side of the terminal; the line follows it.
void PtyServer::FollowHostBaud() {
  termios t{};
  if (slave_ < 0 || tcgetattr(slave_, &t) != 0) return;
  const speed_t code = cfgetospeed(&t);
  for (const RateCode& r : kRates) {
    if (r.code == code) line_.SetHostBaud(r.baud);
  }
}

// Moves bytes both ways up to now.
void PtyServer::Pump(uint64_t now_us) {
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    FollowHostBaud();
    line_.HostWrite(buffer, static_cast<size_t>(n), now_us);
  }
  line_.AdvanceTo(now_us);
  size_t n;
  while ((n = line_.HostRead(buffer, sizeof buffer, now_us)) > 0) {
    // A host that reads nothing fills the terminal; what does not fit is
    // lost, as a real port's overrun loses it.
    const ssize_t w = write(master_, buffer, n);
    if (w < static_cast<ssize_t>(n)) {
      line_.Device().Note("answer bytes lost: terminal full");
    }
  }
}

void PtyServer::Run(volatile sig_atomic_t* stop, volatile sig_atomic_t* replug,
                    uint32_t replug_ms) {
  uint64_t pulled_at = 0;
  while (!*stop) {
    uint64_t now = MonotonicUs();
    if (line_.Pulled(now)) {
      if (master_ >= 0 && now < line_.PulledAtUs() + kPullGraceUs) {
        Pump(now);  // what crossed the line before the pull still arrives
        poll(nullptr, 0, 10);
        continue;
      }
      if (master_ >= 0) {
        CloseTerminal();
        pulled_at = now;
        fprintf(stderr, "halvsim: line pulled\n");
      }
      const bool due = replug_ms != 0 && now >= pulled_at + uint64_t{replug_ms} * 1000;
      if (*replug || due) {
        *replug = 0;
        line_.Plug();
        if (Open() < 0) {
          fprintf(stderr, "halvsim: cannot open a new terminal (%s)\n", strerror(errno));
          return;
        }
        printf("%s\n", slave_path_.c_str());
        fflush(stdout);
        fprintf(stderr, "halvsim: line plugged in again at %s\n", slave_path_.c_str());
        continue;
      }
      poll(nullptr, 0, kMaxPollMs);
      continue;
    }
    *replug = 0;
    const uint64_t next = line_.NextEventUs();
    int wait_ms = kMaxPollMs;
    if (next != kNever) {
      wait_ms = next <= now
                    ? 0
                    : static_cast<int>(std::min<uint64_t>((next - now + 999) / 1000, kMaxPollMs));
    }
    pollfd p{master_, POLLIN, 0};
    poll(&p, 1, wait_ms);
    Pump(MonotonicUs());
  }
}

}  // namespace halv::sim
