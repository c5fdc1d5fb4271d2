#include "sim/memory_dump.h"

#include <algorithm>

namespace halv::sim {

void WriteDump(const SimDevice& device, FILE* out) {
  const DeviceProfile& p = device.Profile();
  fprintf(out, "device: %s (kind %u)\n", p.name, p.kind);
  fprintf(out, "state: %s\n", StateName(device.State()));
  fprintf(out, "version: %s\n", device.VersionText().c_str());
  fprintf(out, "post: %s\n", device.CodeGood() ? "Code Good!" : "Code Corrupt!");
  fprintf(out, "frames: %u, erases: %u, restarts: %u\n", device.FramesSeen(), device.Erases(),
          device.Restarts());
  for (const auto& [key, value] : device.Settings()) {
    fprintf(out, "setting %s: \"%s\"\n", key.c_str(), value.c_str());
  }
  for (const uint32_t a : device.RefusedWrites()) fprintf(out, "refused write: %05X\n", a);
  const FlashMemory& memory = device.Memory();
  for (const FlashMemory::Run& run : memory.ProgrammedRuns()) {
    fprintf(out, "@%05X\n", run.start);
    for (uint32_t row = run.start; row < run.end; row += 16) {
      const uint32_t row_end = std::min(row + 16, run.end);
      for (uint32_t a = row; a < row_end; ++a) {
        fprintf(out, a + 1 < row_end ? "%02X " : "%02X\n", memory.Byte(a));
      }
    }
  }
  fprintf(out, "end\n");
}

bool WriteDumpFile(const SimDevice& device, const char* path) {
  FILE* out = fopen(path, "w");
  if (out == nullptr) return false;
  WriteDump(device, out);
  return fclose(out) == 0;
}

}  // namespace halv::sim
