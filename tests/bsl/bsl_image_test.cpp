// The held firmware image: the built-in one, TI-Text files read (hostile ones
// too) and written, and the name, kind and version taken from a file name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bsl/ti_text.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

constexpr uint32_t kStandInLength = 63442;
constexpr uint32_t kStandInSum = 3705585;

class ImageTest : public ::testing::Test {
 protected:
  ImageTest() : host(&log) { CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogDetail, true); }
  std::string Text() const { return std::string(host.image_text, host.image_length); }
  std::string LogText() const { return ReadWholeFile(log.file_name); }
  int32_t Load(const std::string& name, const std::string& contents) {
    const std::string path = dir.File(name);
    WriteWholeFile(path, contents);
    return BSLLoadTIFile(&host, path.c_str());
  }

  TempDir dir;
  DiagLog log;
  HostBSL host;
};

// Memory bytes of an in-memory image text: words are written most
// significant digit first, their low byte lying at the lower address.
std::vector<uint8_t> ImageBytes(const std::string& text, uint32_t base, uint32_t end) {
  std::vector<uint8_t> memory(end - base, 0xFF);
  uint32_t address = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '@') {
      address = static_cast<uint32_t>(std::stoul(text.substr(i + 1, 5), nullptr, 16));
      i += 6;
      continue;
    }
    const uint32_t word = static_cast<uint32_t>(std::stoul(text.substr(i, 4), nullptr, 16));
    for (uint32_t b = 0; b < 2; ++b, ++address) {
      if (address >= base && address < end) memory[address - base] = (word >> (8 * b)) & 0xFF;
    }
    i += 4;
  }
  return memory;
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST_F(ImageTest, BuiltInStandInHasItsFiguresLayoutAndHeader) {
  EXPECT_EQ(host.construction_error, 0);
  EXPECT_EQ(host.image_name.view(), "Pumatic 1.06");
  EXPECT_EQ(host.image_kind, 24);
  EXPECT_EQ(host.image_version, 106u);
  ASSERT_EQ(host.image_length, kStandInLength);
  uint32_t sum = 0;
  for (char c : Text()) sum += static_cast<unsigned char>(c);
  EXPECT_EQ(sum, kStandInSum);

  const std::string text = Text();
  EXPECT_EQ(text.find("@08000"), 0u);
  EXPECT_EQ(text.find("@0FE00"), 6u + 2 * (0xFA00 - 0x8000));
  EXPECT_EQ(text.find("@0FFC0"), 12u + 2 * (0xFA00 - 0x8000) + 2 * (0xFFC0 - 0xFE00));

  const std::vector<uint8_t> memory = ImageBytes(text, 0, 0x10000);
  EXPECT_EQ(std::string(memory.begin() + 0x8000, memory.begin() + 0x8004), "HVFW");
  EXPECT_STREQ(reinterpret_cast<const char*>(&memory[0x8004]), "PUMATIC");
  EXPECT_STREQ(reinterpret_cast<const char*>(&memory[0x8014]), "1.06");
  std::vector<uint8_t> checked;
  for (uint32_t a = 0x8030; a < 0x10000; ++a) {
    if ((a >= 0xFA00 && a < 0xFE00) || a >= 0xFFE0) continue;
    checked.push_back(memory[a]);
  }
  uint32_t stored = 0;
  memcpy(&stored, &memory[0x8024], 4);  // little-endian, as the host is
  EXPECT_EQ(stored, Crc32(checked));
  // The reset vector enters the application.
  EXPECT_GE(host.vectors[15], 0x8030u);
  EXPECT_LT(host.vectors[15], 0xFA00u);
}

