// Start-up, the port list, the menu toggles and what is kept at close.
#include <filesystem>

#include "window_fixture.h"

namespace halv::test {
namespace {

using StartUpTest = WindowTest;

TEST_F(StartUpTest, WindowAsCreated) {
  ports.ports = {{"ttyUSB0", "ttyUSB0 (FT232R USB UART)"}};
  Open();
  EXPECT_EQ(window->windowTitle(), "Pumatic Firmware Updater");
  EXPECT_EQ(window->centralWidget()->size(), QSize(346, 262));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // fixed border
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window->font().pointSize(), 8);
  EXPECT_EQ(LabelText("userText1"), "This utility updates Pumatic firmware to");
  EXPECT_EQ(LabelText("userText2"), "Pumatic 1.06");
  EXPECT_EQ(LabelText("lblConnect"), "Connect Pumatic to computer comm port.");
  EXPECT_EQ(LabelText("commLabel"), "Connect to Pumatic with Comm Port");
  EXPECT_EQ(LabelText("Label1"), "Status:");
  EXPECT_FALSE(Find<QLabel>("statusText")->isVisible());
  EXPECT_FALSE(Find<QLabel>("newSN")->isVisible());
  EXPECT_FALSE(Find<QLineEdit>("newSNstr")->isVisible());
  EXPECT_EQ(Find<QLineEdit>("newSNstr")->maxLength(), 15);
  EXPECT_EQ(Find<QProgressBar>("statusBar")->value(), 0);
  EXPECT_EQ(Find<QPushButton>("btnStart")->geometry(), QRect(260, 120, 75, 25));
  EXPECT_EQ(Find<QPushButton>("btnClose")->geometry(), QRect(179, 120, 75, 25));
  EXPECT_TRUE(Find<QPushButton>("btnStart")->isDefault());
  EXPECT_TRUE(Find<QPushButton>("btnStart")->isEnabled());
  EXPECT_EQ(Find<QComboBox>("cbCommPort")->toolTip(), "Pick your comm port from this list.");
  EXPECT_FALSE(Find<QLabel>("Image1")->pixmap().isNull());

  struct EntryRow {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    bool enabled;
    bool visible;
  };
  const EntryRow rows[] = {
      {"OpenFirmwareFile1", "&Open Firmware File...", QKeySequence("Ctrl+O"), false, true},
      {"UpdateFirmware1", "&Update Firmware", QKeySequence("Ctrl+F"), true, true},
      // Qt reports a hidden entry as disabled.
      {"DumpFirmwareImage1", "&Dump Firmware Image...", QKeySequence("Ctrl+Alt+D"), false, false},
      {"Exit1", "&Exit", QKeySequence("Ctrl+Q"), true, true},
      {"VerboseErrorFile1", "&Verbose Error File", {}, false, true},
      {"ForceFindAllCommPorts1", "Force Find All &Comm Ports", {}, true, true},
      {"DontEraseData1", "&Don't Erase Data", {}, false, false},
      {"PromptforSerialNumber1", "&Replace Serial Number", {}, false, false},
      {"Help2", "&Help", QKeySequence("F1"), true, true},
      {"SendFeedback1", "Send Feedback to QUORRIN...", {}, true, true},
      {"CheckNewerFirmware1", "Check for Newer Firmware Version", {}, true, true},
      {"About1", "About Pumatic Firmware Updater", {}, true, true},
  };
  for (const EntryRow& row : rows) {
    QAction* entry = Entry(row.name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), row.caption) << row.name;
    EXPECT_EQ(entry->shortcut(), row.shortcut) << row.name;
    EXPECT_EQ(entry->isEnabled(), row.enabled) << row.name;
    EXPECT_EQ(entry->isVisible(), row.visible) << row.name;
  }
  EXPECT_TRUE(Entry("VerboseErrorFile1")->isChecked());
  EXPECT_FALSE(Entry("ForceFindAllCommPorts1")->isChecked());
  // The hidden dump entry still answers its shortcut through the window.
  QAction* dump_key = Entry("DumpFirmwareImageKey");
  EXPECT_EQ(dump_key->shortcut(), QKeySequence("Ctrl+Alt+D"));

