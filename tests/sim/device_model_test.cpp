// The device model on its own: bytes in at given times, answers out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/device_profile.h"
#include "sim/firmware_header.h"
#include "sim/halvsim_options.h"
#include "sim/memory_dump.h"
#include "sim/sim_line.h"
#include "support/temp_dir.h"
#include "test_image.h"

namespace halv::sim {
namespace {

using simtest::Frame;
using simtest::MakeTestImage;

const DeviceProfile& Pumatic() {
  return *FindDeviceProfile("pumatic");
}

// A device on a line, driven by hand: each Send moves time on by wait_us
// and returns what arrived.
struct Bench {
  explicit Bench(DeviceSetup setup = {}, LineOptions options = {})
      : device(Pumatic(), setup), line(device, options) {}

  std::string Send(const std::string& bytes, uint64_t wait_us = 1000) {
    line.HostWrite(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), now);
    return Wait(wait_us);
  }
  std::string Wait(uint64_t wait_us) {
    now += wait_us;
    uint8_t buffer[4096];
    const size_t n = line.HostRead(buffer, sizeof buffer, now);
    return std::string(reinterpret_cast<char*>(buffer), n);
  }
  // Programs a whole test image and its vectors through the loader.
  void Program(const simtest::TestImage& image) {
    ASSERT_EQ(Send(Frame('X', "8000")), "+\r");
    ASSERT_EQ(Send(Frame('@', "8000")), "+\r");
    const std::string data = image.text.substr(6);
    for (size_t i = 0; i < data.size(); i += 512) {
      ASSERT_EQ(Send(Frame('W', data.substr(i, 512))), "+\r");
    }
    ASSERT_EQ(Send(Frame('V', simtest::VectorPayload(image.vectors))), "+");
  }

