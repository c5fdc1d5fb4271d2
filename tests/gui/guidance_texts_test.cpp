// The texts of the window outside an update, the erase-warning table and the
// command-line switches.
#include "gui/guidance_texts.h"

#include <gtest/gtest.h>

#include "gui/command_switches.h"
#include "gui/port_list.h"

namespace halv::gui {
namespace {

TEST(GuidanceTexts, HelpTextHasTheErasePartOnlyWhenTheKindWarns) {
  const std::string erase =
      "WARNING: Updating the firmware in your Pumatic will erase any stored measurement data.\n"
      "Please download any measurement data stored in your Pumatic that you want to save.\n\n";
  const std::string head =
      "The Pumatic Firmware Updater replaces the firmware that operates your Pumatic.\n"
      "Following the simple steps will help ensure a successful update.\n\n";
  const std::string next =
      "Before beginning these steps, please make sure your instrument is powered on.\n\n";
  EXPECT_EQ(HelpText("Pumatic Firmware Updater", "Pumatic", false).substr(0, (head + next).size()),
            head + next);
  EXPECT_EQ(
      HelpText("Pumatic Firmware Updater", "Pumatic", true).substr(0, (head + erase + next).size()),
      head + erase + next);
  const std::string text = HelpText("Pumatic Firmware Updater", "Pumatic", false);
  EXPECT_NE(text.find("Step 1. Connect your Pumatic to an available USB or serial communication "
                      "port on your\ncomputer.\n\n"),
            std::string::npos);
  EXPECT_NE(text.find("WARNING: Do not quit the Pumatic Firmware Updater while the updater is "
                      "running.\n"),
            std::string::npos);
  EXPECT_NE(text.find("If you have trouble with this Pumatic Firmware Updater, Please contact "
                      "QUORRIN or\nan authorized QUORRIN Group Distributor for help:\n\n" +
                      std::string(kMakerContactBlock)),
            std::string::npos);
}

TEST(GuidanceTexts, EraseWarningAndAbout) {
  EXPECT_EQ(EraseWarningText("Thermik Firmware Updater", "Thermik"),
            "WARNING: The Thermik Firmware Updater will erase all measurement data\n stored in "
            "your Thermik.\n\n Please download any data you want to save before continuing.");
  const std::string about = AboutText("2.3.4");
  EXPECT_EQ(about.substr(0, about.find("\u00a9")),
            "Firmware Updater for Linux\n\nHalvBSL Engine version 2.3.4\n"
            "Communication Protocol version 1.8.4\n\n");
  EXPECT_EQ(AboutCaption("Pumatic"), "About Pumatic Firmware Updater");
}

TEST(GuidanceTexts, KindsThatWarnBeforeErasing) {
  const int warn[] = {1, 2, 3, 4, 5, 7, 8, 9, 11, 14, 15, 16, 18, 19, 22, 23};
  const int quiet[] = {0, 6, 10, 12, 13, 17, 20, 21, 24, -1, 25, 200};
  for (int kind : warn) EXPECT_TRUE(WarnsBeforeErasing(kind)) << kind;
  for (int kind : quiet) EXPECT_FALSE(WarnsBeforeErasing(kind)) << kind;
}

TEST(CommandSwitches, OnlyTheExactWordsCount) {
  struct Case {
    std::vector<std::string> args;
    bool factory;
    bool file_opening;
  };
  const Case cases[] = {
      {{"halvbsl"}, false, false},
      {{"halvbsl", "-rep"}, false, true},
      {{"halvbsl", "-factory"}, true, true},
      {{"halvbsl", "-Factory", "-REP", "--factory", "-factory=1", "factory", ""}, false, false},
      {{"halvbsl", "x", "-rep", "-factory"}, true, true},
      {{"-factory"}, false, false},  // the program name is not a switch
  };
  for (const Case& c : cases) {
    const CommandSwitches s = ParseCommandSwitches(c.args);
    EXPECT_EQ(s.factory_mode, c.factory) << c.args.back();
    EXPECT_EQ(s.file_opening, c.file_opening) << c.args.back();
  }
}

TEST(NamedPorts, PathsSeparatedByColons) {
  EXPECT_TRUE(SplitNamedPorts(nullptr).empty());
  EXPECT_TRUE(SplitNamedPorts("").empty());
  EXPECT_TRUE(SplitNamedPorts(":::").empty());
  EXPECT_EQ(SplitNamedPorts("/dev/pts/3"), std::vector<std::string>{"/dev/pts/3"});
  EXPECT_EQ(SplitNamedPorts(":/dev/pts/3::/tmp/sim link:"),
            (std::vector<std::string>{"/dev/pts/3", "/tmp/sim link"}));
}

}  // namespace
}  // namespace halv::gui
