// The digital-sensor update against a simulated Handix reader with a sensor
// behind it, in process on virtual time: a whole update through the reader,
// and every way the sequence can end, with the boxes it shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_paths.h"
#include "app/firmware_file.h"
#include "app/sensor_updater.h"
#include "bsl/ti_text.h"
#include "protocol/instrument.h"
#include "serial/script_port.h"
#include "sim/handix_reader.h"
#include "sim/sim_port_backend.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

constexpr const char* kPort = "SIM4";
constexpr const char* kUpdater = "Celva B Sensor Suite Firmware Updater";
constexpr const char* kDevice = "Celva B Sensor Suite";

const std::string kReaderTooOld =
    "doesn't\nsupport bootstrapping digital sensors.\n\nPlease use a supported Handix (or VADRO "
    "Comm Device)";
const std::string kSettingsNotRetrieved =
    "This Celva B Sensor Suite Firmware Updater could not retrieve the settings from your Celva "
    "B Sensor Suite.\nPlease try again or contact Halvard for help.";
const std::string kLoaderUnreachable =
    "The Celva B Sensor Suite Firmware Updater is unable to connect to the firmware loader in "
    "your Celva B Sensor Suite.\n\nPlease try again.";
std::string DeviceErrorText(int rc) {
  return std::string("The ") + kUpdater + " encountered an error working with your " + kDevice +
         ".\n\nPlease try again.\n\n[Error " + std::to_string(rc) + "]";
}

struct Expected {
  std::string kind;  // "message", "question"
  std::string caption;
  std::string text;  // empty: not compared
};

// One simulated set-up and how the run must end.
struct Case {
  const char* name;
  const char* sensor = "celva-b-104";
  sim::SdiSensorFaults faults = {};
  const char* reader_version = nullptr;  // null: "1.23"
  const char* revision = nullptr;        // "get -hver" (null: "B")
  int battery = -1;                      // -1: the reader's; -2: not readable
  bool factory = false;
  uint32_t sensor_type = 93;
  std::vector<bool> answers = {};
  int32_t rc = 1;
  std::vector<Expected> boxes = {};
  bool saving = true;  // the run came to the settings capture
  bool not_retrieved = false;
  bool file_kept = false;  // after success: the settings file stays
};

class SensorUpdateTest : public ::testing::Test {
 protected:
  SensorUpdateTest() : use_clock(&clock) {
    CreateDiagLog(&log, dir.File("errors.txt").c_str(), kLogProgress, true);
  }
  ~SensorUpdateTest() override { Stop(); }

  void Stop() {
    use_backend.reset();
    backend.reset();  // the line goes before the reader it is wired to
    reader.reset();
  }

  void StartReader(const Case& c) {
    Stop();
    sim::DeviceSetup setup;
    if (c.reader_version != nullptr) setup.firmware_version = c.reader_version;
    setup.faults.battery_percent = c.battery;
    reader = std::make_unique<sim::HandixReader>(*sim::FindSdiSensorProfile(c.sensor), c.faults,
                                                 setup, c.revision);
    backend = std::make_unique<sim::SimPortBackend>(reader->Device(), kPort);
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }

  // The sensor build's stand-in image, loaded as the build would carry it.
  void LoadSensorImage(HostBSL* host) {
    ASSERT_EQ(BSLLoadTIFile(host, HALV_SENSOR_IMAGE), 1);
    host->image_kind = kKindDigitalSensor;
    host->image_version = 106;
    host->image_name.Assign("Celva 1.06");
  }

  int32_t RunUpdate(const Case& c) {
    InstrumentConnection connection(&log);
    HostBSL host(&log);
    LoadSensorImage(&host);
    SensorUpdater updater(&window, &log, &connection, &host);
    UpdateSettings& s = updater.settings;
    s.device_name = kDevice;
    s.window_caption = kUpdater;
    s.port_name = kPort;
    s.port_display_text = kPort;
    s.app_data_folder = dir.Path().string();
    s.updater_firmware_version = 106;
    s.progress_step = ProgressStep(host.image_length);
    s.factory_mode = c.factory;
    updater.sensor_type = c.sensor_type;
    window.answers.assign(c.answers.begin(), c.answers.end());
    const int32_t rc = updater.Run();
    failure = updater.Failure();
    not_retrieved = updater.SettingsNotRetrieved();
    return rc;
  }

