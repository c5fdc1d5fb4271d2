// The comm port of the fuzz targets whose parser reads a device's reply: a
// scripted line on virtual time, so that no real time passes however long the
// parser is willing to wait. The fuzzed bytes are what the device says; a
// record separator (0x1E) cuts them into pieces that arrive one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "log/diag_log.h"
#include "serial/clock.h"
#include "serial/device_link.h"
#include "serial/script_port.h"

namespace halv::fuzz {

constexpr char kPieceSeparator = '\x1e';
// The first piece comes just after the first command is written (a purge at
// the start of an exchange throws away what has already arrived); the others
// follow at this distance, so that each has a chance to answer one command.
constexpr uint32_t kFirstPieceMs = 20;
constexpr uint32_t kPieceGapMs = 250;
constexpr const char* kFuzzPortName = "COM7";

// A diagnostic log at full detail that writes to the null device: every log
// line a reply ends up in is formatted, none is kept. (The log is not created
// with CreateDiagLog, whose erase would remove the file.)
DiagLog NullLog();

class FuzzLine {
 public:
  // The line carries `reply` cut into pieces.
  explicit FuzzLine(std::string_view reply);
  ~FuzzLine();
  FuzzLine(const FuzzLine&) = delete;
  FuzzLine& operator=(const FuzzLine&) = delete;

  DiagLog log;
  VirtualClock clock;
  std::shared_ptr<ScriptLine> line;

 private:
  ScriptBackend backend_;
  ScopedPortBackend use_backend_;
  ScopedClock use_clock_;
};

// Opens the link's port on the fuzzed line as a serial (or, with `radio`, a
// radio) connection with one try per exchange, every setting gate open.
bool OpenFuzzLink(DeviceLink* link, bool radio);

// Reads the first byte as a selector and hands back the rest.
uint8_t TakeSelector(const uint8_t** data, size_t* size);

}  // namespace halv::fuzz
