// The loader's replies: to the start request and probe, to the attach, and
// the judgement of a command frame's short reply.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bsl/host_bsl.h"
#include "fuzz_line.h"

namespace {

void OpenConnected(halv::HostBSL* host) {
  if (halv::DSOpen(&host->channel, halv::fuzz::kFuzzPortName, 9600) == 1) host->connected = 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  halv::fuzz::FuzzLine line(std::string_view(reinterpret_cast<const char*>(data), size));
  halv::HostBSL host(&line.log);
  host.retries = 1 + selector / 64;
  char reply[halv::kBslReplyBufferMin] = {};
  uint32_t elapsed = 0;
  switch (selector % 4) {
    case 0:
      halv::BSLConnect(&host, halv::fuzz::kFuzzPortName, 9600, false, host.retries);
      break;
    case 1:
      halv::BSLCheck(&host, halv::fuzz::kFuzzPortName, 9600);
      break;
    case 2: {
      OpenConnected(&host);
      const uint32_t values[2] = {0xC000, 0x0100};
      halv::BSLCommand(&host, 'e', values, 2, '\r', reply, &elapsed, selector & 4);
      break;
    }
    default:
      OpenConnected(&host);
      halv::BSLAttach(&host);
      halv::BSLCommand(&host, 'g', nullptr, 0, '\r', reply, &elapsed);
      break;
  }
  return 0;
}