TEST_F(ImageTest, DamagedBuiltInImageIsReported) {
  static const char kText[] = "@080004031";
  uint32_t sum = 0;
  for (char c : std::string(kText)) sum += static_cast<unsigned char>(c);
  const BuiltInImage sound = {"Test 1.00", 100, 24, {}, kText, sizeof kText, 10, sum};
  struct Case {
    const char* what;
    uint32_t length;
    uint32_t sum;
    int32_t error;
  } cases[] = {
      {"sound", 10, sum, 0},
      {"wrong sum", 10, sum + 1, kBslDamagedImage},
      {"stated longer than the text", 11, sum, kBslDamagedImage},
      {"stated shorter than the text", 9, sum, kBslDamagedImage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HostBSL fresh(&log);
    BuiltInImage image = sound;
    image.length = c.length;
    image.sum = c.sum;
    InstallBuiltInImage(&fresh, image);
    EXPECT_EQ(fresh.construction_error, c.error);
    EXPECT_LE(fresh.image_length, 10u);  // never past the text
    EXPECT_EQ(fresh.image_name.view(), "Test 1.00");
  }
}

// Loading: each case either gives an image text or an error, and a failure
// keeps the built-in image and its vectors in force.
TEST_F(ImageTest, LoadRules) {
  const std::string kVectors = "@FFFE\n00 80\n";
  struct Case {
    const char* what;
    std::string file;
    int32_t rc;
    std::string text;  // expected image text on success
    bool logged;       // the "not a valid TI-Text file" line
  } cases[] = {
      {"the example file", "@8000\n31 40 00 0A\n" + kVectors + "q\n", 1, "@0800040310A00", false},
      {"CR LF line ends", "@8000\r\n31 40 00 0A\r\n@FFFE\r\n00 80\r\nq\r\n", 1, "@0800040310A00",
       false},
      {"odd byte padded", "@8000\n31 40 55\n" + kVectors + "q", 1, "@080004031FF55", false},
      {"odd digit count", "@8000\n31 4\n" + kVectors + "q", 1, "@080004F31", false},
      {"lower-case digits", "@fe00\n31 40 ab cd\n@fffe\n00 80\nq", 1, "@0FE004031CDAB", false},
      {"0x before the address", "@0x8000\n31 40\n" + kVectors + "q", 1, "@080004031", false},
      {"protected segment left out", "@FC00\n11 22\n@8000\n31 40\n" + kVectors + "q", 1,
       "@080004031", false},
      {"20 digits of a small address", "@00000000000000008000\n31 40\n" + kVectors + "q", 1,
       "@080004031", false},
      {"five-digit address", "@1FE00\n31 40\n" + kVectors + "q", 1, "@1FE004031", false},
      {"binary between the digits", std::string("@8000\n31\0\xff\x80 40\n", 15) + kVectors + "q", 1,
       "@080004031", false},
      {"text after the end marker", "@8000\n31 40\n" + kVectors + "q\n@9000\n11 22\n", 1,
       "@080004031", false},
      {"empty", "", kBslBadImageFile, "", false},
      {"q only", "q\n", kBslBadImageFile, "", false},
      {"no end marker", "@8000\n31 40\n" + kVectors, kBslBadImageFile, "", false},
      {"not beginning with @", " @8000\n31 40\n" + kVectors + "q", kBslBadImageFile, "", false},
      {"binary",
       std::string("\x7f"
                   "ELF\0\x01\x02q\xff",
                   9),
       kBslBadImageFile, "", false},
      {"no vector segment", "@8000\n31 40\nq\n", kBslBadImageFile, "", true},
      {"20-digit address", "@12345678901234567890\n31 40\n" + kVectors + "q", kBslBadImageFile, "",
       true},
      {"six-digit address", "@100000\n31 40\n" + kVectors + "q", kBslBadImageFile, "", true},
      {"@ without an address", "@\n31 40\n" + kVectors + "q", kBslBadImageFile, "", true},
      {"no line end after the address", "@8000 31 40 @FFFE\n00 80\nq", kBslBadImageFile, "", true},
      {"vector word cut short", "@8000\n31 40\n@FFFC\n00 80 11\nq", kBslBadImageFile, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HostBSL fresh(&log);
    CreateDiagLog(&log, log.file_name.c_str(), kLogDetail, true);
    const std::string path = dir.File("image.txt");
    WriteWholeFile(path, c.file);
    EXPECT_EQ(BSLLoadTIFile(&fresh, path.c_str()), c.rc);
    const std::string text(fresh.image_text, fresh.image_length);
    if (c.rc == 1) {
      EXPECT_EQ(text, c.text);
      EXPECT_NE(LogText().find("BSLLoadTIFile loaded file " + path), std::string::npos);
    } else {
      EXPECT_EQ(fresh.image_length, kStandInLength);
      EXPECT_EQ(text.substr(0, 6), "@08000");
      EXPECT_EQ(fresh.image_name.view(), "Pumatic 1.06");
      EXPECT_EQ(fresh.vectors[15], host.vectors[15]);
      EXPECT_EQ(LogText().find("not a valid TI-Text file") != std::string::npos, c.logged);
      if (!c.logged) {
        EXPECT_EQ(LogText(), "");
      }
    }
  }
}

TEST_F(ImageTest, VectorsFromTheVectorSegment) {
  ASSERT_EQ(Load("v.txt", "@8000\n31 40\n@FFFC\n11 22 33 44 55 66\nq"), 1);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(host.vectors[i], 0xFFFFu) << i;
  EXPECT_EQ(host.vectors[14], 0x2211u);
  EXPECT_EQ(host.vectors[15], 0x4433u);  // words past the sixteenth are dropped
  ASSERT_EQ(Load("e.txt", "@8000\n31 40 00 0A\n@FFFE\n00 80\nq"), 1);
  EXPECT_EQ(host.vectors[14], 0xFFFFu);
  EXPECT_EQ(host.vectors[15], 0x8000u);
}

TEST_F(ImageTest, OpenFailureGivesTheSystemError) {
  const std::string path = dir.File("missing.txt");
  EXPECT_EQ(BSLLoadTIFile(&host, path.c_str()), -ENOENT);
  EXPECT_NE(LogText().find("BSLLoadTIFile got error 2 trying to open datafile " + path),
            std::string::npos);
  EXPECT_EQ(host.image_length, kStandInLength);
  // A folder opens but does not read.
  EXPECT_EQ(BSLLoadTIFile(&host, dir.Path().c_str()), -EISDIR);
  EXPECT_EQ(host.image_length, kStandInLength);
}

// 200 MB: a valid file whose middle is a hole of zero bytes, made sparse so
// that writing it costs nothing.
TEST_F(ImageTest, HugeFileIsReadWhole) {
  const std::string path = dir.File("huge.txt");
  const std::string head = "@8000\n31 40\n";
  const std::string tail = "\n@FFFE\n00 80\nq\n";
  const off_t size = 200LL * 1024 * 1024;
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), size - static_cast<off_t>(tail.size())),
            static_cast<ssize_t>(tail.size()));
  close(fd);
  EXPECT_EQ(BSLLoadTIFile(&host, path.c_str()), 1);
  EXPECT_EQ(Text(), "@080004031");
  EXPECT_EQ(host.vectors[15], 0x8000u);
  unlink(path.c_str());
}

