// The digital-sensor updater's window: the factory's sensor-type entries,
// what a selection changes, the Handix labels and the image dump's error.
#include <QMenu>
#include <filesystem>
#include <optional>

#include "app/build_product.h"
#include "app/firmware_file.h"
#include "app/sensor_updater.h"
#include "bsl/ti_text.h"
#include "gui/message_boxes.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/handix_reader.h"
#include "sim/sim_port_backend.h"
#include "support/temp_dir.h"
#include "window_fixture.h"

namespace halv::test {
namespace {

class SensorWindowTest : public WindowTest {
 protected:
  SensorWindowTest() {
    sensor_build = true;
    build_kind = kKindDigitalSensor;
  }
  // The kind table's digital-sensor row follows the selection; the next test
  // starts from the build's.
  ~SensorWindowTest() override { SetDigitalSensorSelection(saved_selection_); }

  std::vector<std::string> VisibleSensorEntries() {
    std::vector<std::string> shown;
    for (const gui::SensorTypeEntry& row : gui::kSensorTypeEntries) {
      if (Entry(row.object_name)->isVisible()) shown.push_back(row.caption);
    }
    return shown;
  }
  std::vector<std::string> CheckedSensorEntries() {
    std::vector<std::string> checked;
    for (const gui::SensorTypeEntry& row : gui::kSensorTypeEntries) {
      if (Entry(row.object_name)->isChecked()) checked.push_back(row.caption);
    }
    return checked;
  }

  DigitalSensorSelection saved_selection_ = CurrentDigitalSensorSelection();
};

TEST_F(SensorWindowTest, FactoryModeShowsTheSensorTypeGroup) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open({"-factory"});
  EXPECT_TRUE(Entry("SensorTypeSeparator")->isSeparator());
  EXPECT_TRUE(Entry("SensorTypeSeparator")->isVisible());
  QAction* heading = Entry("SetDigitalSensorTo1");
  EXPECT_EQ(heading->text(), "Set Digital Sensor to:");
  EXPECT_TRUE(heading->isVisible());
  EXPECT_FALSE(heading->isEnabled());
  // Brisa, Corra-B and Celva A stay hidden.
  EXPECT_EQ(VisibleSensorEntries(),
            std::vector<std::string>({"Rilo", "Rima", "Tesk", "Tarn", "Pomar-A && Pomar-B",
                                      "LUMEDG", "Wesk Family", "Fenn", "Fenn-X", "Corra-A",
                                      "Nilt Family", "Pluvo", "Celva B", "Garno K Family"}));
  // "&&" shows one ampersand.
  EXPECT_EQ(Entry("SensorTypePomar")->iconText(), "Pomar-A & Pomar-B");
  // The group sits under "&Settings", after the factory toggles.
  const QList<QAction*> settings = Find<QMenu>("Settings1")->actions();
  ASSERT_GE(settings.size(), 6);
  EXPECT_EQ(settings[4]->objectName(), "SensorTypeSeparator");
  EXPECT_EQ(settings[5]->objectName(), "SetDigitalSensorTo1");
  EXPECT_EQ(CheckedSensorEntries(), std::vector<std::string>({"Celva B"}));
}

TEST_F(SensorWindowTest, GroupStaysHiddenWithoutFactoryModeOrInTheInstrumentBuild) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  struct Case {
    bool sensor_build;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {{true, {}}, {true, {"-rep"}}, {true, {"-Factory"}}, {false, {"-factory"}}};
  for (const Case& c : cases) {
    sensor_build = c.sensor_build;
    build_kind = c.sensor_build ? kKindDigitalSensor : kKindPumatic;
    Open(c.arguments);
    const std::string label = (c.sensor_build ? "sensor " : "instrument ") +
                              (c.arguments.empty() ? std::string() : c.arguments[0]);
    EXPECT_FALSE(Entry("SensorTypeSeparator")->isVisible()) << label;
    EXPECT_FALSE(Entry("SetDigitalSensorTo1")->isVisible()) << label;
    EXPECT_TRUE(VisibleSensorEntries().empty()) << label;
  }
}

TEST_F(SensorWindowTest, StartUpNamesTheSelectedSensorAndTheHandix) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open();
  EXPECT_EQ(window->windowTitle(), "Celva B Sensor Suite Firmware Updater");
  EXPECT_EQ(Entry("About1")->text(), "About Celva B Sensor Suite Firmware Updater");
  EXPECT_EQ(LabelText("userText1"), "This utility updates Celva B Sensor Suite firmware to");
  EXPECT_EQ(LabelText("commLabel"), "Connect to Handix and Digital Sensor with Comm Port");
  EXPECT_EQ(LabelText("lblConnect"), "Connect Handix to computer comm port.");
  EXPECT_EQ(window->SelectedSensorType(), 93);
  EXPECT_EQ(window->DeviceName(), "Celva B Sensor Suite");
  EXPECT_EQ(window->VersionCheckPath(), "/versionfinder/CelvaB-Firmware.txt");
  EXPECT_EQ(CurrentDigitalSensorSelection().sensor_type, 93);
}

