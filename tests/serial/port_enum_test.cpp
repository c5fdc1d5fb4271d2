// The port list on fixture trees: a fake sysfs with USB and platform ports,
// and a /dev whose nodes are pseudo-terminals, so that opening, holding and
// the busy mark are the real thing.
#include "serial/port_enum.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "serial/linux_ports.h"
#include "serial/posix_port.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteWholeFile;

// The USB device's attributes, by file name (idVendor, product, ...).
using UsbAttributes = std::map<std::string, std::string>;

// One pseudo-terminal; its far end stays open so the near end can be opened.
class Pty {
 public:
  Pty() {
    char name[256] = {};
    int slave = -1;
    EXPECT_EQ(openpty(&master_, &slave, name, nullptr, nullptr), 0);
    close(slave);
    path_ = name;
  }
  ~Pty() { close(master_); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

class PortTree {
 public:
  PortTree() {
    fs::create_directories(Sys() / "class" / "tty");
    fs::create_directories(Dev());
    sources.sysfs_root = Sys().string();
    sources.dev_root = Dev().string();
  }

  fs::path Sys() const { return dir_.Path() / "sys"; }
  fs::path Dev() const { return dir_.Path() / "dev"; }

  // A USB serial port: the tty under its usb-serial device, under the USB
  // interface, under the USB device that carries the attributes.
  void AddUsbPort(const std::string& name, const UsbAttributes& usb, bool with_node = true) {
    const fs::path device = Sys() / "devices" / "usb1" / ("1-" + std::to_string(++usb_count_));
    const fs::path port_device = device / "1-1:1.0" / name;
    fs::create_directories(port_device);
    for (const auto& [file, text] : usb) WriteWholeFile((device / file).string(), text + "\n");
    AddClassEntry(name, port_device);
    if (with_node) AddNode(name);
  }

  // A UART of the platform: type "0" is an empty 8250 slot.
  void AddPlatformPort(const std::string& name, const std::string& type = "4") {
    const fs::path device = Sys() / "devices" / "platform" / "serial8250" / name;
    fs::create_directories(device);
    const fs::path entry = AddClassEntry(name, device);
    WriteWholeFile((entry / "type").string(), type + "\n");
    AddNode(name);
  }

  // A virtual terminal: a class entry with no device behind it.
  void AddVirtualTerminal(const std::string& name) {
    fs::create_directories(Sys() / "class" / "tty" / name);
  }

  // A /dev node: a link to a fresh pseudo-terminal.
  void AddNode(const std::string& name) {
    ptys_[name] = std::make_unique<Pty>();
    fs::create_symlink(ptys_[name]->path(), Dev() / name);
  }

  // Opens the port as another program would, so that it is held.
  void Hold(const std::string& name) {
    ASSERT_EQ(OpenPosixPort((Dev() / name).c_str(), &held_[name]), 1) << name;
  }

  std::string PtyPath(const std::string& name) { return ptys_.at(name)->path(); }

  fs::path AddClassEntry(const std::string& name, const fs::path& device) {
    const fs::path entry = Sys() / "class" / "tty" / name;
    fs::create_directories(entry);
    fs::create_symlink(device, entry / "device");
    return entry;
  }

  PortSources sources;

 private:
  TempDir dir_;
  int usb_count_ = 0;
  std::map<std::string, std::unique_ptr<Pty>> ptys_;
  std::map<std::string, std::unique_ptr<Port>> held_;
};

struct Listing {
  int32_t result = 0;
  int32_t count = 0;
  PortEntry entries[kMaxPortEntries];
};

Listing List(const PortTree& tree, bool force = false, int32_t capacity = kMaxPortEntries) {
  Listing l;
  l.count = capacity;
  l.result = CommPortEnum(nullptr, tree.sources, l.entries, &l.count, force);
  return l;
}

std::vector<std::string> DisplayTexts(const Listing& l) {
  std::vector<std::string> texts;
  for (int32_t i = 0; i < l.count; ++i) texts.emplace_back(l.entries[i].display_text.view());
  return texts;
}

const UsbAttributes kFtdi = {{"idVendor", "0403"},
                             {"idProduct", "6001"},
                             {"serial", "A50285BI"},
                             {"product", "FT232R USB UART"}};

TEST(CommPortEnum, SortsByNumberThenNameAndLeavesOutPortsWithoutHardware) {
  PortTree tree;
  tree.AddUsbPort("ttyUSB10", kFtdi);
  tree.AddPlatformPort("ttyS0");
  tree.AddPlatformPort("ttyS1", "0");  // an empty slot
  tree.AddUsbPort("ttyUSB3", {{"idVendor", "10c4"},
                              {"idProduct", "ea60"},
                              {"manufacturer", "Silicon Labs"},
                              {"product", "CP2102 USB to UART Bridge Controller"}});
  tree.AddUsbPort("ttyACM3", {{"idVendor", "2341"}, {"idProduct", "0043"}});
  tree.AddVirtualTerminal("tty0");

  const Listing l = List(tree);
  EXPECT_EQ(l.result, 4);
  EXPECT_EQ(DisplayTexts(l),
            (std::vector<std::string>{"ttyS0 Communications Port", "ttyACM3 Communications Port",
                                      "ttyUSB3 Silicon Labs CP2102 USB to UART Bridge Controller",
                                      "ttyUSB10 FT232R USB UART"}));
  EXPECT_EQ(l.entries[3].port_name, "ttyUSB10");
  EXPECT_EQ(l.entries[3].port_number, 10);
  for (int32_t i = 0; i < l.count; ++i) {
    EXPECT_EQ(l.entries[i].busy, 0);
    EXPECT_EQ(l.entries[i].direct, 1);
    EXPECT_EQ(l.entries[i].generic_adapter, 1);
  }
}

TEST(CommPortEnum, PortHeldByAnotherOpenIsMarkedBusy) {
  PortTree tree;
  tree.AddPlatformPort("ttyS0");
  tree.AddUsbPort("ttyUSB0", kFtdi);
  tree.Hold("ttyUSB0");

  const Listing l = List(tree);
  ASSERT_EQ(l.count, 2);
  EXPECT_EQ(l.entries[0].busy, 0);
  EXPECT_EQ(l.entries[1].display_text, "ttyUSB0 FT232R USB UART (busy)");
  EXPECT_EQ(l.entries[1].busy, 1);
}

TEST(CommPortEnum, PortWithoutDeviceNodeIsLeftOut) {
  PortTree tree;
  tree.AddUsbPort("ttyUSB0", kFtdi, /*with_node=*/false);
  tree.AddUsbPort("ttyUSB1", kFtdi);
  const Listing l = List(tree);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.entries[0].port_name, "ttyUSB1");
}

struct AdapterCase {
  const char* label;
  UsbAttributes usb;
  const char* display;
  uint8_t direct;
  uint8_t generic;
};

TEST(CommPortEnum, MakerAdaptersAndRadioModemsHaveTheirOwnWording) {
  const AdapterCase cases[] = {
      {"maker adapter with a site mark",
       {{"idVendor", "0403"},
        {"idProduct", "8414"},
        {"serial", "HALVARD_PORTLINK[Site 7]"},
        {"manufacturer", "Halvard"},
        {"product", "Halvard PORTLINK"}},
       "ttyUSB4 QUORRIN USB Adapter [Site 7]",
       1,
       0},
      {"maker adapter without a mark",
       {{"idVendor", "0403"},
        {"idProduct", "8414"},
        {"serial", "HALVARD_PORTLINK0042"},
        {"product", "Halvard USB"}},
       "ttyUSB4 QUORRIN USB Adapter",
       1,
       0},
      {"maker's name on another product id",
       {{"idVendor", "0403"},
        {"idProduct", "6001"},
        {"serial", "HALVARD_PORTLINK[x]"},
        {"product", "Halvard USB"}},
       "ttyUSB4 Halvard USB",
       1,
       1},
      {"right product id, foreign serial",
       {{"idVendor", "0403"},
        {"idProduct", "8414"},
        {"serial", "A1[x]"},
        {"product", "Halvard USB"}},
       "ttyUSB4 Halvard USB",
       1,
       1},
      {"radio modem",
       {{"idVendor", "0403"},
        {"idProduct", "6001"},
        {"manufacturer", "MaxStream"},
        {"product", "PKG-U"}},
       "ttyUSB4 Halvard USB Rodo",
       0,
       1},
      {"radio modem, newer name",
       {{"idVendor", "0403"}, {"idProduct", "6001"}, {"product", "Digi PKG-U"}},
       "ttyUSB4 Halvard USB Rodo",
       0,
       1},
  };
  for (const AdapterCase& c : cases) {
    SCOPED_TRACE(c.label);
    PortTree tree;
    tree.AddUsbPort("ttyUSB4", c.usb);
    const Listing l = List(tree);
    ASSERT_EQ(l.count, 1);
    EXPECT_EQ(l.entries[0].display_text, c.display);
    EXPECT_EQ(l.entries[0].direct, c.direct);
    EXPECT_EQ(l.entries[0].generic_adapter, c.generic);
  }
}

TEST(CommPortEnum, BusyRadioModemKeepsItsBusyMark) {
  PortTree tree;
  tree.AddUsbPort("ttyUSB4",
                  {{"idVendor", "0403"}, {"idProduct", "6001"}, {"product", "Digi PKG-U"}});
  tree.Hold("ttyUSB4");
  const Listing l = List(tree);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.entries[0].display_text, "ttyUSB4 Halvard USB Rodo (busy)");
  EXPECT_EQ(l.entries[0].busy, 1);
}

