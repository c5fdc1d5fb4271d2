// An independent writer of TI-Text: srec_cat turns random memory images
// (odd lengths, gaps, five-digit addresses, protected segments, vectors) into
// TI-Text files; loading them must give exactly the memory in the in-memory
// form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bsl/ti_text.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

struct Segment {
  uint32_t address;
  std::vector<uint8_t> bytes;
};

bool HaveSrecCat() {
  return std::system("srec_cat -version > /dev/null 2>&1") == 0;
}

// Segments apart from each other (srec_cat joins touching ones): some in
// low flash, some above 0xFFFF, sometimes one in the protected range, and a
// vector segment of whole words.
std::vector<Segment> RandomImage(std::mt19937* random) {
  auto pick = [&](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(*random);
  };
  std::vector<Segment> segments;
  // Slots of 0x800 bytes, each holding at most one segment, keep them apart.
  std::vector<uint32_t> slots;
  for (uint32_t a = 0x1000; a < 0xF000; a += 0x800) slots.push_back(a);
  for (uint32_t a = 0x10000; a < 0x20000; a += 0x800) slots.push_back(a);
  std::shuffle(slots.begin(), slots.end(), *random);
  const uint32_t count = pick(1, 6);
  for (uint32_t i = 0; i < count; ++i) {
    Segment s;
    s.address = slots[i] + pick(0, 0x100);
    s.bytes.resize(pick(1, 0x600));
    for (uint8_t& b : s.bytes) b = static_cast<uint8_t>(pick(0, 255));
    segments.push_back(s);
  }
  if (pick(0, 1) == 1)
    segments.push_back({pick(0xFA00, 0xFD00), std::vector<uint8_t>(pick(1, 64), 0x5A)});
  const uint32_t first_vector = pick(0, 15);
  Segment vectors{0xFFE0 + 2 * first_vector, {}};
  vectors.bytes.resize(2 * pick(1, 16 - first_vector));
  for (uint8_t& b : vectors.bytes) b = static_cast<uint8_t>(pick(0, 255));
  segments.push_back(vectors);
  return segments;
}

// What the host must hold: segments in address order, the protected ones
// left out, each word most significant digit first, an odd byte as FFxx.
std::string ExpectedText(std::vector<Segment> segments, uint32_t vectors[kVectorCount]) {
  std::sort(segments.begin(), segments.end(),
            [](const Segment& a, const Segment& b) { return a.address < b.address; });
  std::string text;
  char digits[16];
  for (int i = 0; i < kVectorCount; ++i) vectors[i] = 0xFFFF;
  for (const Segment& s : segments) {
    if (s.address >= 0xFFE0 && s.address <= 0xFFFE) {
      for (size_t i = 0; i < s.bytes.size(); i += 2) {
        vectors[(s.address - 0xFFE0) / 2 + i / 2] = s.bytes[i] | s.bytes[i + 1] << 8;
      }
      continue;
    }
    if (s.address >= 0xFA00 && s.address < 0xFDFF) continue;
    snprintf(digits, sizeof digits, "@%05X", s.address);
    text += digits;
    for (size_t i = 0; i < s.bytes.size(); i += 2) {
      const uint32_t high = i + 1 < s.bytes.size() ? s.bytes[i + 1] : 0xFF;
      snprintf(digits, sizeof digits, "%02X%02X", high, s.bytes[i]);
      text += digits;
    }
  }
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c != 'q') c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

TEST(SrecCrossCheck, RandomImagesLoadAsTheirMemory) {
  if (!HaveSrecCat()) GTEST_SKIP() << "srec_cat is not installed (tools/bootstrap.sh installs it)";
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, true);
  HostBSL host(&log);
  std::mt19937 random(20240607);
  for (int image = 0; image < 24; ++image) {
    SCOPED_TRACE("image " + std::to_string(image));
    const std::vector<Segment> segments = RandomImage(&random);
    std::string command = "srec_cat";
    for (size_t i = 0; i < segments.size(); ++i) {
      const std::string part = dir.File("part" + std::to_string(i) + ".bin");
      WriteWholeFile(part, std::string(segments[i].bytes.begin(), segments[i].bytes.end()));
      char offset[16];
      snprintf(offset, sizeof offset, "0x%X", segments[i].address);
      command += " " + part + " -binary -offset " + offset;
    }
    const std::string path = dir.File("image.txt");
    command += " -o " + path + " -ti-txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    // Every other image in lower case; srec_cat writes upper case.
    if (image % 2 == 1) WriteWholeFile(path, Lower(ReadWholeFile(path)));

    ASSERT_EQ(BSLLoadTIFile(&host, path.c_str()), 1) << ReadWholeFile(path);
    uint32_t vectors[kVectorCount];
    EXPECT_EQ(std::string(host.image_text, host.image_length), ExpectedText(segments, vectors));
    for (int i = 0; i < kVectorCount; ++i) EXPECT_EQ(host.vectors[i], vectors[i]) << i;
  }
}

}  // namespace
}  // namespace halv
