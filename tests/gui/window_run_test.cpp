// The update run through the window: a whole update of a simulated Pumatic,
// a failure, and the guards against quitting and against a second run.
#include <filesystem>
#include <optional>

#include "app/instrument_updater.h"
#include "gui/message_boxes.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"
#include "window_fixture.h"

namespace halv::test {
namespace {

constexpr const char* kSimPort = "SIM1";

class RunTest : public WindowTest {
 protected:
  RunTest() : use_clock(&clock) {}

  void StartDevice() {
    device = std::make_unique<sim::SimDevice>(*sim::FindDeviceProfile("pumatic"));
    backend = std::make_unique<sim::SimPortBackend>(*device, kSimPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }
  ~RunTest() override {
    if (window != nullptr) window->hide();
    window.reset();
    use_backend.reset();
  }

  bool RunOver() { return !window->Updater()->Busy() && !Find<QTimer>("timerStart")->isActive(); }

  // Calls `during` once, from the window's event processing inside the run.
  void DuringTheRun(std::function<void()> during) {
    hook_ = std::move(during);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (hook_ && window->Updater()->Busy()) {
        auto hook = std::move(hook_);
        hook_ = nullptr;
        hook();
      }
    });
    poll_.start(0);
  }

  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<sim::SimDevice> device;
  std::unique_ptr<sim::SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  QTimer poll_;
  std::function<void()> hook_;
};

TEST_F(RunTest, WholeUpdateOfASimulatedPumatic) {
  StartDevice();
  ports.ports = {{kSimPort, "SIM1 (simulated Pumatic)"}};
  Open();
  QPushButton* start = Find<QPushButton>("btnStart");
  start->click();
  EXPECT_FALSE(start->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("btnClose")->isEnabled());
  EXPECT_FALSE(Entry("UpdateFirmware1")->isEnabled());
  ASSERT_TRUE(WaitUntil(
      [&] { return RunOver() && Find<QLabel>("statusText")->text().startsWith("Successfully"); },
      120000));

  EXPECT_TRUE(Find<QLabel>("statusText")->isVisible());
  EXPECT_TRUE(LabelText("statusText").startsWith("Successfully updated firmware in "));
  EXPECT_TRUE(LabelText("statusText").endsWith(" seconds."));
  EXPECT_EQ(Find<QProgressBar>("statusBar")->value(), 100);
  EXPECT_EQ(LabelText("lblConnect"), "You may disconnect your Pumatic now.");
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
  EXPECT_TRUE(Find<QPushButton>("btnClose")->isDefault());
  EXPECT_FALSE(start->isDefault());
  EXPECT_TRUE(start->isEnabled());
  EXPECT_TRUE(Find<QComboBox>("cbCommPort")->isEnabled());
  EXPECT_TRUE(Entry("UpdateFirmware1")->isEnabled());
  EXPECT_TRUE(device->CodeGood());
  EXPECT_STREQ(device->Running().version, "1.06");
  for (const SeenBox& box : answerer.boxes) ADD_FAILURE() << box.caption << ": " << box.text;
  EXPECT_NE(ErrorLog().find("Finished updating device in"), std::string::npos);
}

TEST_F(RunTest, FailureIsShownLoggedAndTheWindowReset) {
  StartDevice();
  ports.ports = {{"ttyGONE", "ttyGONE (unplugged)"}};
  Open();
  Entry("UpdateFirmware1")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return RunOver() && !answerer.boxes.empty(); }));
  ASSERT_EQ(answerer.boxes.size(), 1u);
  EXPECT_EQ(answerer.boxes[0].caption, "Connection Error");
  EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(answerer.boxes[0].text,
            "Comm Port \"ttyGONE (unplugged)\" isn't available.\n"
            "Please choose a new Comm Port to use.");
  EXPECT_NE(ErrorLog().find("ErrorOK Told User:: Comm Port \"ttyGONE (unplugged)\" isn't"),
            std::string::npos);
  EXPECT_FALSE(Find<QLabel>("statusText")->isVisible());
  EXPECT_EQ(Find<QProgressBar>("statusBar")->value(), 0);
  EXPECT_EQ(LabelText("lblConnect"), "Connect Pumatic to computer comm port.");
  EXPECT_TRUE(Find<QPushButton>("btnClose")->isDefault());
  EXPECT_TRUE(Entry("UpdateFirmware1")->isEnabled());
}

TEST_F(RunTest, ClosingDuringARunIsRefusedAndTheRunGoesOn) {
  StartDevice();
  ports.ports = {{kSimPort, "SIM1"}};
  Open({"-factory"});
  Entry("PromptforSerialNumber1")->trigger();
  Find<QLineEdit>("newSNstr")->setText("SN-NEW-42");
  DuringTheRun([&] { window->close(); });
  Find<QPushButton>("btnStart")->click();
  ASSERT_TRUE(WaitUntil([&] { return RunOver() && !hook_; }, 120000));
  ASSERT_FALSE(answerer.boxes.empty());
  EXPECT_EQ(answerer.boxes[0].name, gui::kNoticeBoxName);
  EXPECT_EQ(answerer.boxes[0].caption, "Don't Quit Now!");
  EXPECT_EQ(
      answerer.boxes[0].text.rfind("The Pumatic Firmware Updater is updating your Pumatic!\n", 0),
      0u);
  EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(LabelText("statusText").startsWith("Successfully"));
  EXPECT_EQ(device->Settings()["sn"], "SN-NEW-42");
  // The finish takes the check mark and empties the box; the option stays.
  EXPECT_FALSE(Entry("PromptforSerialNumber1")->isChecked());
  EXPECT_FALSE(Find<QLineEdit>("newSNstr")->isVisible());
  EXPECT_TRUE(Find<QLineEdit>("newSNstr")->text().isEmpty());
}

TEST_F(RunTest, NoSecondRunInsideTheFirst) {
  StartDevice();
  ports.ports = {{"ttyGONE", "ttyGONE"}};
  Open();
  QPushButton* start = Find<QPushButton>("btnStart");
  DuringTheRun([&] {
    // Started from the menu, Start is still enabled: pressing it does nothing.
    EXPECT_TRUE(start->isEnabled());
    start->click();
    Entry("UpdateFirmware1")->trigger();  // disabled during the run
    Entry("OpenFirmwareFile1")->trigger();
    QTest::qWait(150);  // past timerStart's interval
  });
  Entry("UpdateFirmware1")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return RunOver() && !hook_; }));
  QTest::qWait(150);
  EXPECT_TRUE(RunOver());
  ASSERT_EQ(answerer.boxes.size(), 1u);  // one run, one failure message
  EXPECT_NE(ErrorLog().find("Start pressed during a run: ignored"), std::string::npos);
  EXPECT_TRUE(start->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("btnClose")->isEnabled());
  EXPECT_TRUE(Entry("UpdateFirmware1")->isEnabled());
}

}  // namespace
}  // namespace halv::test