TEST(CommPortEnum, ForcedProbeAddsPortsThatOpenOrAreHeld) {
  PortTree tree;
  tree.AddPlatformPort("ttyS0");
  tree.AddNode("ttyS3");
  tree.AddNode("ttyUSB2");
  tree.Hold("ttyS3");
  WriteWholeFile((tree.Dev() / "ttyACM1").string(), "not a terminal");

  EXPECT_EQ(List(tree).count, 1);  // not forced: only what sysfs reports

  const Listing l = List(tree, /*force=*/true);
  EXPECT_EQ(l.result, 1);
  EXPECT_EQ(DisplayTexts(l), (std::vector<std::string>{"ttyS0 Communications Port",
                                                       "ttyS3 Communications Port (busy)",
                                                       "ttyUSB2 Communications Port"}));
  EXPECT_EQ(l.entries[1].port_number, 3);
  EXPECT_EQ(l.entries[1].busy, 1);

  const Listing two = List(tree, true, 2);
  EXPECT_EQ(two.count, 2);
  EXPECT_EQ(two.entries[1].port_name, "ttyS3");
}

// The probe's rule for open errors, seen through a stand-in opener.
int32_t ScriptedOpen(const char* path, std::unique_ptr<Port>*) {
  const std::string name = fs::path(path).filename().string();
  if (name == "ttyS1") return 1;
  if (name == "ttyUSB5") return kPortNoPermission;  // EACCES
  if (name == "ttyACM0") return kPortBusy;          // EBUSY or the exclusive-open refusal
  if (name == "ttyS2") return -ENOTTY;              // not a terminal
  return kPortNoDevice;
}