  struct TimerRow {
    const char* name;
    int interval;
  };
  for (const TimerRow& t : {TimerRow{"timerStart", 100}, TimerRow{"timerEraseWarn", 500},
                            TimerRow{"tWebCheck", 500}, TimerRow{"timerConstructorErrors", 100}}) {
    QTimer* timer = Find<QTimer>(t.name);
    EXPECT_TRUE(timer->isSingleShot()) << t.name;
    EXPECT_EQ(timer->interval(), t.interval) << t.name;
  }
  // A Pumatic build does not warn about erasing: the version check comes next.
  EXPECT_FALSE(Find<QTimer>("timerEraseWarn")->isActive());
  EXPECT_TRUE(Find<QTimer>("tWebCheck")->isActive());
  EXPECT_FALSE(Find<QTimer>("timerConstructorErrors")->isActive());
}

TEST_F(StartUpTest, SwitchesOpenTheirEntries) {
  struct Case {
    const char* argument;
    bool file_opening;
    bool factory_entries;
  };
  const Case cases[] = {
      {"", false, false},         {"-rep", true, false},  {"-factory", true, true},
      {"-Factory", false, false}, {"-REP", false, false},
  };
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  for (const Case& c : cases) {
    Open({c.argument});
    EXPECT_EQ(Entry("OpenFirmwareFile1")->isEnabled(), c.file_opening) << c.argument;
    EXPECT_EQ(Entry("PromptforSerialNumber1")->isVisible(), c.factory_entries) << c.argument;
    EXPECT_EQ(Entry("DontEraseData1")->isVisible(), c.factory_entries) << c.argument;
    window->hide();
  }
}

TEST_F(StartUpTest, RememberedPortIsSelected) {
  ports.ports = {{"ttyS0", "ttyS0"}, {"ttyUSB0", "ttyUSB0 adapter"}, {"ttyUSB1", "ttyUSB1 x"}};
  Remember("CommPort", "ttyUSB1");
  Remember("FindAllComms", true);
  Open();
  EXPECT_EQ(Find<QComboBox>("cbCommPort")->count(), 3);
  EXPECT_EQ(Find<QComboBox>("cbCommPort")->currentIndex(), 2);
  EXPECT_EQ(window->RememberedPortName(), "ttyUSB1");
  EXPECT_TRUE(window->FindAllCommPorts());
  EXPECT_TRUE(Entry("ForceFindAllCommPorts1")->isChecked());
}

TEST_F(StartUpTest, RememberedPortThatIsGoneGivesTheFirstAndIsSavedAtClose) {
  ports.ports = {{"ttyS0", "ttyS0"}, {"ttyUSB0", "ttyUSB0 adapter"}};
  Remember("CommPort", "ttyUSB7");
  Open();
  EXPECT_EQ(Find<QComboBox>("cbCommPort")->currentIndex(), 0);
  EXPECT_EQ(window->RememberedPortName(), "ttyS0");
  window->close();
  EXPECT_EQ(Stored("CommPort").toString(), "ttyS0");
}

TEST_F(StartUpTest, DamagedSettingsFileGivesDefaultsAndIsRewrittenAtClose) {
  ports.ports = {{"ttyS0", "ttyS0"}, {"ttyUSB0", "ttyUSB0 adapter"}};
  std::filesystem::create_directories(dir.File("config") + "/Halvard Devices, Inc");
  const std::string file = dir.File("config") + "/Halvard Devices, Inc/HalvBSL.conf";
  WriteWholeFile(file, std::string("\xff\xfe\0[General\nCommPort=") + std::string(5000, 'A') +
                           "\nFindAllComms=@Variant(\\0\\0\\0\\x7f)\n[General]\n=\n");
  Open();
  EXPECT_EQ(Find<QComboBox>("cbCommPort")->currentIndex(), 0);
  EXPECT_EQ(window->RememberedPortName(), "ttyS0");
  window->close();
  EXPECT_EQ(Stored("CommPort").toString(), "ttyS0");
  EXPECT_EQ(Stored("VerboseLog").toBool(), true);
}

