#include "serial/posix_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "serial/clock.h"

namespace halv {
namespace {

struct BaudCode {
  uint32_t rate;
  speed_t code;
};

constexpr BaudCode kBaudCodes[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool BaudToCode(uint32_t rate, speed_t* code) {
  for (const BaudCode& b : kBaudCodes) {
    if (b.rate == rate) {
      *code = b.code;
      return true;
    }
  }
  return false;
}

uint32_t CodeToBaud(speed_t code) {
  for (const BaudCode& b : kBaudCodes) {
    if (b.code == code) return b.rate;
  }
  return 0;
}

// A read or write error: a vanished line is -21, the rest the negated errno.
int32_t TransferError(int error) {
  if (error == EIO || error == ENXIO || error == ENODEV || error == EPIPE) return kPortGone;
  return -error;
}

class PosixPort : public Port {
 public:
  explicit PosixPort(int fd) : fd_(fd) {}
  ~PosixPort() override { Close(); }

  int32_t SetQueueSizes(uint32_t, uint32_t) override {
    return 0;  // the tty layer sizes its own queues
  }

  int32_t GetLineSettings(LineSettings* s) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return -errno;
    s->baud = CodeToBaud(cfgetospeed(&t));
    s->data_bits = (t.c_cflag & CSIZE) == CS8 ? 8 : 7;
    s->parity = (t.c_cflag & PARENB) != 0;
    s->stop_bits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
    s->cts_flow = (t.c_cflag & CRTSCTS) != 0;
    s->xon_xoff = (t.c_iflag & (IXON | IXOFF)) != 0;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) == 0) {
      s->dtr = (lines & TIOCM_DTR) != 0;
      s->rts = (lines & TIOCM_RTS) != 0;
    }
    return 0;
  }

  int32_t SetLineSettings(const LineSettings& s) override {
    speed_t code;
    if (!BaudToCode(s.baud, &code)) return kPortInvalid;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return -errno;
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= (s.data_bits == 7 ? CS7 : CS8) | CLOCAL | CREAD;
    if (s.parity) t.c_cflag |= PARENB;
    if (s.stop_bits == 2) t.c_cflag |= CSTOPB;
    if (s.cts_flow) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (s.xon_xoff) t.c_iflag |= IXON | IXOFF;
    // Reads are paced by poll(), never by the driver.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return -errno;
    SetModemLine(TIOCM_DTR, s.dtr);
    SetModemLine(TIOCM_RTS, s.rts);
    return 0;
  }

  int32_t SetTimeouts(const PortTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return 0;
  }

  int32_t SetDtr(bool raised) override { return SetModemLine(TIOCM_DTR, raised); }

  int32_t ClearErrors() override { return 0; }

  int32_t PurgeInput() override { return tcflush(fd_, TCIFLUSH) == 0 ? 0 : -errno; }

  int32_t Write(const uint8_t* bytes, size_t count) override {
    const uint32_t limit =
        timeouts_.write_constant_ms + timeouts_.write_per_byte_ms * static_cast<uint32_t>(count);
    const uint64_t start = SystemClock().NowMs();
    size_t done = 0;
    while (done < count) {
      const ssize_t n = write(fd_, bytes + done, count - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return TransferError(errno);
      const uint64_t elapsed = SystemClock().NowMs() - start;
      if (elapsed >= limit) break;
      pollfd p{fd_, POLLOUT, 0};
      const int r = poll(&p, 1, static_cast<int>(limit - elapsed));
      if (r < 0 && errno != EINTR) return -errno;
      if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (p.revents & POLLOUT) == 0)
        return kPortGone;
    }
    return static_cast<int32_t>(done);
  }

  int32_t Read(uint8_t* destination, size_t capacity) override {
    if (capacity == 0) return 0;
    pollfd p{fd_, POLLIN, 0};
    int r;
    do {
      r = poll(&p, 1, static_cast<int>(timeouts_.read_first_byte_ms));
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -errno;
    if (r == 0) return 0;
    if ((p.revents & POLLIN) == 0) return kPortGone;  // hang-up or error, nothing to read
    const ssize_t n = read(fd_, destination, capacity);
    if (n > 0) return static_cast<int32_t>(n);
    if (n == 0) return kPortGone;  // readable yet empty: the other end is gone
    if (errno == EAGAIN || errno == EINTR) return 0;
    return TransferError(errno);
  }

  int32_t Close() override {
    if (fd_ < 0) return 0;
    ioctl(fd_, TIOCNXCL);
    const int r = close(fd_);  // also releases the flock
    fd_ = -1;
    return r == 0 ? 0 : -errno;
  }

  intptr_t Handle() const override { return fd_; }

 private:
  int32_t SetModemLine(int line, bool raised) {
    return ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : -errno;
  }

  int fd_;
  PortTimeouts timeouts_;
};

// USB serial adapters otherwise hold received bytes for their latency timer
// (16 ms on common ones) before passing them on, which every loader frame's
// turnaround would pay. A driver that refuses is left as it is.
void AskForLowLatency(int fd) {
  serial_struct ss{};
  if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return;
  ss.flags |= ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &ss);
}

class PosixBackend : public PortBackend {
 public:
  int32_t Open(const char* name, std::unique_ptr<Port>* port) override {
    return OpenPosixPort(name, port);
  }
};

}  // namespace

std::string PosixDevicePath(const char* name) {
  if (name == nullptr) return std::string();
  if (name[0] == '/') return name;
  return std::string("/dev/") + name;
}

int32_t PosixOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:  // a port slot with no UART behind it; -EIO would read as busy (-5)
      return kPortNoDevice;
    case EBUSY:
    case EWOULDBLOCK:
      return kPortBusy;
    case EACCES:
    case EPERM:
      return kPortNoPermission;
    default:
      return -error;
  }
}

int32_t OpenPosixPort(const char* name, std::unique_ptr<Port>* port) {
  const std::string path = PosixDevicePath(name);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return PosixOpenError(errno);
  // A comm port is for one opener at a time: the flock refuses a second
  // opener even when it is root, whom TIOCEXCL lets through.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return PosixOpenError(error == EWOULDBLOCK ? EBUSY : error);
  }
  if (!isatty(fd)) {
    close(fd);
    return -ENOTTY;
  }
  ioctl(fd, TIOCEXCL);
  AskForLowLatency(fd);
  *port = std::make_unique<PosixPort>(fd);
  return 1;
}

PortBackend& SystemPortBackend() {
  static PosixBackend backend;
  return backend;
}

}  // namespace halv
