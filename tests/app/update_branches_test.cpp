// Every way an instrument update can go, run against simulated devices in
// process on virtual time: the message, caption and question each branch
// shows, its result and failure class, and whether the settings file stays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/app_paths.h"
#include "app/firmware_file.h"
#include "app/instrument_updater.h"
#include "bsl/ti_text.h"
#include "protocol/instrument.h"
#include "serial/script_port.h"
#include "sim/firmware_header.h"
#include "sim/sim_port_backend.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv {
namespace {

constexpr const char* kPort = "SIM1";
constexpr const char* kUpdater = "Pumatic Firmware Updater";

// The texts as the user must see them.
const std::string kUnableToConnect =
    "The Pumatic Firmware Updater is unable to connect to your Pumatic\n on Comm Port \"SIM1\"."
    "\n\nPlease check your serial cable and Comm Port choice.";
const std::string kWrongDeviceText =
    "The Pumatic Firmware Updater expected to find a Pumatic;\nhowever, it found a Stomex.\n\n"
    "This updater can not update a Stomex.";
const std::string kNewerText =
    "The firmware in your Pumatic\nis newer than the version in this updater.\n\n"
    "Are you sure you want to load older firmware.";
std::string DeviceErrorText(const std::string& device, int rc) {
  return "The Pumatic Firmware Updater encountered an error working with your " + device +
         ".\n\nPlease try again.\n\n[Error " + std::to_string(rc) + "]";
}

// A port that cannot be opened, with the code the system gave.
class RefusingBackend : public PortBackend {
 public:
  explicit RefusingBackend(int32_t code) : code_(code) {}
  int32_t Open(const char*, std::unique_ptr<Port>*) override { return code_; }

 private:
  int32_t code_;
};

// A front end on which the user can try to quit in the middle of the upload,
// and which notes on the virtual clock when the reconnection begins and when
// each message box appears.
class QuittingWindow : public test::RecordingWindow {
 public:
  std::function<void()> on_upload;
  VirtualClock* clock = nullptr;
  uint64_t reconnect_ms = 0;
  std::vector<uint64_t> box_ms;
  void SetProgress(int position) override {
    RecordingWindow::SetProgress(position);
    if (position == 92 && clock != nullptr) reconnect_ms = clock->NowMs();
  }
  void ShowMessageBox(const std::string& text, const std::string& caption,
                      MessageKind kind) override {
    RecordingWindow::ShowMessageBox(text, caption, kind);
    if (clock != nullptr) box_ms.push_back(clock->NowMs());
  }
  void ProcessEvents() override {
    RecordingWindow::ProcessEvents();
    if (on_upload && status == "Uploading new firmware code..." && progress >= 40) {
      auto hook = std::move(on_upload);
      on_upload = nullptr;
      hook();
    }
  }
};

struct Expected {
  std::string kind;  // "message", "question", "notice"
  std::string caption;
  std::string text;  // empty: not compared
};

class UpdateBranchesTest : public ::testing::Test {
 protected:
  UpdateBranchesTest() : use_clock(&clock) {
    CreateDiagLog(&log, dir.File("errors.txt").c_str(), kLogProgress, true);
  }
  ~UpdateBranchesTest() override {
    use_backend.reset();
    backend.reset();
  }

  void Start(const char* profile, sim::DeviceSetup setup = {}) {
    use_backend.reset();
    backend.reset();
    device = std::make_unique<sim::SimDevice>(*sim::FindDeviceProfile(profile), setup);
    // Paced, so that a pulled cable takes effect where it is pulled.
    backend = std::make_unique<sim::SimPortBackend>(*device, kPort, sim::LineOptions{true});
    backend->Listen(&clock);
    use_backend.emplace(backend.get());
  }