TEST_F(StartUpTest, NoPortsAtStartUpDisablesStart) {
  for (const std::optional<int32_t> result :
       {std::optional<int32_t>{}, std::optional<int32_t>{-60}}) {
    ports.result = result;
    Remember("CommPort", "ttyUSB0");
    Open();
    QComboBox* list = Find<QComboBox>("cbCommPort");
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0), "No Comm Ports Found");
    EXPECT_FALSE(Find<QPushButton>("btnStart")->isEnabled());
    EXPECT_EQ(window->RememberedPortName(), "");
    // Picking the placeholder gives no port: Start stays off.
    Q_EMIT list->activated(0);
    EXPECT_FALSE(Find<QPushButton>("btnStart")->isEnabled());
    window->close();
    EXPECT_EQ(Stored("CommPort").toString(), "");
  }
}

TEST_F(StartUpTest, DropDownListsAgainAndLeavesStartAsItWas) {
  ports.ports = {{"ttyS0", "ttyS0"}, {"ttyUSB0", "ttyUSB0 adapter"}};
  Open();
  QComboBox* list = Find<QComboBox>("cbCommPort");
  list->setCurrentIndex(1);
  Q_EMIT list->activated(1);
  EXPECT_EQ(window->RememberedPortName(), "ttyUSB0");

  // Nothing found at drop-down time: the placeholder, Start unchanged.
  ports.ports.clear();
  const int calls = ports.calls;
  list->showPopup();
  list->hidePopup();
  EXPECT_EQ(ports.calls, calls + 1);
  EXPECT_EQ(list->count(), 1);
  EXPECT_EQ(list->itemText(0), "No Comm Ports Found");
  EXPECT_TRUE(Find<QPushButton>("btnStart")->isEnabled());
  EXPECT_EQ(window->RememberedPortName(), "ttyUSB0");

  // Ports back: the remembered index is selected again.
  ports.ports = {{"ttyS0", "ttyS0"}, {"ttyUSB0", "ttyUSB0 adapter"}, {"ttyUSB1", "ttyUSB1"}};
  list->showPopup();
  list->hidePopup();
  EXPECT_EQ(list->count(), 3);
  EXPECT_EQ(list->currentIndex(), 1);
}

TEST_F(StartUpTest, PickingAPortEnablesStart) {
  ports.ports = {{"ttyS0", "ttyS0"}};
  ports.result = -1;  // a failed enumeration counts as none, whatever it filled
  Open();
  EXPECT_FALSE(Find<QPushButton>("btnStart")->isEnabled());
  ports.result.reset();
  QComboBox* list = Find<QComboBox>("cbCommPort");
  list->showPopup();
  list->hidePopup();
  Q_EMIT list->activated(0);
  EXPECT_EQ(window->RememberedPortName(), "ttyS0");
  EXPECT_TRUE(Find<QPushButton>("btnStart")->isEnabled());
}

TEST_F(StartUpTest, TogglesAndWhatIsWrittenAtClose) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open({"-factory"});
  Entry("ForceFindAllCommPorts1")->trigger();
  EXPECT_TRUE(window->FindAllCommPorts());
  Entry("PromptforSerialNumber1")->trigger();
  EXPECT_TRUE(Find<QLabel>("newSN")->isVisible());
  EXPECT_TRUE(Find<QLineEdit>("newSNstr")->isVisible());
  Entry("PromptforSerialNumber1")->trigger();
  EXPECT_FALSE(Find<QLineEdit>("newSNstr")->isVisible());
  Entry("DontEraseData1")->trigger();
  EXPECT_TRUE(Entry("DontEraseData1")->isChecked());

  Entry("Exit1")->trigger();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Stored("FindAllComms").toBool(), true);
  EXPECT_EQ(Stored("VerboseLog").toBool(), true);
  EXPECT_EQ(Stored("CommPort").toString(), "ttyUSB0");
  EXPECT_TRUE(answerer.boxes.empty());
}

}  // namespace
}  // namespace halv::test