TEST_F(SensorWindowTest, SelectingATypeChecksItsEntryAndNamesTheDevice) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open({"-factory"});
  struct Case {
    const char* entry;  // picked from the menu; null: selected by type
    int32_t type;
    std::vector<std::string> checked;
    const char* path_word;
    const char* device;
  };
  // clang-format off
  const Case cases[] = {
      {"SensorTypeFennX",  109, {"Fenn-X"},  "Fenn", "Fenn-X Sensor"},
      {"SensorTypeFenn",   113, {"Fenn"},    "Fenn", "Fenn Sensor"},
      {"SensorTypeTarn",   118, {"Tarn"},    "Tarn", "Unknown Sensor (type 118)"},
      {"SensorTypePluvo",   94, {"Pluvo"},   "Pluvo", "Pluvo Rain Gauge"},
      {"SensorTypeRilo",   122, {"Rilo"},    "Rilo", "Rilo Sensor"},
      {"SensorTypeRilo",   122, {"Rilo"},    "Rilo", "Rilo Sensor"},  // picked again: stays checked
      {"SensorTypePomar",  261, {"Pomar-A && Pomar-B"}, "PomarA", "Pomar-A Pomar-B Garno P"},
      {nullptr, 't', {"Wesk Family"},        "Wesk", "Wesk Sensor"},
      {nullptr, 'g', {"Garno K Family"},     "GarnoK", "Garno Kb Sensor"},
      {nullptr, 'y', {"Pomar-A && Pomar-B"}, "PomarA", "Pomar-A Sensor"},
      {nullptr, 's', {},                     "PomarA", "Unknown Sensor (type 115)"},
      {nullptr, 123, {},                     "CelvaC", "Celva C Sensor"},
      {nullptr, 300, {},                     "CelvaC", "Unknown Sensor (type 300)"},
      {nullptr, 92,  {"Celva A"},            "CelvaA", "Celva A Anemometer"},  // hidden, still checked
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string label = c.entry != nullptr ? c.entry : std::to_string(c.type);
    if (c.entry != nullptr) {
      Entry(c.entry)->trigger();
    } else {
      window->SelectSensorType(c.type);
    }
    EXPECT_EQ(window->SelectedSensorType(), c.type) << label;
    EXPECT_EQ(CheckedSensorEntries(), c.checked) << label;
    EXPECT_EQ(window->VersionCheckPath(),
              std::string("/versionfinder/") + c.path_word + "-Firmware.txt")
        << label;
    EXPECT_EQ(window->DeviceName(), c.device) << label;
    EXPECT_EQ(LabelText("userText1"), QString::fromStdString(std::string("This utility updates ") +
                                                             c.device + " firmware to"))
        << label;
    EXPECT_EQ(CurrentDigitalSensorSelection().sensor_type, c.type) << label;
  }
  // The caption and the connect labels keep naming the build's device and the reader.
  EXPECT_EQ(window->windowTitle(), "Celva B Sensor Suite Firmware Updater");
  EXPECT_EQ(LabelText("lblConnect"), "Connect Handix to computer comm port.");
}