  void ExpectBoxes(const std::vector<Expected>& expected) {
    ASSERT_EQ(window.boxes.size(), expected.size()) << Shown();
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(window.boxes[i].kind, expected[i].kind) << i << Shown();
      EXPECT_EQ(window.boxes[i].caption, expected[i].caption) << i;
      if (!expected[i].text.empty()) {
        EXPECT_EQ(window.boxes[i].text, expected[i].text) << i;
      }
    }
  }
  std::string Shown() const {
    std::string all = "\n";
    for (const auto& b : window.boxes) all += b.kind + " [" + b.caption + "] " + b.text + "\n";
    return all;
  }
  bool Showed(const std::string& status) const {
    for (const std::string& s : window.statuses) {
      if (s == status) return true;
    }
    return false;
  }
  // The bytes the host wrote to the reader outside its commands, in order.
  std::string ControlBytes() const {
    std::string bytes;
    for (const std::string& line : reader->Device().Log().Lines()) {
      for (const char c : {']', '[', '`'}) {
        if (line.find(std::string("\"from\":\"host\",\"text\":\"") + c + "\"") !=
            std::string::npos) {
          bytes += c;
        }
      }
    }
    return bytes;
  }

  // Counts the bytes of the TI-Text file that differ from the sensor's flash.
  int DifferencesFromImage() {
    FILE* f = fopen(HALV_SENSOR_IMAGE, "r");
    if (f == nullptr) return -1;
    const sim::FlashMemory& memory = reader->Sensor().Device().Memory();
    int differences = 0;
    uint32_t address = 0;
    char line[256];
    while (fgets(line, sizeof line, f) != nullptr) {
      if (line[0] == 'q') break;
      if (line[0] == '@') {
        address = static_cast<uint32_t>(strtoul(line + 1, nullptr, 16));
        continue;
      }
      std::istringstream bytes(line);
      unsigned value = 0;
      while (bytes >> std::hex >> value) {
        if (memory.Byte(address++) != value) ++differences;
      }
    }
    fclose(f);
    return differences;
  }

  bool SettingsFileExists() {
    return std::filesystem::exists(SettingsFilePath(dir.Path().string(), kDevice));
  }

  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<sim::HandixReader> reader;
  std::unique_ptr<sim::SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  test::RecordingWindow window;
  UpdateFailure failure = UpdateFailure::kNone;
  bool not_retrieved = false;
};

TEST_F(SensorUpdateTest, WholeUpdateThroughTheReader) {
  const Case c{.name = "whole"};
  StartReader(c);
  ASSERT_EQ(RunUpdate(c), 1) << Shown();
  EXPECT_TRUE(window.boxes.empty()) << Shown();
  EXPECT_EQ(DifferencesFromImage(), 0);
  sim::SdiSensor& sensor = reader->Sensor();
  EXPECT_TRUE(sensor.FirmwareRunning());
  EXPECT_TRUE(sensor.Device().CodeGood());
  EXPECT_EQ(sensor.Identification().substr(16, 3), "106");
  EXPECT_EQ(sensor.Address(), '5');
  EXPECT_EQ(sensor.Setting("sn"), "CB-2104");
  EXPECT_EQ(sensor.Setting("x4"), "1.5 -2 3");
  EXPECT_EQ(sensor.Setting("xa"), "0.1 0.2 0.3");
  EXPECT_EQ(sensor.Setting("xo"), "9 9");
  EXPECT_EQ(sensor.TypeText(), "]");
  // The reader's path: opened to probe the loader, closed for the settings,
  // opened by the loader start, closed after programming, and the sensor's
  // power cycled at the end.
  EXPECT_EQ(ControlBytes(), "][][`");
  EXPECT_FALSE(reader->Transparent());
  EXPECT_EQ(window.progress, 100);
  EXPECT_EQ(window.status.rfind("Successfully updated firmware in ", 0), 0u);
  EXPECT_EQ(window.connect_label, "You may disconnect your Celva B Sensor Suite now.");
  EXPECT_FALSE(SettingsFileExists());
  EXPECT_TRUE(Showed("Checking Handix battery power..."));
  EXPECT_TRUE(Showed("Saving settings for this digital sensor..."));
  EXPECT_TRUE(Showed("Restarting the Celva B Sensor Suite, please wait..."));
}

