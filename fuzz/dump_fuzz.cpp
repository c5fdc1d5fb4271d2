// The image dump: the held image written out as a file. Selector bit 0
// clear: the fuzzed bytes are the held image text itself, whatever they hold.
// Set: they are a TI-Text file, loaded as the updater loads one; its dump,
// given an end marker, must load again into the same segments with each
// word's digits in the in-memory order (the dump writes what memory holds).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "bsl/host_bsl.h"
#include "bsl/ti_text.h"
#include "fuzz_line.h"

namespace {

std::string TempPath(const char* what) {
  return "/tmp/halv-fuzz-" + std::to_string(getpid()) + "-" + what + ".txt";
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = fwrite(data, 1, size, f) == size;
  return fclose(f) == 0 && ok;
}

bool AppendEndMarker(const std::string& path) {
  FILE* f = fopen(path.c_str(), "ab");
  if (f == nullptr) return false;
  fputs("q\n", f);
  return fclose(f) == 0;
}

// "4031" read from a file is the word 0x3140: every group of four digits
// after a segment's address swaps its two byte pairs.
std::string SwapWordDigits(const char* text, uint32_t length) {
  std::string swapped(text, length);
  size_t i = 0;
  while (i < swapped.size()) {
    if (swapped[i] == '@') {
      i += halv::kTiAddressChars;
      continue;
    }
    if (i + 4 > swapped.size()) __builtin_trap();  // words are whole in memory
    std::swap(swapped[i], swapped[i + 2]);
    std::swap(swapped[i + 1], swapped[i + 3]);
    i += 4;
  }
  return swapped;
}

uint32_t SwapBytes(uint32_t word) {
  return ((word & 0xFF) << 8) | (word >> 8);
}

void DumpRawImage(halv::HostBSL* host, const uint8_t* data, size_t size) {
  delete[] host->image_text;
  host->image_text = new char[size + 1];
  memcpy(host->image_text, data, size);
  host->image_text[size] = '\0';
  host->image_length = static_cast<uint32_t>(size);
  for (int i = 0; i < halv::kVectorCount; ++i) host->vectors[i] = (size > 0 ? data[i % size] : 0);
  const std::string dump = TempPath("dump");
  if (halv::BSLWriteTIFile(host, dump.c_str()) != 1) __builtin_trap();
  remove(dump.c_str());
}

void DumpLoadedImage(halv::HostBSL* host, const uint8_t* data, size_t size, halv::DiagLog* log) {
  const std::string source = TempPath("source");
  const std::string dump = TempPath("dump");
  if (!WriteFile(source, data, size)) return;
  const int32_t loaded = halv::BSLLoadTIFile(host, source.c_str());
  remove(source.c_str());
  // An image of nothing but vectors dumps as the vectors' segment after a
  // blank line, which no loader takes for TI-Text; there is nothing to compare.
  if (loaded != 1 || host->image_length == 0) return;
  if (halv::BSLWriteTIFile(host, dump.c_str()) != 1) __builtin_trap();
  if (!AppendEndMarker(dump)) return;
  halv::HostBSL again(log);
  if (halv::BSLLoadTIFile(&again, dump.c_str()) != 1) __builtin_trap();
  remove(dump.c_str());
  if (std::string(again.image_text, again.image_length) !=
      SwapWordDigits(host->image_text, host->image_length)) {
    __builtin_trap();
  }
  for (int i = 0; i < halv::kVectorCount; ++i) {
    if (again.vectors[i] != SwapBytes(host->vectors[i])) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  halv::DiagLog log = halv::fuzz::NullLog();
  halv::HostBSL host(&log);
  if ((selector & 1) == 0) {
    DumpRawImage(&host, data, size);
  } else {
    DumpLoadedImage(&host, data, size, &log);
  }
  return 0;
}