TEST(CommPortEnum, ProbeWithoutSysfsTakesBusyErrorsAsPresentPorts) {
  PortTree tree;
  tree.sources.sysfs_root = (tree.Sys() / "missing").string();
  tree.sources.open_port = ScriptedOpen;
  const Listing l = List(tree);  // no sysfs forces the probe
  EXPECT_EQ(l.result, 1);
  EXPECT_EQ(DisplayTexts(l), (std::vector<std::string>{"ttyS1 Communications Port",
                                                       "ttyUSB5 Communications Port (busy)",
                                                       "ttyACM0 Communications Port (busy)"}));
}

TEST(CommPortEnum, NothingFoundGivesZero) {
  PortTree tree;
  const Listing l = List(tree, true);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.count, 0);
}

TEST(CommPortEnum, BadArguments) {
  PortEntry entries[2];
  int32_t count = 0;
  EXPECT_EQ(CommPortEnum(nullptr, entries, &count, false), -11);
  EXPECT_EQ(count, 0);
  count = -3;
  EXPECT_EQ(CommPortEnum(nullptr, entries, &count, false), -11);
  EXPECT_EQ(count, 0);
  count = 2;
  EXPECT_EQ(CommPortEnum(nullptr, nullptr, &count, false), -10);
  EXPECT_EQ(CommPortEnum(nullptr, entries, nullptr, false), -10);
}

TEST(CommPortEnum, NamedPortsFollowTheFoundOnes) {
  PortTree tree;
  tree.AddPlatformPort("ttyS0");
  Pty free_pty;
  Pty held_pty;
  std::unique_ptr<Port> holder;
  ASSERT_EQ(OpenPosixPort(held_pty.path().c_str(), &holder), 1);
  tree.sources.named_ports = {free_pty.path(), held_pty.path(), "/dev/pts/no-such",
                              (tree.Dev() / "ttyS0").string(),  // already listed
                              "/tmp/a-path-longer-than-the-name-width/ttyX0"};
  const Listing l = List(tree);
  EXPECT_EQ(l.result, 1);
  EXPECT_EQ(DisplayTexts(l), (std::vector<std::string>{"ttyS0 Communications Port", free_pty.path(),
                                                       held_pty.path() + " (busy)"}));
  EXPECT_EQ(l.entries[1].port_name, free_pty.path());
}

