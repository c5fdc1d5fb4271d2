#include "serial/linux_ports.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>

#include "serial/serial_channel.h"

namespace halv {
namespace {

namespace fs = std::filesystem;

// Sysfs attributes are short; anything beyond this is not a name we show.
constexpr size_t kAttributeBytes = 128;
// USB devices sit a few levels above their tty; the walk never goes further.
constexpr int kMaxWalkUp = 12;

// Reads a one-line attribute: at most kAttributeBytes, up to the first line
// end or zero, trailing blanks dropped, other control bytes shown as '?'.
// Anything but a readable regular file (a missing file, a folder, a pipe that
// would block, no permission) reads as empty.
std::string ReadAttribute(const fs::path& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::string();
  struct stat st {};
  char bytes[kAttributeBytes];
  ssize_t n = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    do {
      n = read(fd, bytes, sizeof bytes);
    } while (n < 0 && errno == EINTR);
  }
  close(fd);
  if (n <= 0) return std::string();

  size_t length = 0;
  while (length < static_cast<size_t>(n) && bytes[length] != '\0' && bytes[length] != '\n' &&
         bytes[length] != '\r')
    ++length;
  while (length > 0 && (bytes[length - 1] == ' ' || bytes[length - 1] == '\t')) --length;
  std::string text(bytes, length);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return text;
}

// A USB id as sysfs writes it: one to four hex digits.
bool ParseUsbId(const std::string& text, unsigned* id) {
  if (text.empty() || text.size() > 4) return false;
  unsigned value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<unsigned>(digit);
  }
  *id = value;
  return true;
}

template <size_t N>
void AssignCut(FixedText<N>* out, std::string_view text) {
  out->Assign(text.substr(0, Utf8CutLength(text, N - 1)));
}

// Serial-core ports keep their UART type in "type"; 0 is a port slot with no
// UART behind it (the legacy 8250 placeholders), which cannot be opened. An
// odd or unreadable value keeps the port: better listed than lost.
bool IsPlaceholderUart(const fs::path& tty) {
  return ReadAttribute(tty / "type") == "0";
}

// The USB device a tty belongs to: the nearest folder above the tty's device
// that carries idVendor and idProduct, without leaving the sysfs tree.
bool FindUsbDevice(const fs::path& tty, const fs::path& root, fs::path* usb) {
  std::error_code ec;
  fs::path dir = fs::canonical(tty / "device", ec);
  if (ec) return false;
  const std::string root_text = root.string();
  for (int level = 0; level < kMaxWalkUp; ++level) {
    const std::string dir_text = dir.string();
    const bool inside = dir_text.size() > root_text.size() &&
                        dir_text.compare(0, root_text.size(), root_text) == 0 &&
                        (root_text.back() == '/' || dir_text[root_text.size()] == '/');
    if (!inside) return false;
    if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
      *usb = dir;
      return true;
    }
    dir = dir.parent_path();
  }
  return false;
}

// "Maker Product (ttyUSB0)": the name a port box would show for the adapter.
// The maker is left out when the product already names it.
void FormFriendlyName(const fs::path& usb, SystemPort* port) {
  const std::string product = ReadAttribute(usb / "product");
  const std::string maker = ReadAttribute(usb / "manufacturer");
  std::string name;
  if (!maker.empty() && product.find(maker) == std::string::npos) name = maker;
  if (!product.empty()) name += (name.empty() ? "" : " ") + product;
  if (name.empty()) return;
  name += " (";
  name += port->port_name.view();
  name += ")";
  AssignCut(&port->friendly_name, name);
}

void FormInstanceId(const fs::path& usb, SystemPort* port) {
  unsigned vendor = 0;
  unsigned product = 0;
  if (!ParseUsbId(ReadAttribute(usb / "idVendor"), &vendor) ||
      !ParseUsbId(ReadAttribute(usb / "idProduct"), &product))
    return;
  const std::string serial = ReadAttribute(usb / "serial");
  char id[65];
  snprintf(id, sizeof id, "USB\\VID_%04X&PID_%04X\\%s", vendor, product, serial.c_str());
  AssignCut(&port->instance_id, id);
}

// The facts of one tty class entry, or false when it is not a usable port.
bool ReadOnePort(const fs::path& tty, const fs::path& root, DiagLog* log, SystemPort* port) {
  const std::string name = tty.filename().string();
  std::error_code ec;
  if (!fs::exists(tty / "device", ec)) return false;  // a virtual terminal, no hardware
  const int32_t number = TrailingPortNumber(name);
  if (number < 0 || name.size() > kPortNameChars) {
    LogMessage(log, kLogDetail, kSerialTag, "CommPortEnum skipped \"%.40s\": no usable port name",
               name.c_str());
    return false;
  }
  if (IsPlaceholderUart(tty)) {
    LogMessage(log, kLogDetail, kSerialTag, "CommPortEnum skipped %s: no UART behind it",
               name.c_str());
    return false;
  }
  port->port_name.Assign(name);
  port->port_number = number;
  fs::path usb;
  if (FindUsbDevice(tty, root, &usb)) {
    FormFriendlyName(usb, port);
    FormInstanceId(usb, port);
  }
  return true;
}

}  // namespace

bool ModemManagerProcessRuns(const std::string& proc_root, DiagLog* log) {
  std::error_code ec;
  fs::directory_iterator it(proc_root, ec);
  if (ec) {
    LogMessage(log, kLogDetail, kSerialTag, "ModemManager check could not read %s (error %d)",
               proc_root.c_str(), ec.value());
    return false;
  }
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string pid = it->path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    // A process that ended since the folder was read has no comm: not it.
    if (ReadAttribute(it->path() / "comm") == "ModemManager") return true;
  }
  return false;
}

int32_t TrailingPortNumber(std::string_view name) {
  size_t start = name.size();
  while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
  const size_t digits = name.size() - start;
  if (digits == 0 || digits > 9) return -1;  // nine digits always fit
  int32_t number = 0;
  for (size_t i = start; i < name.size(); ++i) number = number * 10 + (name[i] - '0');
  return number;
}

size_t Utf8CutLength(std::string_view text, size_t max) {
  if (text.size() <= max) return text.size();
  size_t n = max;
  // Step back over continuation bytes to the lead byte of the cut sequence,
  // and drop that sequence too.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

int32_t ReadSystemPorts(const std::string& sysfs_root, DiagLog* log,
                        std::vector<SystemPort>* ports) {
  std::error_code ec;
  const fs::path root = fs::canonical(sysfs_root, ec);
  if (ec) {
    LogMessage(log, kLogError, kSerialTag, "CommPortEnum could not read %s (error %d)",
               sysfs_root.c_str(), ec.value());
    return -1;
  }
  const fs::path class_dir = root / "class" / "tty";
  fs::directory_iterator it(class_dir, ec);
  if (ec) {
    LogMessage(log, kLogError, kSerialTag, "CommPortEnum could not read %s (error %d)",
               class_dir.c_str(), ec.value());
    return -1;
  }
  int32_t found = 0;
  try {
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      SystemPort port;
      if (!ReadOnePort(it->path(), root, log, &port)) continue;
      ports->push_back(port);
      ++found;
    }
  } catch (const std::bad_alloc&) {
    return kSerialNoMemory;
  }
  if (ec) {
    LogMessage(log, kLogError, kSerialTag, "CommPortEnum stopped reading %s (error %d)",
               class_dir.c_str(), ec.value());
  }
  return found;
}

}  // namespace halv
