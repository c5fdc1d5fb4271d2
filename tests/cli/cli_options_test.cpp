#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halv::cli {
namespace {

struct Parsed {
  bool ok;
  Options options;
  std::string error;
};

Parsed Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "halvbsl-cli");
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  Parsed p;
  p.ok = ParseOptions(static_cast<int>(argv.size()), argv.data(), &p.options, &p.error);
  return p;
}

TEST(CliOptions, Update) {
  const Parsed p = Parse({"update", "--port", "ttyUSB0", "--factory", "--new-sn", "SN-1",
                          "--no-erase", "--yes", "--firmware", "f.txt", "--log", "l.txt"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.command, Command::kUpdate);
  EXPECT_EQ(p.options.port, "ttyUSB0");
  EXPECT_TRUE(p.options.factory);
  EXPECT_TRUE(p.options.replace_serial_number);
  EXPECT_EQ(p.options.new_serial_number, "SN-1");
  EXPECT_TRUE(p.options.no_erase);
  EXPECT_TRUE(p.options.yes);
  EXPECT_EQ(p.options.firmware_file, "f.txt");
  EXPECT_EQ(p.options.log_file, "l.txt");
}

TEST(CliOptions, OtherCommands) {
  EXPECT_EQ(Parse({"ports"}).options.command, Command::kPorts);
  EXPECT_EQ(Parse({"info", "--port", "/dev/pts/3"}).options.port, "/dev/pts/3");
  const Parsed dump = Parse({"dump", "image.txt"});
  ASSERT_TRUE(dump.ok);
  EXPECT_EQ(dump.options.dump_file, "image.txt");
  EXPECT_EQ(Parse({"--help"}).options.command, Command::kHelp);
  EXPECT_EQ(Parse({"update", "--help"}).options.command, Command::kHelp);
  EXPECT_EQ(Parse({"--rep", "--firmware", "x.txt", "update", "--port", "p"}).options.rep, true);
}

TEST(CliOptions, RefusedCommandLines) {
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"frobnicate"},
      {"update"},
      {"update", "--port"},
      {"update", "--port", ""},
      {"update", "--port", std::string(5000, 'p')},
      {"update", "--port", "p", "--firmware", "f.txt"},
      {"update", "--port", "p", "--rep", "--new-sn", "1"},
      {"update", "--port", "p", "--no-erase"},
      {"update", "--port", "p", "--factory", "--new-sn", "1234567890123456"},
      {"update", "--port", "p", "--sensor-type", "93"},
      {"update", "--port", "p", "--factory", "--sensor-type", "9x"},
      {"update", "--port", "p", "--bogus"},
      {"update", "--port", "p", "extra"},
      {"dump"},
      {"info"},
      {"-factory", "update", "--port", "p"},
  };
  for (const auto& words : refused) {
    const Parsed p = Parse(words);
    std::string line;
    for (const auto& w : words) line += w.substr(0, 20) + " ";
    EXPECT_FALSE(p.ok) << line;
    EXPECT_FALSE(p.error.empty()) << line;
    EXPECT_LT(p.error.size(), 200u) << line;
  }
}

TEST(CliOptions, HelpNamesEveryOptionAndExitStatus) {
  const std::string help = HelpText();
  for (const char* word :
       {"update", "ports", "info", "dump", "--port", "--factory", "--rep", "--firmware", "--new-sn",
        "--no-erase", "--yes", "--log", "--sensor-type", "Exit status"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace halv::cli
