#include "serial/port_enum.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "serial/clock.h"
#include "serial/linux_ports.h"
#include "serial/posix_port.h"

namespace halv {
namespace {

// What a friendly name or display text contains, and what it means.
constexpr std::string_view kMakerFriendlyMarks[] = {"Halvard USB", "Halvard PORTLINK"};
constexpr std::string_view kMakerAdapterMarks[] = {"Halvard PORTLINK", "QUORRIN USB Adapter"};
constexpr std::string_view kRadioModemMarks[] = {"MaxStream PKG-U", "Digi PKG-U"};

// The maker's own adapter: its product id, then its serial number's prefix.
constexpr std::string_view kMakerProductId = "PID_8414\\";
constexpr std::string_view kMakerSerialMark = "HALVARD_PORTLINK";

constexpr std::string_view kMakerAdapterName = "QUORRIN USB Adapter";
constexpr std::string_view kRadioModemName = "Halvard USB Rodo";
constexpr std::string_view kPlainPortWords = "Communications Port";
constexpr std::string_view kBusyMark = " (busy)";
constexpr std::string_view kModemManagerMark = " (ModemManager)";
constexpr std::string_view kModemLikeName = "ttyACM";

// The forced probe tries numbers 0 to 15 of each of these names, in order.
constexpr const char* kProbeNames[] = {"ttyS", "ttyUSB", "ttyACM"};
constexpr int kProbeNumbers = 16;

using DisplayText = FixedText<64>;

bool ContainsAny(std::string_view text, const std::string_view* marks, size_t mark_count) {
  for (size_t i = 0; i < mark_count; ++i) {
    if (text.find(marks[i]) != std::string_view::npos) return true;
  }
  return false;
}

template <size_t N>
bool ContainsAny(std::string_view text, const std::string_view (&marks)[N]) {
  return ContainsAny(text, marks, N);
}

void SetDisplay(DisplayText* display, std::string_view text) {
  display->Assign(text.substr(0, Utf8CutLength(text, DisplayText::Capacity())));
}

std::string Joined(std::string_view a, std::string_view b) {
  std::string text(a);
  text += ' ';
  text += b;
  return text;
}

// The display text of a reported port: its name and its adapter's name, the
// adapter's own "(ttyUSB0)" cut off.
std::string PlainDisplayText(const SystemPort& port) {
  const std::string_view name = port.port_name.view();
  std::string_view friendly = port.friendly_name.view();
  if (friendly.empty()) return Joined(name, kPlainPortWords);
  const size_t cut = friendly.find("(" + std::string(name));
  if (cut != std::string_view::npos) {
    friendly = friendly.substr(0, cut);
    if (!friendly.empty() && friendly.back() == ' ') friendly.remove_suffix(1);
  }
  return Joined(name, friendly);
}

// The maker's adapter is known by its product id and serial number; the text
// from a "[" in the serial number on tells the adapters of one site apart.
// (Other systems also write the new name back as the device's friendly name;
// Linux keeps no such name, so that step has nothing to do here.)
std::string MakerAdapterText(const SystemPort& port, const std::string& plain) {
  if (!ContainsAny(port.friendly_name.view(), kMakerFriendlyMarks)) return plain;
  const std::string_view id = port.instance_id.view();
  const size_t product = id.find(kMakerProductId);
  if (product == std::string_view::npos) return plain;
  const size_t serial = id.find(kMakerSerialMark, product + kMakerProductId.size());
  if (serial == std::string_view::npos) return plain;
  const std::string text = Joined(port.port_name.view(), kMakerAdapterName);
  const size_t bracket = id.find('[', serial + kMakerSerialMark.size());
  if (bracket == std::string_view::npos) return text;
  return Joined(text, id.substr(bracket));
}

void FillFromSystem(const SystemPort& port, PortEntry* entry) {
  entry->port_name = port.port_name;
  entry->port_number = port.port_number;
  SetDisplay(&entry->display_text, MakerAdapterText(port, PlainDisplayText(port)));
}

// A mark goes at the end and stays whole; the text before it is cut.
void AppendMark(PortEntry* entry, std::string_view mark) {
  const std::string_view text = entry->display_text.view();
  const size_t room = DisplayText::Capacity() - mark.size();
  std::string marked(text.substr(0, Utf8CutLength(text, room)));
  marked += mark;
  SetDisplay(&entry->display_text, marked);
}

void MarkBusy(PortEntry* entry) {
  entry->busy = 1;
  AppendMark(entry, kBusyMark);
}

bool SystemModemManagerCheck(DiagLog* log) {
  return ModemManagerProcessRuns("/proc", log);
}

ModemManagerCheck g_modem_manager_check = SystemModemManagerCheck;

// Marks the modem-like ports while ModemManager runs (looked at only when
// there is such a port, as /proc holds a folder per process).
void MarkModemManagerPorts(DiagLog* log, PortEntry* entries, int32_t filled) {
  int32_t modem_like = 0;
  for (int32_t i = 0; i < filled; ++i) {
    if (IsModemLikePort(entries[i].port_name.view())) ++modem_like;
  }
  if (modem_like == 0 || !ModemManagerRunning(log)) return;
  LogMessage(log, kLogNote, kSerialTag, "CommPortEnum: ModemManager runs and may probe %d port(s)",
             modem_like);
  for (int32_t i = 0; i < filled; ++i) {
    if (!IsModemLikePort(entries[i].port_name.view())) continue;
    entries[i].modem_manager = 1;
    AppendMark(&entries[i], kModemManagerMark);
  }
}

std::string DevicePath(const PortSources& sources, std::string_view name) {
  if (!name.empty() && name.front() == '/') return std::string(name);
  return sources.dev_root + "/" + std::string(name);
}

// Opens and closes the port at once: 1 when it opened, else the open's code.
int32_t TryOpen(const PortSources& sources, const std::string& path) {
  const PortOpener open_port = sources.open_port != nullptr ? sources.open_port : OpenPosixPort;
  std::unique_ptr<Port> port;
  const int32_t rc = open_port(path.c_str(), &port);
  if (rc < 0) return rc;
  if (port) port->Close();
  return 1;
}

// The open refusals that mean "there, but another opener has it or we may
// not": the exclusive-open refusal, EBUSY and EACCES.
bool ExistsButBusy(int32_t rc) {
  return rc == kPortBusy || rc == kPortNoPermission;
}

// Whether a port of that device path is in the list already ("ttyUSB0" and
// "/dev/ttyUSB0" are one port).
bool Listed(const PortSources& sources, const PortEntry* entries, int32_t filled,
            std::string_view name) {
  const std::string path = DevicePath(sources, name);
  for (int32_t i = 0; i < filled; ++i) {
    if (DevicePath(sources, entries[i].port_name.view()) == path) return true;
  }
  return false;
}

// The reported ports in ascending number (by name where two share one), the
// first `capacity` of them. Returns how many were placed, or -60.
int32_t PlaceSystemPorts(const std::vector<SystemPort>& found, PortEntry* entries,
                         int32_t capacity) {
  std::vector<const SystemPort*> order;
  try {
    order.reserve(found.size());
  } catch (const std::bad_alloc&) {
    return kPortEnumNoMemory;
  }
  for (const SystemPort& port : found) order.push_back(&port);
  std::sort(order.begin(), order.end(), [](const SystemPort* a, const SystemPort* b) {
    if (a->port_number != b->port_number) return a->port_number < b->port_number;
    return a->port_name.view() < b->port_name.view();
  });
  const int32_t placed = static_cast<int32_t>(std::min<size_t>(order.size(), capacity));
  for (int32_t i = 0; i < placed; ++i) FillFromSystem(*order[i], &entries[i]);
  return placed;
}

// The busy test of the reported ports. A port whose device node is missing
// cannot be opened by anyone, so it is dropped instead of shown as busy.
int32_t TestPlacedPorts(const PortSources& sources, DiagLog* log, PortEntry* entries,
                        int32_t placed) {
  int32_t kept = 0;
  for (int32_t i = 0; i < placed; ++i) {
    PortEntry entry = entries[i];
    const int32_t rc = TryOpen(sources, DevicePath(sources, entry.port_name.view()));
    if (rc == kPortNoDevice) {
      LogMessage(log, kLogDetail, kSerialTag, "CommPortEnum skipped %s: no device node",
                 entry.port_name.c_str());
      continue;
    }
    if (rc < 0) MarkBusy(&entry);
    entries[kept++] = entry;
  }
  for (int32_t i = kept; i < placed; ++i) entries[i] = PortEntry{};
  return kept;
}

// Ports given by path: listed under that path when they are there at all.
int32_t AddNamedPorts(const PortSources& sources, DiagLog* log, PortEntry* entries, int32_t filled,
                      int32_t capacity) {
  for (const std::string& name : sources.named_ports) {
    if (filled >= capacity) break;
    if (name.empty() || Listed(sources, entries, filled, name)) continue;
    if (name.size() > kPortNameChars) {
      LogMessage(log, kLogError, kSerialTag, "CommPortEnum skipped \"%.64s\": name too long",
                 name.c_str());
      continue;
    }
    const int32_t rc = TryOpen(sources, DevicePath(sources, name));
    if (rc < 0 && !ExistsButBusy(rc)) {
      LogMessage(log, kLogError, kSerialTag, "CommPortEnum skipped %s (error %d)", name.c_str(),
                 -rc);
      continue;
    }
    PortEntry& entry = entries[filled++];
    entry.port_name.Assign(name);
    entry.port_number = std::max<int32_t>(TrailingPortNumber(name), 0);
    SetDisplay(&entry.display_text, name);
    if (rc < 0) MarkBusy(&entry);
  }
  return filled;
}

int32_t ProbePorts(const PortSources& sources, PortEntry* entries, int32_t filled,
                   int32_t capacity) {
  for (const char* base : kProbeNames) {
    for (int number = 0; number < kProbeNumbers && filled < capacity; ++number) {
      const std::string name = base + std::to_string(number);
      if (Listed(sources, entries, filled, name)) continue;
      const int32_t rc = TryOpen(sources, DevicePath(sources, name));
      if (rc < 0 && !ExistsButBusy(rc)) continue;
      PortEntry& entry = entries[filled++];
      entry.port_name.Assign(name);
      entry.port_number = number;
      SetDisplay(&entry.display_text, Joined(name, kPlainPortWords));
      if (rc < 0) MarkBusy(&entry);
    }
  }
  return filled;
}

// The adapter flags and the radio modem's own wording. A busy modem keeps its
// " (busy)", or the list would show a held port as free.
void ApplyAdapterWording(PortEntry* entry) {
  entry->direct = 1;
  entry->generic_adapter = 1;
  const std::string_view text = entry->display_text.view();
  if (ContainsAny(text, kMakerAdapterMarks)) {
    entry->generic_adapter = 0;
  } else if (ContainsAny(text, kRadioModemMarks)) {
    SetDisplay(&entry->display_text, Joined(entry->port_name.view(), kRadioModemName));
    entry->direct = 0;
    if (entry->busy) MarkBusy(entry);
  }
}

}  // namespace

bool IsModemLikePort(std::string_view port_name) {
  const size_t slash = port_name.rfind('/');
  if (slash != std::string_view::npos) port_name.remove_prefix(slash + 1);
  return port_name.substr(0, kModemLikeName.size()) == kModemLikeName;
}

ModemManagerCheck SetModemManagerCheck(ModemManagerCheck check) {
  const ModemManagerCheck previous = g_modem_manager_check;
  g_modem_manager_check = check != nullptr ? check : SystemModemManagerCheck;
  return previous;
}

bool ModemManagerRunning(DiagLog* log) {
  return g_modem_manager_check(log);
}

int32_t CommPortEnum(SerialChannel* channel, const PortSources& sources, PortEntry* entries,
                     int32_t* count, bool force_all) {
  DiagLog* log = channel != nullptr ? channel->log : nullptr;
  if (entries == nullptr || count == nullptr) {
    LogMessage(log, kLogError, kSerialTag, "CommPortEnum called without a list or a count");
    return kPortEnumMissingArgument;
  }
  const int32_t capacity = *count;
  *count = 0;
  if (capacity < 1) {
    LogMessage(log, kLogError, kSerialTag, "CommPortEnum called with room for %d ports", capacity);
    return kPortEnumNoRoom;
  }
  const uint32_t start = MsTick();
  for (int32_t i = 0; i < capacity; ++i) entries[i] = PortEntry{};

  std::vector<SystemPort> found;
  const int32_t read = ReadSystemPorts(sources.sysfs_root, log, &found);
  if (read == kSerialNoMemory) return kPortEnumNoMemory;
  // Without sysfs there is no other way to find the ports than trying them.
  if (read < 0) force_all = true;

  int32_t filled = PlaceSystemPorts(found, entries, capacity);
  if (filled < 0) return filled;
  filled = TestPlacedPorts(sources, log, entries, filled);
  const int32_t reported = filled;
  filled = AddNamedPorts(sources, log, entries, filled, capacity);
  if (force_all) filled = ProbePorts(sources, entries, filled, capacity);
  for (int32_t i = 0; i < filled; ++i) ApplyAdapterWording(&entries[i]);
  MarkModemManagerPorts(log, entries, filled);

  *count = filled;
  LogMessage(log, kLogProgress, kSerialTag, "CommPortEnum found %d comm ports (%d ms)", filled,
             static_cast<int>(MsTick() - start));
  if (reported > 0) return reported;
  return filled > 0 ? 1 : 0;
}

int32_t CommPortEnum(SerialChannel* channel, PortEntry* entries, int32_t* count, bool force_all) {
  return CommPortEnum(channel, PortSources{}, entries, count, force_all);
}

int32_t CommPortEnum(DiagLog* log, PortEntry* entries, int32_t capacity, int32_t* count,
                     bool force_all) {
  SerialChannel channel;
  channel.log = log;
  if (count != nullptr) *count = capacity;
  return CommPortEnum(&channel, entries, count, force_all);
}

}  // namespace halv
