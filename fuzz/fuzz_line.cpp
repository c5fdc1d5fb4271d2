#include "fuzz_line.h"

#include <cstdlib>
#include <string>

// Every log line is stamped with the local time; a fixed zone spares the
// look-up of the system's zone file on each one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "UTC", 1);
  return 0;
}

namespace halv::fuzz {

DiagLog NullLog() {
  DiagLog log;
  log.file_name = "/dev/null";
  log.level = kLogDetail;
  log.max_size = 0;
  return log;
}

FuzzLine::FuzzLine(std::string_view reply)
    : log(NullLog()),
      line(std::make_shared<ScriptLine>()),
      backend_(line),
      use_backend_(&backend_),
      use_clock_(&clock) {
  uint32_t delay = kFirstPieceMs;
  size_t start = 0;
  while (true) {
    const size_t cut = reply.find(kPieceSeparator, start);
    const size_t end = cut == std::string_view::npos ? reply.size() : cut;
    line->Reply(std::string(reply.substr(start, end - start)), delay);
    if (cut == std::string_view::npos) break;
    start = cut + 1;
    delay = kPieceGapMs;
  }
}

FuzzLine::~FuzzLine() = default;

bool OpenFuzzLink(DeviceLink* link, bool radio) {
  if (DSOpen(&link->channel, kFuzzPortName, 9600) != 1) return false;
  link->request.connection_kind = radio ? kConnectionRadio : kConnectionSerial;
  link->request.port_name.Assign(kFuzzPortName);
  link->retries = 1;
  link->settings.new_firmware = 1;
  link->settings.supported_mask = 0xFFFFFFFF;
  link->settings.device_kind = 3;
  link->settings.trait = 0x4000 | 0x8 | 0x1;
  return true;
}

uint8_t TakeSelector(const uint8_t** data, size_t* size) {
  if (*size == 0) return 0;
  const uint8_t selector = (*data)[0];
  ++*data;
  --*size;
  return selector;
}

}  // namespace halv::fuzz