  // One run with a fresh engine. `adjust` changes the window's settings;
  // `image` is a firmware file loaded in place of the built-in one.
  int32_t RunUpdate(const std::function<void(UpdateSettings&)>& adjust = {},
                    const std::string& image = {}) {
    InstrumentConnection connection(&log);
    HostBSL host(&log);
    InstrumentUpdater updater(&window, &log, &connection, &host);
    UpdateSettings& s = updater.settings;
    s.device_name = "Pumatic";
    s.window_caption = kUpdater;
    s.port_name = kPort;
    s.port_display_text = kPort;
    s.app_data_folder = dir.Path().string();
    s.updater_firmware_version = 106;
    s.progress_step = ProgressStep(host.image_length);
    if (!image.empty()) {
      EXPECT_EQ(OpenFirmwareFile(&window, &log, &host, &s, image, 24), 1);
    }
    if (adjust) adjust(s);
    window.on_upload = [&] { quit_allowed = updater.ConfirmQuit(); };
    if (!quit_during_upload) window.on_upload = nullptr;
    const int32_t rc = updater.Run();
    failure = updater.Failure();
    return rc;
  }

  void ExpectBoxes(const std::vector<Expected>& expected) {
    ASSERT_EQ(window.boxes.size(), expected.size()) << Shown();
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(window.boxes[i].kind, expected[i].kind) << i;
      EXPECT_EQ(window.boxes[i].caption, expected[i].caption) << i;
      if (!expected[i].text.empty()) {
        EXPECT_EQ(window.boxes[i].text, expected[i].text) << i;
      }
    }
  }
  std::string Shown() const {
    std::string all;
    for (const auto& b : window.boxes) all += b.kind + " [" + b.caption + "] " + b.text + "\n";
    return all;
  }

  bool SettingsFileExists(const std::string& device = "Pumatic") {
    return std::filesystem::exists(SettingsFilePath(dir.Path().string(), device));
  }

  // A firmware file for a simulated kind: its header and reset vector, the
  // rest erased, so that the device's self-check passes once programmed.
  std::string WriteImage(const char* profile_name, const char* model, const char* version,
                         const std::string& file_name) {
    const sim::DeviceProfile& profile = *sim::FindDeviceProfile(profile_name);
    sim::FlashMemory memory(profile);
    sim::InstallFactoryFirmware(&memory, profile, model, version);
    const std::string path = dir.File(file_name);
    FILE* f = fopen(path.c_str(), "w");
    auto segment = [&](uint32_t start, uint32_t end) {
      fprintf(f, "@%04X\n", start);
      for (uint32_t a = start; a < end; ++a) {
        fprintf(f, "%02X%c", memory.Byte(a), (a - start) % 16 == 15 ? '\n' : ' ');
      }
    };
    segment(profile.flash_start, profile.flash_start + sim::kHeaderBytes);
    segment(sim::kVectorTableStart, sim::kVectorTableEnd);
    fprintf(f, "q\n");
    fclose(f);
    return path;
  }

  test::TempDir dir;
  DiagLog log;
  VirtualClock clock;
  ScopedClock use_clock;
  std::unique_ptr<sim::SimDevice> device;
  std::unique_ptr<sim::SimPortBackend> backend;
  std::optional<ScopedPortBackend> use_backend;
  QuittingWindow window;
  UpdateFailure failure = UpdateFailure::kNone;
  bool quit_during_upload = false;
  bool quit_allowed = false;
};