TEST_F(ImageTest, NameKindAndVersionFromThePath) {
  struct Case {
    const char* path;
    const char* name;
    int kind;
    uint32_t version;
  } cases[] = {
      {"/any/folder/PUMATIC-1-07.txt", "PUMATIC-1.07", 24, 107},
      {"C:\\Firmware\\ZET 2.05.txt", "ZET 2.05", 18, 205},
      {"pumatic_2.10.txt", "pumatic_2.10", 24, 0},  // no blank or hyphen: no version
      {"hx-3.01.txt", "hx-3.01", 14, 301},
      {"/f/UNKNOWN-1-00.txt", "UNKNOWN-1.00", 0, 100},
      {"/f/Garnet-4-1x.txt", "Garnet-4.1x", 0, 41},
      {"A-1-2-x-3", "A-1-2-x.3", 0, 123},                         // the last hyphen takes the dot
      {"ZET-123456789012345.txt", "ZET-123456789012345", 18, 0},  // beyond 32 bits
      {"ZET-4294967295", "ZET-4294967295", 18, 4294967295u},
      {"dir.txt/", "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    NameImageFromPath(&host, c.path);
    EXPECT_EQ(host.image_name.view(), c.name);
    EXPECT_EQ(host.image_kind, c.kind);
    EXPECT_EQ(host.image_version, c.version);
  }
  const std::string long_name(100, 'N');
  NameImageFromPath(&host, ("/x/" + long_name).c_str());
  EXPECT_EQ(host.image_name.view(), long_name.substr(0, 64));

  ASSERT_EQ(Load("PUMATIC-1-07.txt", "@8000\n31 40\n@FFFE\n00 80\nq"), 1);
  EXPECT_EQ(host.image_name.view(), "PUMATIC-1.07");
  EXPECT_EQ(host.image_kind, 24);
  EXPECT_EQ(host.image_version, 107u);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TEST_F(ImageTest, WritesTheBuiltInImageInItsInMemoryForm) {
  const std::string path = dir.File("dump.txt");
  ASSERT_EQ(BSLWriteTIFile(&host, path.c_str()), 1);
  const std::string file = ReadWholeFile(path);
  EXPECT_EQ(file.find('\r'), std::string::npos);
  ASSERT_EQ(file.back(), '\n');
  const std::vector<std::string> lines = Lines(file);
  std::vector<std::string> shape;  // each line as "@address", "32" or ""
  for (const std::string& line : lines) {
    shape.push_back(line.empty() || line[0] == '@' ? line : std::to_string(line.size()));
  }
  std::vector<std::string> expected = {"@08000"};
  expected.insert(expected.end(), 1952, "32");
  expected.push_back("@0FE00");
  expected.insert(expected.end(), 28, "32");
  expected.push_back("@0FFC0");
  expected.insert(expected.end(), 2, "32");
  expected.insert(expected.end(), {"", "@FFE0", "32", "32"});
  EXPECT_EQ(shape, expected);
  // The data lines are the image text as it stands.
  std::string joined;
  for (const std::string& line : lines) {
    if (line.size() == 32 || line[0] == '@') joined += line;
  }
  EXPECT_EQ(joined.substr(0, kStandInLength), Text());
  char vectors[80];
  snprintf(vectors, sizeof vectors, "%04X", host.vectors[15]);
  EXPECT_EQ(lines.back().substr(28), vectors);
  EXPECT_NE(LogText().find("BSLWriteTIFile wrote file " + path), std::string::npos);
}

TEST_F(ImageTest, WrittenSegmentsKeepTheirAddressLines) {
  ASSERT_EQ(Load("s.txt", "@8000\n31 40\n@FE00\n" + std::string(40, '1') + "\n@FFFE\n00 80\nq"), 1);
  const std::string path = dir.File("out.txt");
  ASSERT_EQ(BSLWriteTIFile(&host, path.c_str()), 1);
  EXPECT_EQ(ReadWholeFile(path), "@08000\n4031\n@0FE00\n" + std::string(32, '1') + "\n" +
                                     std::string(8, '1') + "\n@FFE0\n" + std::string(28, 'F') +
                                     "FFFF\n" + std::string(28, 'F') + "8000\n");
}

TEST_F(ImageTest, WriteFailuresAreErrors) {
  const std::string missing = dir.File("no/such/folder.txt");
  EXPECT_EQ(BSLWriteTIFile(&host, missing.c_str()), -ENOENT);
  EXPECT_NE(LogText().find("BSLWriteTIFile got error 2 trying to open datafile " + missing),
            std::string::npos);
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_EQ(BSLWriteTIFile(&host, "/dev/full"), -ENOSPC);
    EXPECT_NE(LogText().find("BSLWriteTIFile got error 28 writing datafile /dev/full"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace halv