TEST_F(SensorUpdateTest, Branches) {
  const std::string settings_question =
      std::string("The ") + kUpdater + " could not retrieve the settings from your " + kDevice +
      ".\nThis can happen when an intrument is new or doesn't have a serial number set yet.\n\n"
      "Click OK to continue loading new firmware.\nClick CANCEL to try retrieving the settings "
      "again.";
  const std::string type_k =
      "The attached sensor is claiming to be a \"Garno P Sensor\"\n\nThis firmware "
      "updater is for a \"Celva B Sensor Suite\".\n\nAre you sure you want to load the firmware "
      "for a Celva B Sensor Suite?\n";
  const std::string newer =
      "The firmware in your Celva B Sensor Suite\nis newer than the version in this "
      "updater.\n\nAre you sure you want to load older firmware.";
  const Case cases[] = {
      {.name = "reader 1.22 revision C",
       .reader_version = "1.22",
       .revision = "C",
       .rc = -120,
       .boxes = {{"message", "Wrong Device Version",
                  "Your Handix version 1.22 with hardware revision 'C' " + kReaderTooOld}},
       .saving = false},
      {.name = "reader 1.23 revision A after blanks",
       .revision = "  A",
       .rc = -120,
       .boxes = {{"message", "Wrong Device Version",
                  "Your Handix version 1.23 with hardware revision 'A' " + kReaderTooOld}},
       .saving = false},
      {.name = "reader 1.23 revision B after blanks", .revision = " \t B"},
      {.name = "battery 9 %",
       .battery = 9,
       .rc = -130,
       .boxes = {{"message", "Batteries Too Low",
                  "The battery power in the Handix is too low!\n\nPlease replace the batteries "
                  "before running this updater."}},
       .saving = false},
      {.name = "battery 10 %", .battery = 10},
      {.name = "battery not readable", .battery = -2},
      {.name = "loader waiting: the power cycle brings the firmware back, sensor mode stays",
       .faults = {.start = sim::DeviceState::kLoaderWaiting}},
      {.name = "capture fails",
       .faults = {.silent = true},
       .rc = -21,
       .boxes = {{"message", "Settings Error", kSettingsNotRetrieved}}},
      {.name = "capture fails, factory, Cancel",
       .faults = {.silent = true},
       .factory = true,
       .answers = {false},
       .rc = -40,
       .boxes = {{"question", "Settings Retrieve Error", settings_question}}},
      {.name = "capture fails, factory, OK: the silent sensor's loader cannot be reached",
       .faults = {.silent = true},
       .factory = true,
       .rc = -110,
       .boxes = {{"question", "Settings Retrieve Error", settings_question},
                 {"question", "Wrong Sensor Type", ""},
                 {"message", "Firmware Loader Error", kLoaderUnreachable}},
       .not_retrieved = true},
      {.name = "newer firmware, Cancel",
       .sensor = "celva-b",
       .answers = {false},
       .rc = -40,
       .boxes = {{"question", "Newer Firmware", newer}}},
      {.name = "Garno K family takes g: no question; a sensor without a loader",
       .sensor = "garno-g",
       .faults = {.no_loader = true},
       .sensor_type = 264,
       .rc = -112,
       .boxes = {{"message", "Firmware Loader Error",
                  "This digital sensor does not have a working firmware loader..\n\nPlease "
                  "contact Halvard for help."}}},
      {.name = "Garno K family refuses k",
       .sensor = "garno-k",
       .sensor_type = 264,
       .answers = {false},
       .rc = -40,
       .boxes = {{"question", "Wrong Sensor Type", type_k}}},
      {.name = "attach fails",
       .faults = {.loader = {.silent = true}},
       .rc = -110,
       .boxes = {{"message", "Firmware Loader Error", kLoaderUnreachable}}},
      {.name = "INFO erase fails",
       .faults = {.loader = {.refuse_every = 1}},
       .rc = -1,
       .boxes = {{"message", "INFO Memory Erase Error", DeviceErrorText(-1)}}},
      {.name = "flash erase fails",
       .faults = {.loader = {.unplug_after = 4}},
       .rc = -21,
       .boxes = {{"message", "Firmware Erase Error", DeviceErrorText(-21)}}},
      {.name = "upload fails",
       .faults = {.loader = {.unplug_after = 1100}},
       .rc = -21,
       .boxes = {{"message", "Firmware Upload Error", DeviceErrorText(-21)}}},
      {.name = "corrupt firmware",
       .faults = {.corrupt = true},
       .rc = -66,
       .boxes = {{"message", "Firmware Error",
                  "The new firmware for your Celva B Sensor Suite is corrupt!\n\nPlease try "
                  "again or contact Halvard."}}},
      {.name = "firmware cannot be checked",
       .faults = {.refuse_command = "post"},
       .rc = -1,
       .boxes = {{"message", "Firmware Error",
                  std::string("The ") + kUpdater +
                      " was unable to verify the new firmware in your " + kDevice +
                      ".\n\nPlease try again or contact Halvard.\n\n[Error -1]"}}},
      {.name = "restore fails, the run still succeeds",
       .faults = {.refuse_command = "X5"},
       .boxes = {{"message", "Settings Error",
                  std::string("The ") + kUpdater +
                      " failed to restore the calibration and address\nfor your " + kDevice +
                      ".\n\nPlease calibrate this sensor and check the address.\n\n[Error -34]"}},
       .file_kept = true},
      {.name = "sensor type fails, the run still succeeds",
       .faults = {.refuse_command = "X9"},
       .boxes = {{"message", "Settings Error",
                  std::string("The ") + kUpdater + " failed to set the sensor type for your " +
                      kDevice +
                      ".\n\nThe sensor type will be auto-determined by the firmware.\n\n[Error "
                      "-30]"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window = test::RecordingWindow{};
    std::filesystem::remove(SettingsFilePath(dir.Path().string(), kDevice));
    StartReader(c);
    EXPECT_EQ(RunUpdate(c), c.rc) << Shown();
    ExpectBoxes(c.boxes);
    EXPECT_EQ(Showed("Saving settings for this digital sensor..."), c.saving);
    EXPECT_EQ(not_retrieved, c.not_retrieved);
    if (c.rc < 0) {
      EXPECT_FALSE(window.status_visible);
      EXPECT_EQ(window.progress, 0);
      EXPECT_EQ(window.connect_label, "Connect Celva B Sensor Suite to computer comm port.");
      // The sensor's power is cycled, which also takes the reader back to
      // its own commands.
      EXPECT_EQ(ControlBytes().back(), '`');
      EXPECT_FALSE(reader->Transparent());
    } else {
      EXPECT_EQ(DifferencesFromImage(), 0);
      EXPECT_EQ(SettingsFileExists(), c.file_kept);
    }
  }
}

// A loader still attached from an update that did not finish: nothing is
// saved or asked, the erase starts at once, and the restore reads the file
// that run left (missing here, which is told, and the run still succeeds).
TEST_F(SensorUpdateTest, LoaderAlreadyActiveGoesStraightToErase) {
  const Case c{.name = "attached", .faults = {.start = sim::DeviceState::kLoaderAttached}};
  StartReader(c);
  EXPECT_EQ(RunUpdate(c), 1) << Shown();
  ExpectBoxes({{"message", "Settings Error",
                std::string("The ") + kUpdater +
                    " failed to restore the calibration and address\nfor your " + kDevice +
                    ".\n\nPlease calibrate this sensor and check the address.\n\n[Error -102]"}});
  EXPECT_FALSE(Showed("Saving settings for this digital sensor..."));
  EXPECT_FALSE(Showed("Starting the firmware loader..."));
  EXPECT_TRUE(Showed("Erasing firmware memory..."));
  EXPECT_EQ(DifferencesFromImage(), 0);
  EXPECT_EQ(ControlBytes(), "][`");
  // The type is written all the same.
  EXPECT_EQ(reader->Sensor().TypeText(), "]");
}

// What an earlier run saved comes back after a run that found the loader.
TEST_F(SensorUpdateTest, RestoreAfterAnUnfinishedUpdate) {
  const Case first{
      .name = "cut during the upload", .faults = {.loader = {.unplug_after = 1100}}, .rc = -21};
  StartReader(first);
  ASSERT_EQ(RunUpdate(first), -21) << Shown();
  ASSERT_TRUE(SettingsFileExists());
  window = test::RecordingWindow{};
  const Case second{.name = "again", .faults = {.start = sim::DeviceState::kLoaderAttached}};
  StartReader(second);
  // A fresh sensor in its loader stands for the one the cut left behind.
  EXPECT_EQ(RunUpdate(second), 1) << Shown();
  EXPECT_TRUE(window.boxes.empty()) << Shown();
  EXPECT_EQ(reader->Sensor().Address(), '5');
  EXPECT_EQ(reader->Sensor().Setting("x4"), "1.5 -2 3");
  EXPECT_FALSE(SettingsFileExists());
}

// A front end on which the user tries to quit in the middle of the upload.
class QuittingWindow : public test::RecordingWindow {
 public:
  std::function<void()> on_upload;
  void ProcessEvents() override {
    RecordingWindow::ProcessEvents();
    if (on_upload && status == "Uploading new firmware code..." && progress >= 40) {
      auto hook = std::move(on_upload);
      on_upload = nullptr;
      hook();
    }
  }
};

// The quit guard: OK keeps the run going; any other answer stops the upload,
// and the reader gets the sensor's power cycled and its port back.
TEST_F(SensorUpdateTest, QuitDuringTheUpload) {
  for (const bool keep_going : {true, false}) {
    SCOPED_TRACE(keep_going ? "OK" : "closed");
    const Case c{.name = "quit"};
    StartReader(c);
    InstrumentConnection connection(&log);
    HostBSL host(&log);
    LoadSensorImage(&host);
    QuittingWindow quitting;
    SensorUpdater updater(&quitting, &log, &connection, &host);
    EXPECT_EQ(updater.settings.device_name, kDevice);
    updater.settings.window_caption = kUpdater;
    updater.settings.port_name = kPort;
    updater.settings.port_display_text = kPort;
    updater.settings.app_data_folder = dir.Path().string();
    updater.settings.updater_firmware_version = 106;
    updater.settings.progress_step = ProgressStep(host.image_length);
    bool may_close = true;
    quitting.answers = {keep_going};
    quitting.on_upload = [&] { may_close = updater.ConfirmQuit(); };
    const int32_t rc = updater.Run();
    EXPECT_EQ(may_close, !keep_going);
    ASSERT_GE(quitting.boxes.size(), 1u);
    EXPECT_EQ(quitting.boxes[0].caption, "Don't Quit Now!");
    if (keep_going) {
      EXPECT_EQ(rc, 1);
      EXPECT_EQ(quitting.boxes.size(), 1u);
    } else {
      EXPECT_EQ(rc, -40);
      ASSERT_EQ(quitting.boxes.size(), 2u);
      EXPECT_EQ(quitting.boxes[1].caption, "Firmware Upload Error");
      EXPECT_EQ(quitting.boxes[1].text, DeviceErrorText(-40));
      EXPECT_EQ(ControlBytes().back(), '`');
      EXPECT_FALSE(updater.Busy());
    }
  }
}

// Anything but a Handix or a VADRO Comm Device on the port is refused.
TEST_F(SensorUpdateTest, WrongDeviceOnThePort) {
  Stop();
  sim::SimDevice pumatic(*sim::FindDeviceProfile("pumatic"));
  backend = std::make_unique<sim::SimPortBackend>(pumatic, kPort);
  backend->Listen(&clock);
  use_backend.emplace(backend.get());
  const Case c{.name = "pumatic"};
  EXPECT_EQ(RunUpdate(c), -121);
  ExpectBoxes({{"message", "Wrong Device",
                std::string("The ") + kUpdater +
                    " expected to find a Handix (or VADRO Comm Device);\nhowever, it found a "
                    "Pumatic.\n\nThis updater can not work with a Pumatic."}});
  Stop();
}

// The first connection's failures name the communication device.
TEST_F(SensorUpdateTest, SilentReader) {
  Case c{.name = "silent"};
  StartReader(c);
  Stop();
  sim::DeviceSetup setup;
  setup.faults.silent = true;
  sim::HandixReader silent(*sim::FindSdiSensorProfile("celva-b-104"), {}, setup);
  backend = std::make_unique<sim::SimPortBackend>(silent.Device(), kPort);
  backend->Listen(&clock);
  use_backend.emplace(backend.get());
  EXPECT_EQ(RunUpdate(c), -20);
  ExpectBoxes({{"message", "Connection Error",
                std::string("The ") + kUpdater +
                    " is unable to connect to your communication device\n on Comm Port "
                    "\"SIM4\".\n\nPlease check your serial cable and Comm Port choice."}});
  Stop();
}

}  // namespace
}  // namespace halv