// What the build itself sets up: the sensor build's window with its image, or
// the Pumatic's window without the sensor entries.
TEST_F(SensorWindowTest, TheBuildsOwnWindow) {
  const gui::MainWindowSetup defaults;
  EXPECT_EQ(defaults.sensor_build, kSensorBuild);
  EXPECT_EQ(defaults.build_kind, kSensorBuild ? kKindDigitalSensor : kKindPumatic);
  sensor_build = defaults.sensor_build;
  build_kind = defaults.build_kind;
  sensor_type = defaults.sensor_type;
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open({"-factory"});
  if (kSensorBuild) {
    EXPECT_EQ(window->windowTitle(), "Celva B Sensor Suite Firmware Updater");
    EXPECT_EQ(LabelText("userText2"), "Celva 1.06");
    EXPECT_EQ(LabelText("lblConnect"), "Connect Handix to computer comm port.");
    EXPECT_EQ(CheckedSensorEntries(), std::vector<std::string>({"Celva B"}));
    EXPECT_NE(window->SensorRun(), nullptr);
    EXPECT_EQ(window->VersionCheckPath(), "/versionfinder/CelvaB-Firmware.txt");
  } else {
    EXPECT_EQ(window->windowTitle(), "Pumatic Firmware Updater");
    EXPECT_EQ(LabelText("userText2"), "Pumatic 1.06");
    EXPECT_EQ(LabelText("lblConnect"), "Connect Pumatic to computer comm port.");
    EXPECT_TRUE(VisibleSensorEntries().empty());
    EXPECT_FALSE(Entry("SetDigitalSensorTo1")->isVisible());
    EXPECT_NE(window->Updater(), nullptr);
    EXPECT_EQ(window->VersionCheckPath(), "/versionfinder/Pumatic-Firmware.txt");
  }
}

TEST_F(SensorWindowTest, DumpThatCannotWriteShowsItsCode) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open();
  QApplication::setActiveWindow(window.get());
  answerer.on_file_dialog = [&](QFileDialog* dialog) {
    dialog->selectFile(QString::fromStdString(dir.File("no-such-folder/dump.txt")));
    static_cast<QDialog*>(dialog)->accept();
    return true;
  };
  QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return !answerer.boxes.empty(); }, 5000));
  const SeenBox& box = answerer.boxes[0];
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.icon, QMessageBox::Warning);
  const std::string prefix = "Error saving firmware image: -";
  ASSERT_EQ(box.text.rfind(prefix, 0), 0u) << box.text;
  EXPECT_GT(std::stoi(box.text.substr(prefix.size() - 1)), -1000);
  EXPECT_FALSE(std::filesystem::exists(dir.File("no-such-folder")));
}

// A run through the window: a Handix with a Celva B sensor behind it, on
// virtual time.
class SensorRunTest : public SensorWindowTest {
 protected:
  static constexpr const char* kSimPort = "SIM4";

  SensorRunTest() : use_clock(&clock) {
    reader = std::make_unique<sim::HandixReader>(*sim::FindSdiSensorProfile("celva-b-104"));
    backend = std::make_unique<sim::SimPortBackend>(reader->Device(), kSimPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
    ports.ports = {{kSimPort, "SIM4 (simulated Handix)"}};
  }
  ~SensorRunTest() override {
    if (window != nullptr) window->hide();
    window.reset();
    use_backend.reset();
    backend.reset();  // the line goes before the reader it is wired to
  }

  // The instrument build carries the Pumatic's image; the sensor gets its own.
  void OpenWithSensorImage(std::vector<std::string> arguments = {}) {
    Open(std::move(arguments));
    if (kSensorBuild) return;
    HostBSL* host = window->Host();
    ASSERT_EQ(BSLLoadTIFile(host, HALV_SENSOR_IMAGE), 1);
    host->image_kind = kKindDigitalSensor;
    host->image_version = 106;
    host->image_name.Assign("Celva 1.06");
    window->SensorRun()->settings.progress_step = ProgressStep(host->image_length);
  }

  bool RunOver() { return !window->SensorRun()->Busy() && !Find<QTimer>("timerStart")->isActive(); }

  // Calls `during` once, from the window's event processing inside the run.
  void DuringTheRun(std::function<void()> during) {
    hook_ = std::move(during);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (hook_ && window->SensorRun()->Busy() && Find<QProgressBar>("statusBar")->value() > 30) {
        auto hook = std::move(hook_);
        hook_ = nullptr;
        hook();
      }
    });
    poll_.start(0);
  }

  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<sim::HandixReader> reader;
  std::unique_ptr<sim::SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  QTimer poll_;
  std::function<void()> hook_;
};