// Odd attribute files: none of them may stop the listing or leak into the
// texts as control bytes or a cut character.
TEST(CommPortEnum, OddAttributeFilesAreHandled) {
  PortTree tree;
  std::string accents;
  for (int i = 0; i < 40; ++i) accents += "\xC3\xA9";  // é, two bytes each
  tree.AddUsbPort("ttyUSB0", {{"idVendor", "zz"}, {"idProduct", ""}, {"product", ""}});
  tree.AddUsbPort("ttyUSB1", {{"idVendor", "0403"},
                              {"idProduct", "123456"},
                              {"product", std::string(5000, 'A')},
                              {"serial", std::string(300, 'S')}});
  tree.AddUsbPort("ttyUSB2",
                  {{"idVendor", "1"},
                   {"idProduct", "2"},
                   {"product", std::string("ab\x01\x02", 4) + std::string(1, '\0') + "cd"},
                   {"manufacturer", "\t  "}});
  tree.AddUsbPort("ttyUSB3", {{"idVendor", "1"}, {"idProduct", "2"}, {"product", accents}});
  tree.AddUsbPort("ttyUSB4", {{"idVendor", "0403"}, {"idProduct", "6001"}});
  // Unreadable, a folder, a pipe that would block, and a dangling link.
  const fs::path usb4 = tree.Sys() / "devices" / "usb1" / "1-5";
  WriteWholeFile((usb4 / "product").string(), "Secret");
  chmod((usb4 / "product").c_str(), 0);
  fs::create_directories(usb4 / "manufacturer");
  mkfifo((usb4 / "serial").c_str(), 0600);
  fs::create_symlink(tree.Sys() / "nowhere", usb4 / "configuration");
  // Class entries that are not ports.
  tree.AddClassEntry("ttyNoNumber", tree.Sys() / "devices" / "usb1");
  tree.AddClassEntry("ttyWithAVeryLongNameIndeed0", tree.Sys() / "devices" / "usb1");
  tree.AddClassEntry("ttyS99999999999", tree.Sys() / "devices" / "usb1");
  fs::create_directories(tree.Sys() / "class" / "tty" / "ttyS7");
  fs::create_symlink(tree.Sys() / "gone", tree.Sys() / "class" / "tty" / "ttyS7" / "device");
  WriteWholeFile((tree.Sys() / "class" / "tty" / "ttyS5").string(), "a file, not a folder");

  const Listing l = List(tree);
  ASSERT_EQ(l.count, 5);
  EXPECT_EQ(l.entries[0].display_text, "ttyUSB0 Communications Port");
  EXPECT_EQ(l.entries[1].display_text.view(), "ttyUSB1 " + std::string(55, 'A'));
  EXPECT_EQ(l.entries[2].display_text, "ttyUSB2 ab??");
  const std::string_view accented = l.entries[3].display_text.view();
  EXPECT_EQ(accented.size(), 8u + 54u);  // 27 whole characters, none cut in two
  EXPECT_EQ(accented.substr(8), accents.substr(0, 54));
  // Whether root may read the unreadable file does not matter; it is listed.
  EXPECT_EQ(l.entries[4].port_name, "ttyUSB4");
}

TEST(ReadSystemPorts, UsbFactsFormTheFriendlyNameAndInstanceIdentifier) {
  PortTree tree;
  tree.AddUsbPort("ttyUSB0", {{"idVendor", "10c4"},
                              {"idProduct", "ea60"},
                              {"serial", "0001"},
                              {"manufacturer", "Silicon Labs"},
                              {"product", "CP2102"}});
  tree.AddUsbPort("ttyUSB1", {{"idVendor", "zz"}, {"idProduct", "6001"}, {"product", "X"}});
  tree.AddUsbPort("ttyUSB2",
                  {{"idVendor", "403"}, {"idProduct", "6001"}, {"serial", std::string(90, 'S')}});
  std::vector<SystemPort> ports;
  ASSERT_EQ(ReadSystemPorts(tree.sources.sysfs_root, nullptr, &ports), 3);
  std::map<std::string, SystemPort> by_name;
  for (const SystemPort& p : ports) by_name[std::string(p.port_name.view())] = p;
  EXPECT_EQ(by_name["ttyUSB0"].friendly_name, "Silicon Labs CP2102 (ttyUSB0)");
  EXPECT_EQ(by_name["ttyUSB0"].instance_id, "USB\\VID_10C4&PID_EA60\\0001");
  EXPECT_EQ(by_name["ttyUSB1"].instance_id, "");
  EXPECT_EQ(by_name["ttyUSB2"].friendly_name, "");
  EXPECT_EQ(by_name["ttyUSB2"].instance_id.view(),
            "USB\\VID_0403&PID_6001\\" + std::string(42, 'S'));
}

}  // namespace
}  // namespace halv