// The first connection: every code it can end with.
TEST_F(UpdateBranchesTest, FirstConnectionFailures) {
  struct Case {
    const char* name;
    int32_t port_error;   // 0: the port opens onto the device below
    const char* profile;  // the simulated device
    bool silent;
    std::string text;
  };
  const Case cases[] = {
      {"port busy", -5, nullptr, false,
       "Comm Port \"SIM1\" is already in use by another application.\nPlease choose a new Comm "
       "Port to use or quit the application using this port."},
      {"no such port", -2, nullptr, false,
       "Comm Port \"SIM1\" isn't available.\nPlease choose a new Comm Port to use."},
      {"no permission", -13, nullptr, false,
       "Comm Port \"SIM1\" can't be opened: you don't have permission to use it.\nOn Linux, add "
       "your user to the \"dialout\" group (sudo usermod -aG dialout $USER),\nthen log out and "
       "log in again before you retry."},
      {"silent device", 0, "pumatic", true, kUnableToConnect},
      {"unknown model", 0, "zorbex", false,
       "The Pumatic Firmware Updater is unable to connect to your unknown device\n on Comm Port "
       "\"SIM1\".\n\nPlease check your serial cable and Comm Port choice.\n\nPlease verify the "
       "device connected is a \"Pumatic\" and has a version of\nfirmware that supports updates."},
      {"version too old", 0, "raylo-old", false,
       "The Pumatic Firmware Updater does not support your Solvia Raylo\nrunning version 140."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window = QuittingWindow{};
    std::optional<RefusingBackend> refusing;
    if (c.port_error != 0) {
      use_backend.reset();
      refusing.emplace(c.port_error);
      use_backend.emplace(&*refusing);
    } else {
      sim::DeviceSetup setup;
      setup.faults.silent = c.silent;
      Start(c.profile, setup);
    }
    EXPECT_EQ(RunUpdate(), -20);
    EXPECT_EQ(failure, UpdateFailure::kConnection);
    ExpectBoxes({{"message", "Connection Error", c.text}});
    EXPECT_EQ(window.boxes[0].message_kind, kMessageError);
    EXPECT_FALSE(window.status_visible);
    EXPECT_EQ(window.progress, 0);
    EXPECT_EQ(window.connect_label, "Connect Pumatic to computer comm port.");
    EXPECT_FALSE(SettingsFileExists());
    use_backend.reset();
  }
}

// The checks before anything is written: kind, newer firmware and battery.
TEST_F(UpdateBranchesTest, ChecksBeforeTheUpdate) {
  struct Case {
    const char* name;
    const char* profile;
    const char* version;  // the device's firmware (null: the profile's)
    int battery;          // -1: the profile's; -2: the gauge cannot be read
    bool factory;
    std::vector<bool> answers;
    int32_t rc;
    UpdateFailure failure;
    std::vector<Expected> boxes;
  };
  const std::string override_text =
      kWrongDeviceText + "\n\n[Factory Mode Override: Click OK to load FW anyway]";
  const Case cases[] = {
      {"wrong kind",
       "stomex",
       nullptr,
       -1,
       false,
       {},
       -121,
       UpdateFailure::kWrongDevice,
       {{"message", "Wrong Device", kWrongDeviceText}}},
      {"wrong kind, factory, Cancel",
       "stomex",
       nullptr,
       -1,
       true,
       {false},
       -121,
       UpdateFailure::kCancelled,
       {{"question", "Wrong Device", override_text}}},
      {"newer firmware, Cancel",
       "pumatic",
       "1.07",
       -1,
       false,
       {false},
       -40,
       UpdateFailure::kCancelled,
       {{"question", "Newer Firmware", kNewerText}}},
      {"newer firmware, OK",
       "pumatic",
       "1.07",
       -1,
       false,
       {true},
       1,
       UpdateFailure::kNone,
       {{"question", "Newer Firmware", kNewerText}}},
      {"newer firmware, factory mode",
       "pumatic",
       "1.07",
       -1,
       true,
       {},
       1,
       UpdateFailure::kNone,
       {}},
      {"equal version", "pumatic", "1.06", -1, false, {}, 1, UpdateFailure::kNone, {}},
      {"battery 9 %",
       "pumatic",
       nullptr,
       9,
       false,
       {},
       -130,
       UpdateFailure::kBattery,
       {{"message", "Batteries Too Low",
         "The battery power is too low!\n\nPlease replace the batteries before running this "
         "updater."}}},
      {"battery 10 %", "pumatic", nullptr, 10, false, {}, 1, UpdateFailure::kNone, {}},
      {"battery unreadable", "pumatic", nullptr, -2, false, {}, 1, UpdateFailure::kNone, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(SettingsFilePath(dir.Path().string(), "Pumatic"));
    window = QuittingWindow{};
    window.answers.assign(c.answers.begin(), c.answers.end());
    sim::DeviceSetup setup;
    setup.firmware_version = c.version;
    setup.faults.battery_percent = c.battery;
    Start(c.profile, setup);
    EXPECT_EQ(RunUpdate([&](UpdateSettings& s) { s.factory_mode = c.factory; }), c.rc);
    EXPECT_EQ(failure, c.failure);
    ExpectBoxes(c.boxes);
    // Nothing was written to a device that was turned away.
    EXPECT_EQ(device->Restarts(), c.rc == 1 ? 1u : 0u);
    EXPECT_FALSE(SettingsFileExists());
  }
}

// In factory mode OK on "Wrong Device" carries on with the device found.
TEST_F(UpdateBranchesTest, FactoryOverrideCarriesOnWithTheFoundDevice) {
  Start("stomex");
  window.answers = {true};
  RunUpdate([](UpdateSettings& s) { s.factory_mode = true; });
  ASSERT_FALSE(window.boxes.empty());
  EXPECT_EQ(window.boxes[0].kind, "question");
  EXPECT_EQ(window.boxes[0].caption, "Wrong Device");
  EXPECT_EQ(device->Restarts(), 1u) << Shown();  // it was programmed
}

// Saving the settings fails: the file cannot be written.
TEST_F(UpdateBranchesTest, SettingsThatCannotBeSavedStopTheRun) {
  Start("pumatic");
  const int32_t rc =
      RunUpdate([&](UpdateSettings& s) { s.app_data_folder = dir.File("missing/folder"); });
  EXPECT_LT(rc, 0);
  EXPECT_EQ(failure, UpdateFailure::kSettings);
  ExpectBoxes({{"message", "Settings Error",
                "This Pumatic Firmware Updater could not retrieve the settings from your "
                "Pumatic.\nPlease try again or contact Halvard for help."}});
  EXPECT_EQ(device->Restarts(), 0u);
}

// The loader, the erases, the upload and the restart, each failing in turn:
// a pulled cable leaves every frame unanswered until the retries run out.
TEST_F(UpdateBranchesTest, LoaderEraseAndUploadFailures) {
  Start("pumatic");
  ASSERT_EQ(RunUpdate(), 1);
  const uint32_t frames = device->FramesSeen();  // "g", 3 INFO and 61 flash erases, ..., "V"
  struct Case {
    const char* name;
    sim::FaultPlan faults;
    int32_t rc;  // 0: the pulled line's code, compared through the text
    UpdateFailure failure;
    const char* caption;
    std::string text;
  };
  auto unplug = [](uint32_t after) {
    sim::FaultPlan f;
    f.unplug_after = after;
    return f;
  };
  sim::FaultPlan no_loader;
  no_loader.no_loader = true;
  sim::FaultPlan refusing;
  refusing.refuse_every = 1;
  const Case cases[] = {
      {"no loader", no_loader, -112, UpdateFailure::kLoader, "Firmware Loader Error",
       "This Pumatic does not have a working firmware loader.\n\nPlease contact Halvard for "
       "help."},
      {"loader refuses", refusing, -110, UpdateFailure::kLoader, "Firmware Loader Error",
       "The Pumatic Firmware Updater is unable to connect to the firmware loader in your "
       "Pumatic.\n\nPlease try again."},
      {"INFO erase", unplug(1), 0, UpdateFailure::kFlash, "INFO Memory Erase Error", ""},
      {"flash erase", unplug(4), 0, UpdateFailure::kFlash, "Firmware Erase Error", ""},
      {"upload", unplug(80), 0, UpdateFailure::kFlash, "Firmware Upload Error", ""},
      {"vectors", unplug(frames - 1), 0, UpdateFailure::kFlash, "Firmware Upload Error", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window = QuittingWindow{};
    std::filesystem::remove(SettingsFilePath(dir.Path().string(), "Pumatic"));
    sim::DeviceSetup setup;
    setup.faults = c.faults;
    Start("pumatic", setup);
    const int32_t rc = RunUpdate();
    EXPECT_LT(rc, 0);
    if (c.rc != 0) {
      EXPECT_EQ(rc, c.rc);
    }
    EXPECT_EQ(failure, c.failure);
    ExpectBoxes({{"message", c.caption, c.text.empty() ? DeviceErrorText("Pumatic", rc) : c.text}});
    EXPECT_TRUE(SettingsFileExists());
    EXPECT_EQ(device->Restarts(), 0u);
  }
}

// The quit guard during the upload: OK on the notice keeps the run going;
// any other answer stops the loader loop and the run fails as cancelled.
TEST_F(UpdateBranchesTest, QuitGuardDuringTheUpload) {
  const std::string guard =
      "The Pumatic Firmware Updater is updating your Pumatic!\nThis process should NOT be "
      "interrupted.\n\nYour Pumatic may be unusable or have missing settings\nuntil you complete "
      "the firmware update process.\n\nClick OK to continue updating your Pumatic.\n";
  struct Case {
    bool ok;
    int32_t rc;
    bool quit_allowed;
    std::vector<Expected> boxes;
  };
  const Case cases[] = {
      {true, 1, false, {{"notice", "Don't Quit Now!", guard}}},
      {false,
       -40,
       true,
       {{"notice", "Don't Quit Now!", guard},
        {"message", "Firmware Upload Error", DeviceErrorText("Pumatic", -40)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ok);
    window = QuittingWindow{};
    window.answers = {c.ok};
    quit_during_upload = true;
    Start("pumatic");
    EXPECT_EQ(RunUpdate(), c.rc);
    EXPECT_EQ(quit_allowed, c.quit_allowed);
    ExpectBoxes(c.boxes);
  }
}

// After the restart: no answer, or firmware that fails its self-check.
TEST_F(UpdateBranchesTest, FailuresAfterTheRestart) {
  sim::DeviceSetup corrupt;
  corrupt.faults.post_corrupt = true;
  Start("pumatic", corrupt);
  const int32_t rc = RunUpdate();
  EXPECT_LT(rc, 0);
  EXPECT_EQ(failure, UpdateFailure::kFirmwareCheck);
  ExpectBoxes({{"message", "Firmware Error",
                "The new firmware for your Pumatic is corrupt!\n\nPlease try again or contact "
                "Halvard."}});
  EXPECT_TRUE(SettingsFileExists());
}

// The reconnection tries three times, pausing 0, 1500 and 3000 ms after the
// failed attempts, then reports the last code.
TEST_F(UpdateBranchesTest, ReconnectionThatNeverAnswers) {
  Start("pumatic");
  ASSERT_EQ(RunUpdate(), 1);
  sim::DeviceSetup setup;
  setup.faults.unplug_after = device->FramesSeen();
  window = QuittingWindow{};
  Start("pumatic", setup);
  const int32_t rc = RunUpdate();
  EXPECT_LT(rc, 0);
  EXPECT_EQ(failure, UpdateFailure::kConnection);
  ExpectBoxes({{"message", "Connection Error", DeviceErrorText("Pumatic", rc)}});
  EXPECT_TRUE(SettingsFileExists());
}

// A run that finds the loader listening restores from the file an earlier
// run left; without one, or with one it cannot read, it says so and still
// ends in success with the device programmed.
TEST_F(UpdateBranchesTest, RestoreCases) {
  struct Case {
    const char* name;
    const char* file;  // the settings file before the run (null: none)
    std::vector<Expected> boxes;
  };
  const Case cases[] = {
      {"no settings file",
       nullptr,
       {{"message", "Settings Error",
         "The Pumatic Firmware Updater couldn't find the settings file for your Pumatic.\n\n"
         "Please try again or contact Halvard for help."},
        {"message", "Settings Error",
         "The Pumatic Firmware Updater failed to restore the settings for your Pumatic.\n\n"
         "Please try again.\n\n[Error -102]"}}},
      {"unreadable file",
       "\x01\x02garbage\xff\n\n\n",
       {{"message", "Settings Error",
         "The Pumatic Firmware Updater failed to restore the settings for your Pumatic.\n\n"
         "Please try again.\n\n[Error -30]"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window = QuittingWindow{};
    const std::string path = SettingsFilePath(dir.Path().string(), "Pumatic");
    std::filesystem::remove(path);
    if (c.file != nullptr) test::WriteWholeFile(path, c.file);
    sim::DeviceSetup setup;
    setup.start = sim::DeviceState::kLoaderWaiting;
    Start("pumatic", setup);
    EXPECT_EQ(RunUpdate(), 1) << Shown();
    ExpectBoxes(c.boxes);
    EXPECT_TRUE(device->CodeGood());
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

// A kind that erases its data and asks for calibration afterwards.
TEST_F(UpdateBranchesTest, StomexUpdateErasesDataAndShowsTheCalibrationNotice) {
  const std::string image = WriteImage("stomex", "SX", "2.10", "SX-2-10.txt");
  struct Case {
    bool dataflash_fail;
    bool dont_erase;
    int32_t rc;
    std::vector<Expected> boxes;
  };
  const std::string notice =
      "Updating the firmware in your Stomex requires you to calibrate\nthe the sensor head using "
      "the Halvard-supplied calibration plate.\n\nPlease see the Stomex user manual (version 7 or "
      "newer) for\ncalibration instructions. The latest user manual is available for download "
      "from:\nhttps://www.quorrin.example/literature/";
  const Case cases[] = {
      {false, false, 1, {{"message", "Please Calibrate Your Stomex", notice}}},
      {false, true, 1, {{"message", "Please Calibrate Your Stomex", notice}}},
      {true,
       false,
       -65,
       {{"message", "Data Erase Error",
         "The Pumatic Firmware Updater was unable to erase the data in your Stomex because the "
         "data storage chip is reporting errors.\n\nPlease contact Halvard for help."}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dataflash_fail << c.dont_erase);
    window = QuittingWindow{};
    sim::DeviceSetup setup;
    setup.faults.dataflash_fail = c.dataflash_fail;
    Start("stomex", setup);
    const int32_t rc = RunUpdate(
        [&](UpdateSettings& s) {
          s.factory_mode = true;
          s.dont_erase_data = c.dont_erase;
        },
        image);
    EXPECT_EQ(rc, c.rc) << Shown();
    if (rc < 0) {
      EXPECT_EQ(failure, UpdateFailure::kDataErase);
    }
    ExpectBoxes(c.boxes);
    if (!window.boxes.empty() && rc > 0) {
      EXPECT_EQ(window.boxes[0].message_kind, kMessageWarning);
    }
    EXPECT_EQ(device->VersionText(), "SX 2.10");
    EXPECT_EQ(device->Settings()["sn"], "SX09-02291");
    EXPECT_EQ(device->DataErased(), rc > 0 && !c.dont_erase);
    EXPECT_EQ(SettingsFileExists("Stomex"), rc < 0);
  }
}

// Kinds with a version window: below it, above it, inside it, and the
// question a factory user gets instead of the refusal.
TEST_F(UpdateBranchesTest, FirmwareVersionWindow) {
  const std::string hyq = WriteImage("hydrel-q", "HYQ", "2.20", "HYQ-2-20.txt");
  const std::string tdl = WriteImage("hydrel-q-tdl", "HYQTDL", "2.20", "HYQTDL-2-20.txt");
  const std::string too_old =
      "The Pumatic Firmware Updater doesn't support this Hydrel Q\nrunning version 2.01.\n\n"
      "This updater only works with firmware version 2.02 (or newer).";
  const std::string too_new =
      "The Pumatic Firmware Updater doesn't support this Hydrel Q TDL\nrunning version 3.00.\n\n"
      "This updater only works with firmware version 2.99 (or older).";
  const std::string force =
      "\n\nClick OK to force the update anyway.\nClick CANCEL to quit the updater.";
  auto newer = [](const std::string& device) {
    return "The firmware in your " + device +
           "\nis newer than the version in this updater.\n\n"
           "Are you sure you want to load older firmware.";
  };
  struct Case {
    const char* profile;
    const char* version;
    const std::string& image;
    bool factory;
    std::vector<bool> answers;
    int32_t rc;
    std::vector<Expected> boxes;
  };
  const Case cases[] = {
      {"hydrel-q", "2.01", hyq, false, {}, -120, {{"message", "Wrong Firmware Version", too_old}}},
      {"hydrel-q", "2.02", hyq, false, {}, 1, {}},
      {"hydrel-q",
       "9.99",
       hyq,
       false,
       {true},
       1,
       {{"question", "Newer Firmware", newer("Hydrel Q")}}},
      {"hydrel-q-tdl",
       "3.00",
       tdl,
       false,
       {true},
       -120,
       {{"question", "Newer Firmware", newer("Hydrel Q TDL")},
        {"message", "Wrong Firmware Version", too_new}}},
      {"hydrel-q",
       "2.01",
       hyq,
       true,
       {true},
       1,
       {{"question", "Wrong Firmware Version", too_old + force}}},
      {"hydrel-q",
       "2.01",
       hyq,
       true,
       {false},
       -120,
       {{"question", "Wrong Firmware Version", too_old + force}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.profile << " " << c.version << " " << c.factory);
    window = QuittingWindow{};
    window.answers.assign(c.answers.begin(), c.answers.end());
    sim::DeviceSetup setup;
    setup.firmware_version = c.version;
    Start(c.profile, setup);
    EXPECT_EQ(RunUpdate([&](UpdateSettings& s) { s.factory_mode = c.factory; }, c.image), c.rc)
        << Shown();
    EXPECT_EQ(failure, c.rc == 1 ? UpdateFailure::kNone : UpdateFailure::kWrongDevice);
    ExpectBoxes(c.boxes);
    EXPECT_EQ(device->Restarts(), c.rc == 1 ? 1u : 0u);
    if (c.rc == 1) {
      EXPECT_EQ(device->VersionText(), c.image == hyq ? "HYQ 2.20" : "HYQTDL 2.20");
      EXPECT_EQ(device->Settings().at("sn"), c.image == hyq ? "HQ15-01000" : "QT22-00150");
    }
  }
}

// A device that refuses the login: before the save the run stops with
// nothing written; after the update (a run that finds the loader waiting
// skips the save) the user is told and the run goes on.
TEST_F(UpdateBranchesTest, LoginFailuresBeforeAndAfterTheUpdate) {
  const std::string image = WriteImage("potex-locked", "POTEX", "1.10", "POTEX-1-10.txt");
  struct Case {
    const char* name;
    sim::DeviceState start;
    int32_t rc;
    UpdateFailure failure;
    uint32_t restarts;
    std::vector<Expected> boxes;
  };
  const Case cases[] = {
      {"before the save",
       sim::DeviceState::kFirmware,
       -25,
       UpdateFailure::kSettings,
       0,
       {{"message", "Login Error",
         "This Pumatic Firmware Updater could not retrieve the settings from your POTEX.\n"
         "Please try again or contact Halvard for help."}}},
      {"after the update",
       sim::DeviceState::kLoaderWaiting,
       1,
       UpdateFailure::kNone,
       1,
       {{"message", "Login Error",
         "This Pumatic Firmware Updater failed to log into your POTEX.\nPlease check the "
         "settings on your instrument or contact Halvard for help."},
        {"message", "Settings Error",
         "The Pumatic Firmware Updater couldn't find the settings file for your POTEX.\n\n"
         "Please try again or contact Halvard for help."},
        {"message", "Settings Error",
         "The Pumatic Firmware Updater failed to restore the settings for your POTEX.\n\n"
         "Please try again.\n\n[Error -102]"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window = QuittingWindow{};
    sim::DeviceSetup setup;
    setup.start = c.start;
    Start("potex-locked", setup);
    EXPECT_EQ(RunUpdate({}, image), c.rc) << Shown();
    EXPECT_EQ(failure, c.failure);
    ExpectBoxes(c.boxes);
    EXPECT_EQ(device->Restarts(), c.restarts);
    EXPECT_FALSE(device->LoggedIn());
    EXPECT_FALSE(SettingsFileExists("POTEX"));
  }
}

// A data erase that fails for another reason than a faulty data chip: the
// unit has no data memory and says so, which is no confirmation.
TEST_F(UpdateBranchesTest, DataEraseWithoutConfirmation) {
  const std::string image = WriteImage("thermik-nodata", "TK", "1.20", "TK-1-20.txt");
  Start("thermik-nodata");
  EXPECT_EQ(RunUpdate({}, image), -30) << Shown();
  EXPECT_EQ(failure, UpdateFailure::kDataErase);
  ExpectBoxes({{"message", "Data Erase Error",
                "The Pumatic Firmware Updater was unable to erase the data in your Thermik.\n"
                "Please try again.\n[Error: -30]"}});
  EXPECT_EQ(device->VersionText(), "TK 1.20");
  EXPECT_EQ(device->Settings().at("sn"), "TK07-01177");  // restored before the erase
  EXPECT_TRUE(SettingsFileExists("Thermik"));
}

// Restoring from a settings file an earlier run left: one the device takes
// only in part, and one the updater may not read.
TEST_F(UpdateBranchesTest, RestoreFromAFileTakenInPartOrNotReadable) {
  const std::string image = WriteImage("stomex", "SX", "2.10", "SX-2-10.txt");
  const std::string header = "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n";
  // Written by firmware with more contrast steps than this one takes.
  const std::string file = header +
                           "type=\"SX\"\r\nsn=\"SX09-02291\"\r\ncontr=\"99\"\r\n"
                           "fvals=\"0.992 1.004\"\r\nunits=\"2\"\r\n";
  const std::string path = SettingsFilePath(dir.Path().string(), "Stomex");
  struct Case {
    const char* name;
    bool readable;
    std::string text;
  };
  const Case cases[] = {
      {"taken in part", true,
       "The Pumatic Firmware Updater failed to restore some of the settings for your Stomex."
       "\n\nPlease check the settings after this updater is finished."},
      {"access denied", false,
       "The Pumatic Firmware Updater failed to read the settings file for your Stomex.\n\n"
       "Please try again or contact Halvard for help.\n\nError: -105"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.readable && geteuid() == 0) continue;  // root reads any file
    window = QuittingWindow{};
    test::WriteWholeFile(path, file);
    if (!c.readable) std::filesystem::permissions(path, std::filesystem::perms::none);
    sim::DeviceSetup setup;
    setup.start = sim::DeviceState::kLoaderWaiting;
    Start("stomex", setup);
    EXPECT_EQ(RunUpdate({}, image), 1) << Shown();
    ASSERT_GE(window.boxes.size(), 1u) << Shown();
    EXPECT_EQ(window.boxes[0].caption, "Settings Error");
    EXPECT_EQ(window.boxes[0].text, c.text);
    if (c.readable) {
      EXPECT_EQ(device->Settings().at("sn"), "SX09-02291");
      EXPECT_EQ(device->Settings().at("fvals"), "0.992 1.004");
      EXPECT_EQ(device->Settings().at("units"), "2");
      EXPECT_EQ(device->Settings().at("contr"), "5");  // refused: the default stays
    }
    std::filesystem::remove(path);
  }
}

// The reconnection after the restart tries three times and waits 0, 1500 and
// 3000 ms after the failed attempts before it gives up.
TEST_F(UpdateBranchesTest, ReconnectionWaitsBetweenItsAttempts) {
  Start("pumatic");
  ASSERT_EQ(RunUpdate(), 1);
  sim::DeviceSetup setup;
  setup.faults.unplug_after = device->FramesSeen();
  window = QuittingWindow{};
  window.clock = &clock;
  Start("pumatic", setup);
  ASSERT_LT(RunUpdate(), 0);
  ASSERT_EQ(window.box_ms.size(), 1u) << Shown();
  const uint64_t reconnecting = window.box_ms[0] - window.reconnect_ms;

  // One attempt on the same dead line takes as long as each of the three.
  InstrumentConnection connection(&log);
  DeviceInfo info;
  const uint64_t start = clock.NowMs();
  EXPECT_LT(DPConnect(&connection, kPort, 2, 3, &info), 0);
  const uint64_t attempt = clock.NowMs() - start;
  EXPECT_EQ(reconnecting, 3 * attempt + 0 + 1500 + 3000);
}

}  // namespace
}  // namespace halv
