// Erasing and programming against a scripted loader on virtual time: the
// exact frames, the pauses between attempts, the recovery after a failed
// block, progress reports and cancelling.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bsl/flash.h"
#include "support/virtual_line.h"

namespace halv {
namespace {

// Each frame the host writes, with the virtual time it was written at.
struct Stamp {
  uint64_t at_ms;
  std::string bytes;
};

class StampedPort : public Port {
 public:
  StampedPort(std::unique_ptr<Port> inner, std::vector<Stamp>* stamps)
      : inner_(std::move(inner)), stamps_(stamps) {}
  int32_t SetQueueSizes(uint32_t in, uint32_t out) override {
    return inner_->SetQueueSizes(in, out);
  }
  int32_t GetLineSettings(LineSettings* s) override { return inner_->GetLineSettings(s); }
  int32_t SetLineSettings(const LineSettings& s) override { return inner_->SetLineSettings(s); }
  int32_t SetTimeouts(const PortTimeouts& t) override { return inner_->SetTimeouts(t); }
  int32_t SetDtr(bool raised) override { return inner_->SetDtr(raised); }
  int32_t ClearErrors() override { return inner_->ClearErrors(); }
  int32_t PurgeInput() override { return inner_->PurgeInput(); }
  int32_t Write(const uint8_t* bytes, size_t count) override {
    stamps_->push_back(
        {CurrentClock().NowMs(), std::string(reinterpret_cast<const char*>(bytes), count)});
    return inner_->Write(bytes, count);
  }
  int32_t Read(uint8_t* destination, size_t capacity) override {
    return inner_->Read(destination, capacity);
  }
  int32_t Close() override { return inner_->Close(); }
  intptr_t Handle() const override { return inner_->Handle(); }

 private:
  std::unique_ptr<Port> inner_;
  std::vector<Stamp>* stamps_;
};

class StampedBackend : public PortBackend {
 public:
  StampedBackend(PortBackend* inner, std::vector<Stamp>* stamps) : inner_(inner), stamps_(stamps) {}
  int32_t Open(const char* name, std::unique_ptr<Port>* port) override {
    std::unique_ptr<Port> opened;
    const int32_t rc = inner_->Open(name, &opened);
    if (rc > 0) *port = std::make_unique<StampedPort>(std::move(opened), stamps_);
    return rc;
  }

 private:
  PortBackend* inner_;
  std::vector<Stamp>* stamps_;
};

std::string Frame(char letter, const std::string& payload) {
  const std::string body = letter + payload;
  char seal[8];
  snprintf(seal, sizeof seal, ".%04X\r",
           BslChecksum(body.data(), static_cast<uint32_t>(body.size())));
  return body + seal;
}

std::string Erase(const char* format, uint32_t address) {
  char digits[8];
  snprintf(digits, sizeof digits, format, address);
  return Frame('X', digits);
}

// Progress reports, and the report (counted from 1) that answers 0.
struct Report {
  uint32_t total, done;
  int phase;
  char letter;
  bool operator==(const Report&) const = default;
};
std::vector<Report> g_reports;
size_t g_cancel_at = 0;
int Record(uint32_t total, uint32_t done, int phase, char letter) {
  g_reports.push_back({total, done, phase, letter});
  return g_reports.size() == g_cancel_at ? 0 : 1;
}

class FlashTest : public test::VirtualLineTest {
 protected:
  FlashTest() : stamped(&backend, &stamps), use_stamped(&stamped), progress(Record), host(&log) {
    g_reports.clear();
    g_cancel_at = 0;
    EXPECT_EQ(DSOpen(&host.channel, "COM3", 9600), 1);
    host.connected = 1;
    host.retries = 3;
  }

