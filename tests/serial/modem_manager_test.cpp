// ModemManager and the port list: finding it among the processes, which
// ports it probes, and the mark those ports get while it runs.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serial/linux_ports.h"
#include "serial/port_enum.h"
#include "serial/posix_port.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

namespace fs = std::filesystem;

bool Running(DiagLog*) {
  return true;
}
bool NotRunning(DiagLog*) {
  return false;
}

// Installs a ModemManager check for the length of a scope.
class FakeModemManager {
 public:
  explicit FakeModemManager(bool running)
      : previous_(SetModemManagerCheck(running ? Running : NotRunning)) {}
  ~FakeModemManager() { SetModemManagerCheck(previous_); }

 private:
  ModemManagerCheck previous_;
};

TEST(ModemManagerProcessRuns, LooksAtTheCommOfNumberedFoldersOnly) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> processes;  // folder, comm
    bool runs;
  };
  const Case cases[] = {
      {"running", {{"1", "systemd"}, {"412", "ModemManager"}}, true},
      {"not running", {{"1", "systemd"}, {"77", "ModemManagerX"}, {"78", "modemmanager"}}, false},
      {"not a process folder", {{"self", "ModemManager"}, {"4a", "ModemManager"}}, false},
      {"no processes", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir proc;
    for (const auto& [folder, comm] : c.processes) {
      fs::create_directories(proc.Path() / folder);
      test::WriteWholeFile(proc.File(folder + "/comm"), comm + "\n");
    }
    EXPECT_EQ(ModemManagerProcessRuns(proc.Path().string(), nullptr), c.runs);
  }
  // A process whose folder has no comm (it ended meanwhile), and no /proc.
  test::TempDir proc;
  fs::create_directories(proc.Path() / "9");
  EXPECT_FALSE(ModemManagerProcessRuns(proc.Path().string(), nullptr));
  EXPECT_FALSE(ModemManagerProcessRuns(proc.File("missing"), nullptr));
}

TEST(IsModemLikePort, UsbModemPortsByTheirName) {
  EXPECT_TRUE(IsModemLikePort("ttyACM0"));
  EXPECT_TRUE(IsModemLikePort("/dev/ttyACM12"));
  EXPECT_FALSE(IsModemLikePort("ttyUSB0"));
  EXPECT_FALSE(IsModemLikePort("ttyS0"));
  EXPECT_FALSE(IsModemLikePort("/tmp/ttyACM0/ttyUSB1"));
  EXPECT_FALSE(IsModemLikePort(""));
}

// Ports given by path in a folder of links to pseudo-terminals.
class MarkTest : public ::testing::Test {
 protected:
  MarkTest() {
    fs::create_directories(dir.Path() / "sys" / "class" / "tty");
    sources.sysfs_root = dir.File("sys");
    sources.dev_root = dir.File("dev");
    fs::create_directories(sources.dev_root);
    for (const char* name : {"ttyACM0", "ttyUSB0", "ttyACM1"}) {
      int slave = -1;
      char path[256] = {};
      masters.push_back(-1);
      EXPECT_EQ(openpty(&masters.back(), &slave, path, nullptr, nullptr), 0);
      close(slave);
      fs::create_symlink(path, fs::path(sources.dev_root) / name);
      sources.named_ports.push_back(name);
    }
  }
  ~MarkTest() override {
    for (int fd : masters) close(fd);
  }

  std::vector<std::string> List() {
    entries = {};
    int32_t count = kMaxPortEntries;
    EXPECT_GE(CommPortEnum(nullptr, sources, entries.data(), &count, false), 1);
    std::vector<std::string> texts;
    for (int32_t i = 0; i < count; ++i) texts.emplace_back(entries[i].display_text.view());
    return texts;
  }

  test::TempDir dir;
  PortSources sources;
  std::vector<int> masters;
  std::array<PortEntry, kMaxPortEntries> entries;
};

TEST_F(MarkTest, ModemLikePortsAreMarkedWhileModemManagerRuns) {
  {
    FakeModemManager mm(true);
    std::unique_ptr<Port> held;
    ASSERT_EQ(OpenPosixPort((fs::path(sources.dev_root) / "ttyACM1").c_str(), &held), 1);
    EXPECT_EQ(List(), (std::vector<std::string>{"ttyACM0 (ModemManager)", "ttyUSB0",
                                                "ttyACM1 (busy) (ModemManager)"}));
    EXPECT_EQ(entries[0].modem_manager, 1);
    EXPECT_EQ(entries[1].modem_manager, 0);
    EXPECT_EQ(entries[2].busy, 1);
  }
  FakeModemManager mm(false);
  EXPECT_EQ(List(), (std::vector<std::string>{"ttyACM0", "ttyUSB0", "ttyACM1"}));
  EXPECT_EQ(entries[0].modem_manager, 0);
}

}  // namespace
}  // namespace halv