  SimDevice device;
  SimLine line;
  uint64_t now = 0;
};

DeviceSetup Attached() {
  DeviceSetup s;
  s.start = DeviceState::kLoaderAttached;
  return s;
}

TEST(SimCrc, CheckValueOfTheStandardString) {
  const char* text = "123456789";
  EXPECT_EQ(Crc32Update(0xFFFFFFFFu, reinterpret_cast<const uint8_t*>(text), 9) ^ 0xFFFFFFFFu,
            0xCBF43926u);
  EXPECT_EQ(simtest::BitwiseCrc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
}

// The frames of the loader's documentation, byte for byte, and lines that
// are not frames.
TEST(SimLoader, FramesAndNonFrames) {
  struct Case {
    std::string bytes;
    std::string answer;
  };
  const Case cases[] = {
      {"\x67\x2E\x30\x30\x39\x35\x0D", "+7+\r"},
      {"\x40\x38\x30\x30\x30\x2E\x30\x31\x33\x36\x0D", "+\r"},
      {"\x40\x30\x38\x30\x30\x30\x2E\x30\x31\x36\x36\x0D", "+\r"},
      {"\x58\x31\x30\x30\x30\x2E\x30\x31\x34\x37\x0D", "+\r"},
      {"X1000.0148\r", "-\r"},                           // wrong checksum
      {"X1000.0147x\r", "-\r"},                          // no checksum at the end
      {"@8000.013a\r", "-\r"},                           // lower-case checksum digits
      {"X10.00E5\r", "-\r"},                             // address of two digits
      {"W123.0000\r", "-\r"},                            // not whole words
      {std::string("W\x80\xFF\x01.0000\r"), "-\r"},      // binary payload
      {"W" + std::string(700, '0') + ".0000\r", "-\r"},  // over-long
      {"get -ver\r", "+7+\r"},                           // the firmware's version command
      {"g.1234\r", "+7+\r"},                             // any line beginning with "g"
      {"boot ZIBW\r", "?\r"},                            // the start request
      {"\r", "?\r"},                                     // a probe
      {std::string("\x00\x80\xFF\r", 4), "?\r"},
      {"P", "#"},  // attaching again
  };
  Bench bench(Attached());
  for (const Case& c : cases) {
    EXPECT_EQ(bench.Send(c.bytes), c.answer) << JsonQuote(c.bytes);
  }
  EXPECT_EQ(bench.device.State(), DeviceState::kLoaderAttached);
}

TEST(SimLoader, StartRequestProbeAndAttach) {
  Bench bench;
  EXPECT_EQ(bench.Send("boot ZIBW\r"), "\r\nOK\r\n");
  EXPECT_EQ(bench.device.State(), DeviceState::kLoaderWaiting);
  EXPECT_EQ(bench.Send("\r"), "$");
  EXPECT_EQ(bench.Send("boot ZIBW\r"), "$");  // a start request is just a line to it
  EXPECT_EQ(bench.Send("g.0095\r"), "$");     // frames mean nothing before the attach
  EXPECT_EQ(bench.Send("P"), "#");
  EXPECT_EQ(bench.device.State(), DeviceState::kLoaderAttached);
  EXPECT_EQ(bench.Send("\r"), "?\r");
}

TEST(SimLoader, ProgramsWordsLowByteFirstAndMovesTheAddressOn) {
  Bench bench(Attached());
  ASSERT_EQ(bench.Send(Frame('X', "8000")), "+\r");
  ASSERT_EQ(bench.Send(Frame('@', "8100")), "+\r");
  ASSERT_EQ(bench.Send(Frame('W', "4031AA55")), "+\r");
  ASSERT_EQ(bench.Send(Frame('W', "0102")), "+\r");
  const FlashMemory& m = bench.device.Memory();
  EXPECT_EQ(m.Byte(0x8100), 0x31);
  EXPECT_EQ(m.Byte(0x8101), 0x40);
  EXPECT_EQ(m.Byte(0x8102), 0x55);
  EXPECT_EQ(m.Byte(0x8103), 0xAA);
  EXPECT_EQ(m.Byte(0x8104), 0x02);
  EXPECT_EQ(m.Byte(0x8105), 0x01);
}

TEST(SimLoader, WritingUnerasedFlashIsRefusedAndRecorded) {
  Bench bench(Attached());
  ASSERT_EQ(bench.Send(Frame('X', "8200")), "+\r");
  ASSERT_EQ(bench.Send(Frame('@', "8200")), "+\r");
  ASSERT_EQ(bench.Send(Frame('W', "1234")), "+\r");
  ASSERT_EQ(bench.Send(Frame('@', "8200")), "+\r");
  EXPECT_EQ(bench.Send(Frame('W', "1234")), "-\r");
  ASSERT_EQ(bench.device.RefusedWrites().size(), 1u);
  EXPECT_EQ(bench.device.RefusedWrites()[0], 0x8200u);
  // Nothing of a refused frame is written, and the address stays.
  ASSERT_EQ(bench.Send(Frame('@', "8202")), "+\r");
  EXPECT_EQ(bench.Send(Frame('W', "FFFF0000")), "+\r");
  EXPECT_EQ(bench.device.Memory().Word(0x8204), 0x0000);
}

TEST(SimLoader, EraseRulesAndRanges) {
  struct Case {
    const char* address;
    const char* answer;
  };
  // INFO segments of 64 from 0x1000; main flash in 512-byte segments; the
  // loader's own range and addresses outside the flash are refused.
  const Case cases[] = {
      {"1000", "+\r"}, {"1040", "+\r"}, {"10BF", "+\r"},  {"10C0", "-\r"},
      {"5000", "-\r"}, {"8000", "+\r"}, {"F800", "+\r"},  {"FA00", "-\r"},
      {"FDFF", "-\r"}, {"FE00", "+\r"}, {"10000", "-\r"},
  };
  Bench bench(Attached());
  for (const Case& c : cases) EXPECT_EQ(bench.Send(Frame('X', c.address)), c.answer) << c.address;
}

TEST(SimLoader, EraseOfAnInfoSegmentLeavesTheNextOne) {
  Bench bench(Attached());
  ASSERT_EQ(bench.Send(Frame('X', "1000")), "+\r");
  ASSERT_EQ(bench.Send(Frame('X', "1040")), "+\r");
  ASSERT_EQ(bench.Send(Frame('@', "103E")), "+\r");
  ASSERT_EQ(bench.Send(Frame('W', "11112222")), "+\r");  // across the boundary
  ASSERT_EQ(bench.Send(Frame('X', "1000")), "+\r");
  EXPECT_EQ(bench.device.Memory().Word(0x103E), 0xFFFF);
  EXPECT_EQ(bench.device.Memory().Word(0x1040), 0x2222);
}

TEST(SimLoader, FirstSegmentEraseAlsoClearsTheVectorSegment) {
  Bench bench(Attached());
  // The factory firmware's reset vector sits at 0xFFFE.
  ASSERT_NE(bench.device.Memory().Word(0xFFFE), 0xFFFF);
  ASSERT_EQ(bench.Send(Frame('X', "8200")), "+\r");
  EXPECT_NE(bench.device.Memory().Word(0xFFFE), 0xFFFF);
  ASSERT_EQ(bench.Send(Frame('X', "8000")), "+\r");
  EXPECT_EQ(bench.device.Memory().Word(0xFFFE), 0xFFFF);
  EXPECT_EQ(bench.device.Memory().Byte(0xFE00), 0xFF);
  // The loader's own range never is.
  EXPECT_EQ(bench.Send(Frame('@', "FA00")), "+\r");
  EXPECT_EQ(bench.Send(Frame('W', "0000")), "-\r");
}

TEST(SimRestart, NewFirmwareRunsAfterTheRestartDelayWithDefaultSettings) {
  Bench bench(Attached());
  bench.Program(MakeTestImage("PUMATIC", "1.07", 600));
  EXPECT_EQ(bench.device.State(), DeviceState::kRestarting);
  EXPECT_EQ(bench.Send("get -ver\r", 1000), "");  // silent while it restarts
  bench.Wait(uint64_t{Pumatic().restart_ms} * 1000);
  EXPECT_EQ(bench.Send("get -ver\r"), "\r\nPUMATIC 1.07\r\n>");
  EXPECT_EQ(bench.Send("post\r"), "\r\nCode Good!\r\n>");
  EXPECT_EQ(bench.Send("get -sn\r"), "\r\n00000000\r\n>");
  EXPECT_EQ(bench.device.Restarts(), 1u);
  EXPECT_TRUE(bench.device.RefusedWrites().empty());
}

TEST(SimRestart, WhatWasProgrammedDecidesThePostAnswer) {
  struct Case {
    const char* name;
    simtest::TestImage image;
    size_t digits_sent;  // of the image's data, the rest never arrives
    const char* version;
    const char* post;
  };
  const simtest::TestImage good = MakeTestImage("PUMATIC", "1.06", 2000);
  const Case cases[] = {
      {"whole", good, good.text.size() - 6, "PUMATIC 1.06", "Code Good!"},
      {"half", good, 2048, "PUMATIC 1.06", "Code Corrupt!"},
      {"bad check", MakeTestImage("PUMATIC", "1.06", 2000, true), good.text.size() - 6,
       "PUMATIC 1.06", "Code Corrupt!"},
      {"no header", good, 0, "PUMATIC 0.00", "Code Corrupt!"},
  };
  for (const Case& c : cases) {
    Bench bench(Attached());
    ASSERT_EQ(bench.Send(Frame('X', "8000")), "+\r");
    ASSERT_EQ(bench.Send(Frame('X', "8200")), "+\r");
    ASSERT_EQ(bench.Send(Frame('X', "8400")), "+\r");
    ASSERT_EQ(bench.Send(Frame('X', "8600")), "+\r");
    ASSERT_EQ(bench.Send(Frame('X', "8800")), "+\r");
    ASSERT_EQ(bench.Send(Frame('@', "8000")), "+\r");
    const std::string data = c.image.text.substr(6, c.digits_sent);
    for (size_t i = 0; i < data.size(); i += 512) {
      ASSERT_EQ(bench.Send(Frame('W', data.substr(i, 512))), "+\r");
    }
    ASSERT_EQ(bench.Send(Frame('V', simtest::VectorPayload(c.image.vectors))), "+");
    bench.Wait(uint64_t{Pumatic().restart_ms} * 1000);
    EXPECT_EQ(bench.Send("get -ver\r"), "\r\n" + std::string(c.version) + "\r\n>") << c.name;
    EXPECT_EQ(bench.Send("post -init\r"), "\r\n" + std::string(c.post) + "\r\n>") << c.name;
  }
}

TEST(SimRestart, WithoutAResetVectorTheLoaderKeepsTheDevice) {
  Bench bench(Attached());
  ASSERT_EQ(bench.Send(Frame('X', "8000")), "+\r");
  uint32_t vectors[16];
  for (uint32_t& v : vectors) v = 0xFFFF;
  ASSERT_EQ(bench.Send(Frame('V', simtest::VectorPayload(vectors))), "+");
  bench.Wait(uint64_t{Pumatic().restart_ms} * 1000);
  EXPECT_EQ(bench.Send("\r"), "$");
}

TEST(SimRestart, VectorsOverUnerasedVectorsAreRefused) {
  Bench bench(Attached());
  uint32_t vectors[16];
  for (uint32_t& v : vectors) v = 0x8030;
  EXPECT_EQ(bench.Send(Frame('V', simtest::VectorPayload(vectors))), "-\r");
  EXPECT_EQ(bench.device.State(), DeviceState::kLoaderAttached);
  EXPECT_EQ(bench.Send(Frame('V', "0000")), "-\r");  // not 16 words
}

TEST(SimFirmware, Commands) {
  struct Case {
    std::string line;
    std::string answer;
  };
  const Case cases[] = {
      {"get -ver\r", "PUMATIC 1.05"},
      {"get -hver\r", "B"},
      {"get -batt\r", "85"},
      {"get -sn\r", "PM24-00317"},
      {"set -sn PM24-9\r", "OK"},
      {"get -sn\r", "PM24-9"},
      {"set -sn 0123456789ABCDEF\r", "ERROR"},  // 16 characters
      {"set -sn\r", "ERROR"},
      {"set -sec 789012345\r", "OK"},
      {"get -sec\r", "789012345"},
      {"set -sec 12x\r", "ERROR"},
      {"post\r", "Code Good!"},
      {"post -init\r", "Code Good!"},
      {"yes\r", "OK"},
      {"login *4862\r", "OK"},
      {"login *1111\r", "ERROR"},
      {"logout\r", "OK"},
      {"get -vers\r", "ERROR"},
      {"boot ABCD\r", "ERROR"},
      {"help\r", "ERROR"},
      {std::string(300, 'x') + "\r", "ERROR"},
      {std::string("\x01\x80\xFF\r"), "ERROR"},
      {"get -ver\n\r", "PUMATIC 1.05"},  // line feeds are not part of a line
  };
  Bench bench;
  for (const Case& c : cases) {
    EXPECT_EQ(bench.Send(c.line), "\r\n" + c.answer + "\r\n>") << JsonQuote(c.line);
  }
  EXPECT_EQ(bench.Send("\r"), "\r\n>");
  EXPECT_TRUE(bench.device.DataErased());
}

TEST(SimFaults, FirmwareFaults) {
  DeviceSetup s;
  s.faults.post_corrupt = true;
  s.faults.dataflash_fail = true;
  s.faults.battery_percent = 7;
  s.faults.no_loader = true;
  Bench bench(s);
  EXPECT_EQ(bench.Send("post\r"), "\r\nCode Corrupt!\r\n>");
  EXPECT_EQ(bench.Send("yes\r"), "\r\nDataFlash FAIL\r\n>");
  EXPECT_EQ(bench.Send("get -batt\r"), "\r\n7\r\n>");
  EXPECT_EQ(bench.Send("boot ZIBW\r"), "\r\nHalvBSL MISSING\r\n>");
  EXPECT_EQ(bench.device.State(), DeviceState::kFirmware);
}

TEST(SimFaults, SilentDeviceAndEchoingRelay) {
  DeviceSetup silent;
  silent.faults.silent = true;
  EXPECT_EQ(Bench(silent).Send("get -ver\r"), "");
  DeviceSetup echo;
  echo.faults.echo = true;
  EXPECT_EQ(Bench(echo).Send("get -ver\r"), "get -ver\r\r\nPUMATIC 1.05\r\n>");
}

TEST(SimFaults, FrameFaultsCountFramesFromOne) {
  struct Case {
    const char* name;
    FaultPlan plan;
    std::vector<std::string> answers;  // to five version frames
  };
  const Case cases[] = {
      {"drop 2", {.drop_frame = 2}, {"+7+\r", "", "+7+\r", "+7+\r", "+7+\r"}},
      {"refuse 3", {.refuse_frame = 3}, {"+7+\r", "+7+\r", "-\r", "+7+\r", "+7+\r"}},
      {"drop every 2", {.drop_every = 2}, {"+7+\r", "", "+7+\r", "", "+7+\r"}},
      {"refuse every 2", {.refuse_every = 2}, {"+7+\r", "-\r", "+7+\r", "-\r", "+7+\r"}},
  };
  for (const Case& c : cases) {
    DeviceSetup s = Attached();
    s.faults = c.plan;
    Bench bench(s);
    for (size_t i = 0; i < c.answers.size(); ++i) {
      EXPECT_EQ(bench.Send("g.0095\r"), c.answers[i]) << c.name << " frame " << i + 1;
    }
    // A probe is no frame and never counts.
    EXPECT_EQ(bench.Send("\r"), "?\r") << c.name;
  }
}

TEST(SimFaults, UnplugAfterAFramePullsTheLineOnceItWasAnswered) {
  DeviceSetup s = Attached();
  s.faults.unplug_after = 2;
  Bench bench(s);
  EXPECT_EQ(bench.Send(Frame('X', "8000")), "+\r");
  EXPECT_EQ(bench.Send(Frame('X', "8200")), "+\r");
  EXPECT_TRUE(bench.line.Pulled(bench.now));
  EXPECT_EQ(bench.Send(Frame('X', "8400")), "");
  bench.line.Plug();
  // The same device, its memory as the pull left it.
  EXPECT_EQ(bench.Send("\r"), "?\r");
  EXPECT_EQ(bench.device.Erases(), 2u);
}

TEST(SimTiming, PacedBytesTakeTenBitTimesAndErasesTakeTheirTime) {
  DeviceSetup s = Attached();
  s.device_timing = true;
  Bench bench(s, LineOptions{.pace = true});
  // "g.0095\r" (7 bytes) and "+7+\r" (4 bytes) at 9600 baud, 1041.7 us a
  // byte: the answer's last byte is in 7291 + 4166 us after the write began.
  EXPECT_EQ(bench.Send("g.0095\r", 11456), "+7+");
  EXPECT_EQ(bench.Wait(1), "\r");
  // An erase adds the profile's 25 ms before the answer.
  const std::string x = Frame('X', "8000");
  EXPECT_EQ(bench.Send(x, x.size() * 10 * 1000000 / 9600 + 25000), "");
  EXPECT_EQ(bench.Wait(2 * 10 * 1000000 / 9600), "+\r");
}

TEST(SimTiming, AHostAtAnotherRateIsNotHeard) {
  Bench bench;
  bench.line.SetHostBaud(19200);
  EXPECT_EQ(bench.Send("get -ver\r"), "");
  bench.line.SetHostBaud(9600);
  EXPECT_EQ(bench.Send("get -ver\r"), "\r\nPUMATIC 1.05\r\n>");
}

TEST(SimRecords, TranscriptAndDump) {
  Bench bench;
  bench.Send("get -sn\r");
  const auto& lines = bench.device.Log().Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "{\"t_ms\":0.000,\"from\":\"host\",\"text\":\"get -sn\\r\"}");
  EXPECT_EQ(lines[1], "{\"t_ms\":0.000,\"from\":\"device\",\"text\":\"\\r\\nPM24-00317\\r\\n>\"}");
  EXPECT_EQ(JsonQuote(std::string("a\"\\\x01\xFF", 5)), "\"a\\\"\\\\\\u0001\\u00ff\"");

  test::TempDir dir;
  const std::string path = dir.File("dump.txt");
  ASSERT_TRUE(WriteDumpFile(bench.device, path.c_str()));
  const std::string dump = test::ReadWholeFile(path);
  EXPECT_NE(dump.find("setting sn: \"PM24-00317\""), std::string::npos);
  EXPECT_NE(dump.find("@08000\n48 56 46 57 50 55 4D 41 54 49 43 00"), std::string::npos);
  EXPECT_NE(dump.find("post: Code Good!"), std::string::npos);
}

TEST(SimOptions, HelpNamesEveryOptionAndBadLinesAreRefused) {
  const char* every[] = {
      "--kind",           "--state",      "--version",       "--sn",         "--battery",
      "--link",           "--pace",       "--device-timing", "--erase-ms",   "--write-us",
      "--no-baud-check",  "--drop-frame", "--refuse-frame",  "--drop-every", "--refuse-every",
      "--unplug-after",   "--replug-ms",  "--silent",        "--echo",       "--post-corrupt",
      "--dataflash-fail", "--no-loader",  "--transcript",    "--dump",       "--help"};
  for (const char* o : every) EXPECT_NE(std::string(HalvsimUsage()).find(o), std::string::npos);

  struct Case {
    std::vector<const char*> args;
    int32_t result;
  };
  const Case cases[] = {
      {{"--kind", "24", "--state", "attached", "--drop-frame", "3"}, 1},
      {{"--kind", "nosuch"}, -1},
      {{"--state", "asleep"}, -1},
      {{"--drop-frame"}, -1},
      {{"--drop-frame", "-3"}, -1},
      {{"--battery", "99999999999999"}, -1},
      {{"--version", "12345678901234567"}, -1},
      {{"--bogus"}, -1},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("halvsim")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    HalvsimOptions o;
    std::string error;
    EXPECT_EQ(ParseHalvsimOptions(static_cast<int>(argv.size()), argv.data(), &o, &error), c.result)
        << c.args[0];
    EXPECT_EQ(error.empty(), c.result > 0) << error;
  }
}

}  // namespace
}  // namespace halv::sim
