#include "app/compat_checks.h"

#include <gtest/gtest.h>

#include "app/error_report.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

class CompatChecksTest : public ::testing::Test {
 protected:
  CompatChecksTest() {
    CreateDiagLog(&log, dir.File("errors.txt").c_str(), kLogError, true);
    settings.device_name = "Hydrel Q";
  }
  DeviceInfo Device(int kind, uint32_t version) {
    DeviceInfo info;
    LookupDeviceKind(kind, version, &info);
    return info;
  }
  std::string LogText() { return test::ReadWholeFile(log.file_name); }

  test::TempDir dir;
  DiagLog log;
  UpdateSettings settings;
  test::RecordingWindow window;
};

TEST_F(CompatChecksTest, VersionWindowOfHydrelQ) {
  EXPECT_FALSE(FirmwareVersionCheck(&window, &log, settings, Device(15, 201)));
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "Wrong Firmware Version");
  EXPECT_EQ(window.boxes[0].message_kind, kMessageError);
  EXPECT_EQ(window.boxes[0].text,
            "The Hydrel Q Firmware Updater doesn't support this Hydrel Q\nrunning version 2.01.\n\n"
            "This updater only works with firmware version 2.02 (or newer).");
  EXPECT_TRUE(FirmwareVersionCheck(&window, &log, settings, Device(15, 202)));
  EXPECT_TRUE(FirmwareVersionCheck(&window, &log, settings, Device(15, 999)));
  EXPECT_EQ(window.boxes.size(), 1u);
}

TEST_F(CompatChecksTest, UpperBoundIsTestedFirst) {
  settings.device_name = "Hydrel Q TDL";
  EXPECT_FALSE(FirmwareVersionCheck(&window, &log, settings, Device(22, 300)));
  EXPECT_NE(window.boxes[0].text.find("version 3.00.\n\nThis updater only works with firmware "
                                      "version 2.99 (or older)."),
            std::string::npos);
}

TEST_F(CompatChecksTest, FactorySwitchTurnsTheRefusalIntoAQuestion) {
  settings.rep_mode = true;
  window.answers = {true, false};
  EXPECT_TRUE(FirmwareVersionCheck(&window, &log, settings, Device(15, 100)));
  EXPECT_FALSE(FirmwareVersionCheck(&window, &log, settings, Device(15, 100)));
  ASSERT_EQ(window.boxes.size(), 2u);
  EXPECT_EQ(window.boxes[0].kind, "question");
  EXPECT_NE(window.boxes[0].text.find(
                "(or newer).\n\nClick OK to force the update anyway.\nClick CANCEL to quit the "
                "updater."),
            std::string::npos);
  EXPECT_EQ(LogText(), "");  // questions are not logged
}

TEST_F(CompatChecksTest, DeviceWithoutWindowAlwaysPasses) {
  EXPECT_TRUE(FirmwareVersionCheck(&window, &log, settings, Device(24, 1)));
  EXPECT_TRUE(FirmwareVersionCheck(&window, &log, settings, Device(24, 60000)));
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(CompatChecksTest, HardwareRevisionRules) {
  struct Case {
    HardwareRevisionRule rule;
    bool answered;
    std::string reply;
    bool passes;
  };
  const Case cases[] = {
      {HardwareRevisionRule::kAny, false, "", true},
      {HardwareRevisionRule::kOnlyC, true, "\r\n C\r\n>", true},
      {HardwareRevisionRule::kOnlyC, true, "B\r>", false},
      {HardwareRevisionRule::kOnlyC, false, "", false},
      {HardwareRevisionRule::kOnlyAOrB, true, "A", true},
      {HardwareRevisionRule::kOnlyAOrB, true, "  C", false},
      {HardwareRevisionRule::kOnlyAOrB, false, "", true},
  };
  for (const Case& c : cases) {
    int asked = 0;
    auto ask = [&](std::string* reply) {
      ++asked;
      *reply = c.reply;
      return c.answered;
    };
    window.boxes.clear();
    EXPECT_EQ(HardwareRevisionCheck(&window, &log, settings, c.rule, ask), c.passes) << c.reply;
    EXPECT_EQ(asked, c.rule == HardwareRevisionRule::kAny ? 0 : 1);
    EXPECT_EQ(window.boxes.size(), c.passes ? 0u : 1u);
  }
  window.boxes.clear();
  auto revision_b = [](std::string* reply) {
    *reply = "B";
    return true;
  };
  HardwareRevisionCheck(&window, &log, settings, HardwareRevisionRule::kOnlyC, revision_b);
  EXPECT_EQ(window.boxes[0].text,
            "The hardware revision of the connected Hydrel Q is 'B'.\n\n"
            "This updater only works with Hydrel Q hardware revision 'C'.");
  EXPECT_EQ(window.boxes[0].caption, "Wrong Hardware Revision");
}

TEST_F(CompatChecksTest, ConstructionErrors) {
  settings.device_name = "Pumatic";
  ReportConstructionError(&window, &log, settings, -60);
  ReportConstructionError(&window, &log, settings, -101);
  ReportConstructionError(&window, &log, settings, -5);
  ASSERT_EQ(window.boxes.size(), 3u);
  EXPECT_EQ(window.boxes[0].text,
            "The Pumatic Firmware Updater ran out of memory while allocating internal buffers.\n\n"
            "Please restart this application and try again.");
  EXPECT_EQ(window.boxes[1].text,
            "The internal firware file for this Pumatic Firmware Updater is corrupt.\n\n"
            "Please restart this application and try again.");
  EXPECT_EQ(window.boxes[2].text,
            "The Pumatic Firmware Updater got an unexpected error starting up.\n[Error: -5]\n\n"
            "Please restart this application and try again.");
  EXPECT_EQ(window.boxes[2].caption, "Application Launch Error");
  EXPECT_NE(LogText().find("HalvBSL frmMain: HostBSL class got an constructor error (-5)"),
            std::string::npos);
}

TEST_F(CompatChecksTest, PostUpdateNoticeOnlyForItsKinds) {
  ShowPostUpdateNotice(&window, &log, 24);
  EXPECT_TRUE(window.boxes.empty());
  ShowPostUpdateNotice(&window, &log, 9);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "Please Calibrate Your Stomex");
  EXPECT_EQ(window.boxes[0].message_kind, kMessageWarning);
  const std::string& text = window.boxes[0].text;
  EXPECT_EQ(text.substr(text.rfind('\n') + 1), kLiteratureAddress);
}

TEST_F(CompatChecksTest, EveryShownMessageIsLoggedAsOneEntry) {
  ShowErrorMessage(&window, &log, "line one\nline two", "About", kMessageInformation);
  EXPECT_NE(LogText().find(" - ErrorOK Told User:: line one\nline two\r\n"), std::string::npos);
}

}  // namespace
}  // namespace halv