TEST_F(SensorRunTest, StartUpdatesTheSensorThroughTheReaderAndTheQuitGuardHolds) {
  OpenWithSensorImage({"-factory"});
  ASSERT_NE(window->SensorRun(), nullptr);
  EXPECT_EQ(window->Updater(), nullptr);
  int highest_progress = 0;
  DuringTheRun([&] {
    highest_progress = Find<QProgressBar>("statusBar")->value();
    window->close();
    // The type cannot change under a run.
    Entry("SensorTypeRilo")->trigger();
    EXPECT_EQ(window->SelectedSensorType(), 93);
    EXPECT_FALSE(Entry("SensorTypeRilo")->isChecked());
    EXPECT_TRUE(Entry("SensorTypeCelvaB")->isChecked());
  });
  QPushButton* start = Find<QPushButton>("btnStart");
  start->click();
  EXPECT_FALSE(start->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("btnClose")->isEnabled());
  EXPECT_FALSE(Entry("UpdateFirmware1")->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return RunOver() && !hook_; }, 120000));

  EXPECT_GT(highest_progress, 30);
  ASSERT_EQ(answerer.boxes.size(), 1u);
  EXPECT_EQ(answerer.boxes[0].name, gui::kNoticeBoxName);
  EXPECT_EQ(answerer.boxes[0].caption, "Don't Quit Now!");
  EXPECT_EQ(answerer.boxes[0].text.rfind("The Celva B Sensor Suite Firmware Updater is updating "
                                         "your Celva B Sensor Suite!\n",
                                         0),
            0u)
      << answerer.boxes[0].text;
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(LabelText("statusText").startsWith("Successfully updated firmware in "))
      << LabelText("statusText").toStdString();
  EXPECT_EQ(Find<QProgressBar>("statusBar")->value(), 100);
  EXPECT_EQ(LabelText("lblConnect"), "You may disconnect your Celva B Sensor Suite now.");
  EXPECT_TRUE(start->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("btnClose")->isEnabled());
  EXPECT_TRUE(Entry("UpdateFirmware1")->isEnabled());
  EXPECT_TRUE(Find<QComboBox>("cbCommPort")->isEnabled());
  sim::SdiSensor& sensor = reader->Sensor();
  EXPECT_TRUE(sensor.FirmwareRunning());
  EXPECT_EQ(sensor.Identification().substr(16, 3), "106");
  EXPECT_EQ(sensor.TypeText(), "]");  // type 93 written back
  EXPECT_FALSE(reader->Transparent());
  EXPECT_NE(ReadWholeFile(dir.File("data") +
                          "/Halvard/HalvBSL/Celva B Sensor Suite Firmware Updater.errors.txt")
                .find("Sensor type 122 picked during an update: ignored"),
            std::string::npos);
}

TEST_F(SensorRunTest, TheSelectedTypeIsTheOneTheRunChecks) {
  OpenWithSensorImage({"-factory"});
  window->SelectSensorType(92);  // Celva A: the sensor reports Celva B
  answerer.answers = {Answer::kCancel};
  Find<QPushButton>("btnStart")->click();
  ASSERT_TRUE(WaitUntil([&] { return RunOver() && !answerer.boxes.empty(); }, 120000));
  ASSERT_EQ(answerer.boxes.size(), 1u);
  EXPECT_EQ(answerer.boxes[0].caption, "Wrong Sensor Type");
  EXPECT_EQ(answerer.boxes[0].text,
            "The attached sensor is claiming to be a \"Celva B Sensor Suite\"\n\n"
            "This firmware updater is for a \"Celva A Anemometer\".\n\n"
            "Are you sure you want to load the firmware for a Celva A Anemometer?\n");
  EXPECT_EQ(window->SensorRun()->sensor_type, 92u);
  EXPECT_EQ(window->SensorRun()->Failure(), UpdateFailure::kCancelled);
  EXPECT_TRUE(reader->Sensor().FirmwareRunning());
}

}  // namespace
}  // namespace halv::test
