#include "log/diag_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <regex>

#include "support/temp_dir.h"

namespace halv {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

// "k" lines of exactly `width` bytes each, "\r\n" included.
std::string Lines(int k, int width) {
  std::string text;
  for (int i = 0; i < k; ++i) {
    std::string line = std::to_string(i) + ":";
    line.resize(static_cast<size_t>(width) - 2, 'x');
    text += line + "\r\n";
  }
  return text;
}

TEST(DiagLog, LineHasStampTagMessageAndCrLf) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogProgress, true);
  const int32_t n = LogMessage(&log, kLogProgress, "COM3", "DSClose %s port", "closed comm");
  const std::string text = ReadWholeFile(log.file_name);
  EXPECT_EQ(n, static_cast<int32_t>(text.size()));
  EXPECT_TRUE(std::regex_match(
      text,
      std::regex(
          R"(\d{1,2} [A-Z][a-z]{2} \d{4} \d{1,2}:\d\d:\d\d - COM3: DSClose closed comm port\r\n)")))
      << text;
}

TEST(DiagLog, StampFormat) {
  struct tm t {};
  t.tm_mday = 7;
  t.tm_mon = 11;
  t.tm_year = 2026 - 1900;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 3;
  EXPECT_EQ(FormatLogStamp(t), "7 Dec 2026 9:05:03");
  t.tm_mon = 0;
  t.tm_hour = 23;
  EXPECT_EQ(FormatLogStamp(t), "7 Jan 2026 23:05:03");
}

TEST(DiagLog, LevelsFilterMessages) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogProgress, true);
  EXPECT_EQ(LogMessage(&log, kLogDetail, "t", "byte detail"), 0);
  EXPECT_GT(LogMessage(&log, kLogProgress, "t", "progress"), 0);

  CreateDiagLog(&log, dir.File("off.txt").c_str(), kLogOff, true);
  EXPECT_EQ(LogMessage(&log, kLogError, "t", "error"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("off.txt")));

  EXPECT_EQ(LogMessage(nullptr, kLogError, "t", "nowhere"), 0);
}

TEST(DiagLog, OnlyKnownLevelsAreTaken) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("a.txt").c_str(), 20, false);
  EXPECT_EQ(log.level, kLogError);
  EXPECT_TRUE(SetLogLevel(&log, kLogDetail));
  EXPECT_FALSE(SetLogLevel(&log, 20));
  EXPECT_EQ(log.level, kLogDetail);
  for (uint32_t level : {0u, 1u, 10u, 30u, 40u}) EXPECT_TRUE(SetLogLevel(&log, level));
}

TEST(DiagLog, NullNameWritesErrorTxtInWorkingFolder) {
  TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  DiagLog log;
  CreateDiagLog(&log, nullptr, kLogError, false);
  LogMessage(&log, kLogError, "t", "x");
  EXPECT_TRUE(std::filesystem::exists(dir.File("error.txt")));
  std::filesystem::current_path(previous);
}

TEST(DiagLog, EraseFlagDeletesOldFile) {
  TempDir dir;
  WriteWholeFile(dir.File("run.txt"), "old line\r\n");
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, false);
  EXPECT_TRUE(std::filesystem::exists(log.file_name));
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, true);
  EXPECT_FALSE(std::filesystem::exists(log.file_name));
}

TEST(DiagLog, UnopenableFileLosesLineSilently) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("no/such/folder/run.txt").c_str(), kLogError, false);
  EXPECT_EQ(LogMessage(&log, kLogError, "t", "lost"), 0);
  EXPECT_LT(LogSize(&log), 0);
}

TEST(DiagLog, HugeMessagesAndArgumentsAreWrittenWhole) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, true);
  const std::string big(100000, 'a');
  const std::string tag(5000, 'T');
  const int32_t n = LogMessage(&log, kLogError, tag.c_str(), "<%s|%s>", big.c_str(), big.c_str());
  const std::string text = ReadWholeFile(log.file_name);
  EXPECT_EQ(n, static_cast<int32_t>(text.size()));
  EXPECT_NE(text.find("<" + big + "|" + big + ">\r\n"), std::string::npos);
  EXPECT_NE(text.find(" - " + tag + ": "), std::string::npos);
}

TEST(DiagLog, KeepLastLeavesShortFileAlone) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, false);
  const std::string text = Lines(100, 100);  // 10000 bytes
  WriteWholeFile(log.file_name, text);
  EXPECT_TRUE(LogKeepLast(&log, 32768));
  EXPECT_EQ(ReadWholeFile(log.file_name), text);
  EXPECT_EQ(LogSize(&log), 10000);
}

TEST(DiagLog, KeepLastKeepsWholeLinesWithinCount) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, false);
  const std::string text = Lines(1000, 100);  // 100000 bytes
  WriteWholeFile(log.file_name, text);
  EXPECT_TRUE(LogKeepLast(&log, 32768));
  const std::string kept = ReadWholeFile(log.file_name);
  EXPECT_LE(kept.size(), 32768u);
  EXPECT_EQ(kept, text.substr(text.size() - kept.size()));
  EXPECT_EQ(kept.substr(0, 4), "673:");  // begins with a whole line
  EXPECT_FALSE(std::filesystem::exists(log.file_name + ".temp"));
}

TEST(DiagLog, KeepLastOnMissingFileFails) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("absent.txt").c_str(), kLogError, false);
  EXPECT_FALSE(LogKeepLast(&log, 100));
}

TEST(DiagLog, MaximumSizeCutsBackToLastThird) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, true);
  log.max_size = 3000;
  // 29 lines of 100 bytes; the logged line brings the file past 3000 bytes.
  const std::string before = Lines(29, 100);
  WriteWholeFile(log.file_name, before);
  const int32_t n = LogMessage(&log, kLogError, "t", "%s", std::string(120, 'z').c_str());
  const std::string kept = ReadWholeFile(log.file_name);
  ASSERT_GE(kept.size(), static_cast<size_t>(n));
  const std::string whole = before + kept.substr(kept.size() - static_cast<size_t>(n));
  ASSERT_GT(whole.size(), 3000u);
  // The lines after the first line end within the last 990 bytes.
  const size_t cut = whole.find('\n', whole.size() - 990) + 1;
  EXPECT_EQ(kept, whole.substr(cut));
  EXPECT_LE(kept.size(), 990u);
}

TEST(DiagLog, StaleTempFileIsNotGluedIntoTheLog) {
  TempDir dir;
  DiagLog log;
  CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogError, false);
  WriteWholeFile(log.file_name + ".temp", "left by an interrupted cut\r\n");
  WriteWholeFile(log.file_name, Lines(1000, 100));
  EXPECT_TRUE(LogKeepLast(&log, 1000));
  EXPECT_EQ(ReadWholeFile(log.file_name).find("interrupted"), std::string::npos);
}

}  // namespace
}  // namespace halv