  void SetImage(const std::string& text) {
    delete[] host.image_text;
    host.image_text = new char[text.size() + 1];
    memcpy(host.image_text, text.c_str(), text.size() + 1);
    host.image_length = static_cast<uint32_t>(text.size());
  }
  // The loader accepts the frame.
  void Ok(const std::string& frame) { line->Expect(frame).Reply("+\r"); }
  void Refused(const std::string& frame) { line->Expect(frame).Reply("-\r"); }
  std::vector<std::string> Frames() const {
    std::vector<std::string> frames;
    for (const Stamp& s : stamps) frames.push_back(s.bytes);
    return frames;
  }
  uint64_t Gap(size_t from, size_t to) const { return stamps.at(to).at_ms - stamps.at(from).at_ms; }

  std::vector<Stamp> stamps;
  StampedBackend stamped;
  ScopedPortBackend use_stamped;
  ScopedLoaderProgress progress;
  HostBSL host;
};

TEST_F(FlashTest, EraseInfoSegments) {
  Ok(Erase("%04X", 0x1000));
  Ok(Erase("%04X", 0x1080));
  EXPECT_GT(BSLEraseINFO(&host, 0x1000, 2, 128, false), 0);
  EXPECT_EQ(Frames(), (std::vector<std::string>{"X1000.0147\r", Erase("%04X", 0x1080)}));
  EXPECT_TRUE(Logged("BSLEraseINFO successful: 2 segments @ 1000 ("));
  EXPECT_EQ(BSLEraseINFO(&host, 0x1000, 0, 128, false), 0);
  EXPECT_EQ(stamps.size(), 2u);

  Refused(Erase("%05X", 0x1800));
  Refused(Erase("%05X", 0x1800));
  Refused(Erase("%05X", 0x1800));
  EXPECT_EQ(BSLEraseINFO(&host, 0x1800, 4, 128, true), kBslRefused);
  EXPECT_EQ(stamps.size(), 5u);  // stops at the first segment that failed
  EXPECT_TRUE(Logged("BSLEraseINFO failed with error -1 ("));
  EXPECT_TRUE(line->Finished());
}

TEST_F(FlashTest, EraseFlashSegments) {
  struct Case {
    uint32_t start, end;
    bool extended;
    std::vector<uint32_t> segments;
    int32_t rc;  // 1 stands for "positive"
  };
  std::vector<uint32_t> pumatic, large;
  for (uint32_t a = 0x8000; a <= 0xF800; a += 0x200) pumatic.push_back(a);
  for (uint32_t a = 0x2100; a <= 0xF900; a += 0x200) large.push_back(a);
  for (uint32_t a = 0x10000; a <= 0x1FE00; a += 0x200) large.push_back(a);
  ASSERT_EQ(pumatic.size(), 61u);
  const Case cases[] = {
      {0x8000, 0xF9FF, false, pumatic, 1},
      {0x2100, 0x1FF00, true, large, 1},
      {0xFA00, 0x10000, false, {}, kBslOutOfRange},
      {0xFFFF, 0x20000, true, {}, kBslOutOfRange},
      {0x8000, 0x8000, false, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    stamps.clear();
    std::vector<std::string> frames;
    for (uint32_t a : c.segments) {
      frames.push_back(Erase(c.extended ? "%05X" : "%04X", a));
      Ok(frames.back());
    }
    const int32_t rc = BSLEraseFlash(&host, c.start, c.end, c.extended);
    EXPECT_EQ(rc > 0 ? 1 : rc, c.rc);
    EXPECT_EQ(Frames(), frames);
    EXPECT_TRUE(line->Finished());
  }
  EXPECT_TRUE(Logged("BSLEraseFlash successful: segment 8000 to F9FF (0 s)"));
  EXPECT_TRUE(Logged("BSLEraseFlash successful: segment 2100 to 1FF00 ("));
  EXPECT_FALSE(Logged("segment FA00"));
}

TEST_F(FlashTest, RefusedEraseIsRetriedAfterAPause) {
  Ok(Erase("%04X", 0x8000));
  Refused(Erase("%04X", 0x8200));
  Ok(Erase("%04X", 0x8200));
  Ok(Erase("%04X", 0x8400));
  EXPECT_GT(BSLEraseFlash(&host, 0x8000, 0x8600, false), 0);
  ASSERT_EQ(stamps.size(), 4u);
  const uint64_t exchange = Gap(0, 1);  // one accepted command
  EXPECT_EQ(Gap(1, 2), exchange + kBetweenAttemptsMs);
  EXPECT_EQ(Gap(2, 3), exchange);

  stamps.clear();
  for (int i = 0; i < 3; ++i) Refused(Erase("%04X", 0x8000));
  EXPECT_EQ(BSLEraseFlash(&host, 0x8000, 0x8600, false), kBslRefused);
  EXPECT_EQ(stamps.size(), 3u);
  EXPECT_TRUE(Logged("BSLEraseFlash failed with error -1 ("));
  EXPECT_TRUE(line->Finished());
}

TEST_F(FlashTest, EraseReportsEveryTenthSegmentAndCanBeCancelled) {
  host.show_progress = 1;
  for (uint32_t a = 0x8000; a <= 0xF800; a += 0x200) Ok(Erase("%04X", a));
  EXPECT_GT(BSLEraseFlash(&host, 0x8000, 0xF9FF, false), 0);
  std::vector<Report> expected;
  for (uint32_t done = 0; done <= 60; done += 10) expected.push_back({60, done, 1, 'X'});
  expected.push_back({60, 60, 2, 'X'});
  EXPECT_EQ(g_reports, expected);

  g_reports.clear();
  g_cancel_at = 2;
  stamps.clear();
  for (uint32_t a = 0x8000; a < 0x8000 + 10 * 0x200; a += 0x200) Ok(Erase("%04X", a));
  EXPECT_EQ(BSLEraseFlash(&host, 0x8000, 0xF9FF, false), kBslCancelled);
  EXPECT_EQ(stamps.size(), 10u);
  EXPECT_TRUE(Logged("BSLEraseFlash failed with error -40 ("));
  EXPECT_TRUE(line->Finished());

  // Without show progress the hook is never called.
  g_reports.clear();
  host.show_progress = 0;
  Ok(Erase("%04X", 0x8000));
  EXPECT_GT(BSLEraseFlash(&host, 0x8000, 0x8200, false), 0);
  EXPECT_TRUE(g_reports.empty());
}

std::string Digits(size_t count) {
  std::string digits;
  for (size_t i = 0; i < count; ++i) digits += "0123456789ABCDEF"[(i * 7) % 16];
  return digits;
}

TEST_F(FlashTest, FirmwareGoesInBlocksOf512Digits) {
  const std::string data = Digits(1000);
  SetImage("@08000" + data + "@0FE00" + "1234");
  for (bool extended : {false, true}) {
    SCOPED_TRACE(extended);
    stamps.clear();
    const std::vector<std::string> frames = {
        Frame('@', extended ? "08000" : "8000"), Frame('W', data.substr(0, 512)),
        Frame('W', data.substr(512)), Frame('@', extended ? "0FE00" : "FE00"), Frame('W', "1234")};
    for (const std::string& f : frames) Ok(f);
    EXPECT_GT(BSLSendFirmware(&host, extended), 0);
    EXPECT_EQ(Frames(), frames);
    EXPECT_EQ(frames[1].size(), 519u);
    EXPECT_TRUE(line->Finished());
  }
  EXPECT_TRUE(Logged("BSLSendAddress (0FE00) successful"));
  EXPECT_TRUE(Logged("BSLSendFirmware successful (0 s)"));
}

TEST_F(FlashTest, FailedBlockIsResentFromItsAddress) {
  const std::string data = Digits(1024);
  SetImage("@08000" + data);
  const std::string address = Frame('@', "8000");
  const std::string second_address = Frame('@', "8100");
  const std::string first = Frame('W', data.substr(0, 512));
  const std::string second = Frame('W', data.substr(512));
  Ok(address);
  Ok(first);
  Refused(second);
  Ok(second_address);
  line->Expect(second);  // the answer is lost
  Ok(second_address);
  Ok(second);
  EXPECT_GT(BSLSendFirmware(&host, false), 0);
  EXPECT_EQ(Frames(), (std::vector<std::string>{address, first, second, second_address, second,
                                                second_address, second}));
  const uint64_t exchange = Gap(0, 1);
  EXPECT_EQ(Gap(2, 3), exchange + kBetweenAttemptsMs);
  EXPECT_GT(Gap(4, 5), 1000u + kBetweenAttemptsMs);  // the reply was waited for first
  EXPECT_TRUE(line->Finished());

  // Every attempt refused: no address after the last one, and the code of
  // the last "W".
  stamps.clear();
  Ok(address);
  Refused(first);
  Ok(address);
  Refused(first);
  Ok(address);
  Refused(first);
  EXPECT_EQ(BSLSendFirmware(&host, false), kBslRefused);
  EXPECT_EQ(Frames(), (std::vector<std::string>{address, first, address, first, address, first}));
  EXPECT_TRUE(Logged("BSLSendFirmware failed with error -1 ("));

  // A refused address ends the block with its code.
  stamps.clear();
  Ok(address);
  Refused(first);
  for (int i = 0; i < 3; ++i) Refused(address);
  EXPECT_EQ(BSLSendFirmware(&host, false), kBslRefused);
  EXPECT_EQ(stamps.size(), 5u);
  EXPECT_TRUE(Logged("BSLSendAddress (08000) failed with error -1"));
  EXPECT_TRUE(line->Finished());
}

TEST_F(FlashTest, FirmwareProgressAndCancel) {
  host.show_progress = 1;
  const std::string data = Digits(1200);
  SetImage("@08000" + data);
  Ok(Frame('@', "8000"));
  Ok(Frame('W', data.substr(0, 512)));
  Ok(Frame('W', data.substr(512, 512)));
  Ok(Frame('W', data.substr(1024)));
  EXPECT_GT(BSLSendFirmware(&host, false), 0);
  EXPECT_EQ(
      g_reports,
      (std::vector<Report>{
          {1206, 0, 1, 'W'}, {1206, 512, 1, 'W'}, {1206, 1024, 1, 'W'}, {1206, 1206, 2, 'W'}}));

  // Cancelled at the second report: the block under way is not sent.
  g_reports.clear();
  g_cancel_at = 2;
  stamps.clear();
  Ok(Frame('@', "8000"));
  EXPECT_EQ(BSLSendFirmware(&host, false), kBslCancelled);
  EXPECT_EQ(stamps.size(), 1u);
  EXPECT_TRUE(Logged("BSLSendFirmware failed with error -40 ("));
  EXPECT_TRUE(line->Finished());
}

TEST_F(FlashTest, FirmwareNeedsAnImageBeginningWithAnAddress) {
  delete[] host.image_text;
  host.image_text = nullptr;
  host.image_length = 0;
  EXPECT_EQ(BSLSendFirmware(&host, false), kBslMissingArgument);
  SetImage("08000ABCD");
  EXPECT_EQ(BSLSendFirmware(&host, false), kBslOutOfRange);
  SetImage("@08Z00ABCD");  // an address that is not hexadecimal
  EXPECT_EQ(BSLSendFirmware(&host, false), kBslOutOfRange);
  EXPECT_TRUE(stamps.empty());
}

TEST_F(FlashTest, VectorsAfterAPause) {
  std::string payload;
  for (uint32_t i = 0; i < kVectorCount; ++i) {
    host.vectors[i] = 0xFF00 + i;
    char word[8];
    snprintf(word, sizeof word, "%04X", 0xFF00 + i);
    payload += word;
  }
  const std::string frame = Frame('V', payload);
  line->Expect(frame).Reply("-");
  line->Expect(frame).Reply("+");
  const uint64_t start = Now();
  EXPECT_GT(BSLSendVectors(&host), 0);
  ASSERT_EQ(stamps.size(), 2u);
  EXPECT_EQ(stamps[0].at_ms, start + kBeforeVectorsMs);
  EXPECT_EQ(Frames(), (std::vector<std::string>{frame, frame}));
  EXPECT_TRUE(Logged("BSLSendVectors successful"));
  EXPECT_TRUE(line->Finished());
}

}  // namespace
}  // namespace halv
