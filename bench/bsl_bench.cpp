// The loader host's own cost, without any device time: reading a 512 KiB
// TI-Text file, and programming the built-in image into a loader that answers
// at once (virtual clock, so no wait takes real time). Prints figures only.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "bsl/flash.h"
#include "bsl/ti_text.h"
#include "serial/clock.h"
#include "serial/port.h"

namespace halv {
namespace {

// A loader that accepts every frame at once: "+" for "V", "+\r" otherwise.
class AcceptingPort : public Port {
 public:
  int32_t SetQueueSizes(uint32_t, uint32_t) override { return 0; }
  int32_t GetLineSettings(LineSettings* s) override {
    *s = line_;
    return 0;
  }
  int32_t SetLineSettings(const LineSettings& s) override {
    line_ = s;
    return 0;
  }
  int32_t SetTimeouts(const PortTimeouts&) override { return 0; }
  int32_t SetDtr(bool) override { return 0; }
  int32_t ClearErrors() override { return 0; }
  int32_t PurgeInput() override {
    pending_.clear();
    return 0;
  }
  int32_t Write(const uint8_t* bytes, size_t count) override {
    if (count > 0 && bytes[count - 1] == '\r') {
      pending_ = bytes[0] == 'V' ? "+" : "+\r";
      ++frames;
    }
    return static_cast<int32_t>(count);
  }
  int32_t Read(uint8_t* destination, size_t capacity) override {
    const size_t n = pending_.size() < capacity ? pending_.size() : capacity;
    pending_.copy(reinterpret_cast<char*>(destination), n);
    pending_.erase(0, n);
    return static_cast<int32_t>(n);
  }
  int32_t Close() override { return 0; }
  intptr_t Handle() const override { return 1; }

  static inline uint64_t frames = 0;

 private:
  LineSettings line_;
  std::string pending_;
};

class AcceptingBackend : public PortBackend {
 public:
  int32_t Open(const char*, std::unique_ptr<Port>* port) override {
    *port = std::make_unique<AcceptingPort>();
    return 1;
  }
};

// A TI-Text file of about the given size: random data in 16-byte lines, a
// segment every 4 KiB of data, and the vectors.
std::string MakeTiText(size_t bytes_of_text) {
  std::mt19937 random(7);
  std::string text;
  char line[64];
  uint32_t address = 0x10000;
  while (text.size() < bytes_of_text) {
    if (address % 0x1000 == 0) {
      snprintf(line, sizeof line, "@%X\n", address);
      text += line;
    }
    for (int i = 0; i < 16; ++i) {
      snprintf(line, sizeof line, i == 15 ? "%02X\n" : "%02X ",
               static_cast<unsigned>(random() & 0xFF));
      text += line;
    }
    address += 16;
  }
  return text + "@FFE0\n" + std::string(31, '0') + "0\nq\n";
}

void BM_LoadTiTextFile512K(benchmark::State& state) {
  char path[] = "/tmp/halv-bench-XXXXXX";
  const int fd = mkstemp(path);
  const std::string text = MakeTiText(512 * 1024);
  if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    state.SkipWithError("cannot write the TI-Text file");
    return;
  }
  close(fd);
  HostBSL host(nullptr);
  for (auto _ : state) {
    if (BSLLoadTIFile(&host, path) != 1) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(host.image_text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["image_chars"] = host.image_length;
  unlink(path);
}
BENCHMARK(BM_LoadTiTextFile512K)->Unit(benchmark::kMillisecond);

void BM_ProgramBuiltInImage(benchmark::State& state) {
  VirtualClock clock;
  ScopedClock use_clock(&clock);
  AcceptingBackend backend;
  PortBackend* previous = SetPortBackend(&backend);
  HostBSL host(nullptr);
  DSOpen(&host.channel, "SIM", 9600);
  host.connected = 1;
  host.retries = 3;
  AcceptingPort::frames = 0;
  for (auto _ : state) {
    if (BSLSendFirmware(&host, false) < 0 || BSLSendVectors(&host) < 0) {
      state.SkipWithError("programming failed");
    }
  }
  const double frames = static_cast<double>(AcceptingPort::frames);
  state.counters["frames"] = frames / static_cast<double>(state.iterations());
  state.counters["cpu_per_frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  host.connected = 0;
  DSClose(&host.channel);
  SetPortBackend(previous);
}
BENCHMARK(BM_ProgramBuiltInImage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace halv

BENCHMARK_MAIN();
