// The fault campaign of the digital-sensor update: a Celva B sensor behind a
// simulated Handix reader, faults in the reader, the sensor, its loader and
// both cables.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/app_paths.h"
#include "app/firmware_file.h"
#include "app/sensor_updater.h"
#include "bsl/ti_text.h"
#include "campaign/campaign_support.h"
#include "campaign/update_campaign.h"
#include "protocol/instrument.h"
#include "serial/script_port.h"
#include "sim/handix_reader.h"
#include "support/temp_dir.h"

namespace halv::campaign {
namespace {

constexpr const char* kPort = "SIM4";
constexpr const char* kSensor = "celva-b-104";
constexpr const char* kDevice = "Celva B Sensor Suite";
constexpr const char* kNewVersionDigits = "106";
// The sensor's own settings the update must bring back.
constexpr const char* kKeptSettings[] = {"sn", "x4", "xa"};
// SDI-12 commands of a sensor update ("?X8!" and so on), any may be refused.
constexpr const char* kSensorCommands[] = {"I", "X4", "Xa", "XO", "X5", "X8", "X9", "post", "B"};
// The reader's own commands; any may go unanswered.
constexpr const char* kReaderCommands[] = {"get -ver", "get -hver", "get -batt"};

enum class SensorFault {
  kNone,
  kLostFrame,
  kRefusedFrame,
  kLossyLoader,
  kSensorCableCut,  // the cable between reader and sensor, at a loader frame
  kPulledAtMoment,  // the cable between computer and reader
  kRefusedCommand,
  kSleepySensor,
  kSilentSensor,
  kCorruptPost,
  kReaderBattery,
  kNoLoader,
  kReaderMuted,
  kMixed,
  kCount,
};

const char* SensorFaultName(SensorFault kind) {
  constexpr const char* kNames[] = {"no fault",          "frame lost",     "frame refused",
                                    "lossy loader line", "sensor cut",     "pulled at a moment",
                                    "command refused",   "sleepy sensor",  "silent sensor",
                                    "corrupt post",      "reader battery", "no loader",
                                    "reader unanswered", "mixed"};
  const auto i = static_cast<size_t>(kind);
  return i < std::size(kNames) ? kNames[i] : "?";
}

struct Baseline {
  uint32_t frames = 0;
  uint64_t run_ms = 0;
};

struct Plan {
  sim::SdiSensorFaults sensor;
  sim::DeviceSetup reader;
  uint64_t pull_after_ms = 0;
  std::string text;
};

void Describe(Plan* plan, const std::string& what) {
  if (!plan->text.empty()) plan->text += ", ";
  plan->text += what;
}

template <size_t N>
const char* Pick(Rng& rng, const char* const (&list)[N]) {
  return list[Draw(rng, 0, static_cast<uint32_t>(N) - 1)];
}

void DrawFault(SensorFault kind, Rng& rng, const Baseline& base, Plan* plan) {
  sim::FaultPlan& loader = plan->sensor.loader;
  switch (kind) {
    case SensorFault::kNone:
    case SensorFault::kMixed:
    case SensorFault::kCount:
      break;
    case SensorFault::kLostFrame:
      loader.drop_frame = Draw(rng, 1, base.frames);
      Describe(plan, "frame " + std::to_string(loader.drop_frame) + " lost");
      break;
    case SensorFault::kRefusedFrame:
      loader.refuse_frame = Draw(rng, 1, base.frames);
      Describe(plan, "frame " + std::to_string(loader.refuse_frame) + " refused");
      break;
    case SensorFault::kLossyLoader:
      loader.drop_every = Draw(rng, 2, 40);
      Describe(plan, "every " + std::to_string(loader.drop_every) + "th frame lost");
      break;
    case SensorFault::kSensorCableCut:
      loader.unplug_after = Draw(rng, 1, base.frames);
      Describe(plan, "sensor cut after frame " + std::to_string(loader.unplug_after));
      break;
    case SensorFault::kPulledAtMoment:
      plan->pull_after_ms = Draw(rng, 1, static_cast<uint32_t>(base.run_ms));
      Describe(plan, "pulled at " + std::to_string(plan->pull_after_ms) + " ms");
      break;
    case SensorFault::kRefusedCommand:
      plan->sensor.refuse_command = Pick(rng, kSensorCommands);
      Describe(plan, std::string("\"") + plan->sensor.refuse_command + "\" refused");
      break;
    case SensorFault::kSleepySensor:
      plan->sensor.sleepy = true;
      Describe(plan, "sleepy sensor");
      break;
    case SensorFault::kSilentSensor:
      plan->sensor.silent = true;
      Describe(plan, "silent sensor");
      break;
    case SensorFault::kCorruptPost:
      plan->sensor.corrupt = true;
      Describe(plan, "post corrupt");
      break;
    case SensorFault::kReaderBattery:
      plan->reader.faults.battery_percent = static_cast<int>(Draw(rng, 0, 33)) - 3;
      Describe(plan, "reader battery " + std::to_string(plan->reader.faults.battery_percent));
      break;
    case SensorFault::kNoLoader:
      plan->sensor.no_loader = true;
      Describe(plan, "no loader");
      break;
    case SensorFault::kReaderMuted:
      plan->reader.faults.mute_command = Pick(rng, kReaderCommands);
      plan->reader.faults.mute_times = Draw(rng, 0, 2);
      Describe(plan, std::string("reader leaves \"") + plan->reader.faults.mute_command +
                         "\" unanswered " +
                         (plan->reader.faults.mute_times == 0
                              ? "always"
                              : std::to_string(plan->reader.faults.mute_times) + "x"));
      break;
  }
}

Plan DrawPlan(SensorFault kind, Rng& rng, const Baseline& base) {
  Plan plan;
  if (kind != SensorFault::kMixed) {
    DrawFault(kind, rng, base, &plan);
  } else {
    const uint32_t count = Draw(rng, 2, 3);
    for (uint32_t i = 0; i < count; ++i) {
      DrawFault(
          static_cast<SensorFault>(Draw(rng, 1, static_cast<uint32_t>(SensorFault::kMixed) - 1)),
          rng, base, &plan);
    }
  }
  if (plan.text.empty()) plan.text = "no fault";
  return plan;
}

// The reader with its sensor on the cable, the updater's folder and log.
class SensorBench {
 public:
  explicit SensorBench(const Plan& plan)
      : use_clock_(&clock_),
        reader_(*sim::FindSdiSensorProfile(kSensor), plan.sensor, plan.reader),
        backend_(reader_.Device(), kPort),
        use_backend_(&backend_),
        fault_pull_(&backend_),
        bound_(&backend_) {
    CreateDiagLog(&log_, dir_.File("errors.txt").c_str(), kLogNote, true);
    backend_.Listen(&clock_);
    clock_.AddListener(&fault_pull_);
    clock_.AddListener(&bound_);
  }
  ~SensorBench() {
    clock_.RemoveListener(&bound_);
    clock_.RemoveListener(&fault_pull_);
  }
  SensorBench(const SensorBench&) = delete;
  SensorBench& operator=(const SensorBench&) = delete;

  RunRecord Update(uint64_t pull_after_ms = 0) {
    RunRecord run;
    InstrumentConnection connection(&log_);
    HostBSL host(&log_);
    if (BSLLoadTIFile(&host, HALV_SENSOR_IMAGE) != 1) {
      run.result = -1000;  // no image: nothing the campaign could test
      return run;
    }
    host.image_kind = kKindDigitalSensor;
    host.image_version = 106;
    host.image_name.Assign("Celva 1.06");
    SensorUpdater updater(&run.window, &log_, &connection, &host);
    FillSettings(&updater.settings, kDevice, kPort, dir_.Path().string(), 106,
                 ProgressStep(host.image_length));
    RunTimed(&updater, clock_, &fault_pull_, &bound_, pull_after_ms, &run);
    return run;
  }

  // Both cables go back in, and reader, sensor and loader behave.
  void PlugBackWithoutFaults() {
    backend_.PlugLine();
    reader_.PlugSensorBack();
    reader_.Device().SetFaults(sim::FaultPlan{});
    reader_.Sensor().Faults() = sim::SdiSensorFaults{};
    reader_.Sensor().Device().SetFaults(sim::FaultPlan{});
  }

  bool RunsNewFirmware() {
    sim::SdiSensor& sensor = reader_.Sensor();
    return sensor.FirmwareRunning() && sensor.Device().CodeGood() &&
           sensor.Identification().substr(16, 3) == kNewVersionDigits;
  }
  std::string Setting(const char* key) { return reader_.Sensor().Setting(key); }
  bool SettingsFileExists() const {
    return std::filesystem::exists(SettingsFilePath(dir_.Path().string(), kDevice));
  }
  bool SettingsFileHolds(const std::string& text) const {
    return campaign::SettingsFileHolds(dir_.Path(), kDevice, text);
  }
  std::string LogTail() const { return TailOfFile(log_.file_name); }
  uint32_t LoaderFrames() { return reader_.Sensor().Device().FramesSeen(); }

 private:
  test::TempDir dir_;
  DiagLog log_;
  VirtualClock clock_;
  ScopedClock use_clock_;
  sim::HandixReader reader_;
  sim::SimPortBackend backend_;
  ScopedPortBackend use_backend_;
  TimedPull fault_pull_;
  TimedPull bound_;
};

const Baseline& CleanBaseline() {
  static const Baseline base = [] {
    SensorBench bench(Plan{});
    const RunRecord run = bench.Update();
    Baseline b;
    b.frames = bench.LoaderFrames();
    b.run_ms = run.ms;
    if (run.result != 1 || b.frames == 0) {
      fprintf(stderr, "sensor campaign: the clean update failed (%d)\n%s", run.result,
              bench.LogTail().c_str());
      b.frames = 1;
      b.run_ms = 1;
    }
    return b;
  }();
  return base;
}

}  // namespace

SeedOutcome RunSensorSeed(uint32_t seed) {
  const Baseline& base = CleanBaseline();
  Rng rng(seed);
  SeedOutcome out;
  out.seed = seed;
  const auto kind =
      static_cast<SensorFault>(Draw(rng, 0, static_cast<uint32_t>(SensorFault::kCount) - 1));
  out.kind = static_cast<int>(kind);
  out.kind_name = SensorFaultName(kind);
  const Plan plan = DrawPlan(kind, rng, base);
  out.faults = plan.text;

  SensorBench bench(plan);
  std::string factory[std::size(kKeptSettings)];
  for (size_t i = 0; i < std::size(kKeptSettings); ++i)
    factory[i] = bench.Setting(kKeptSettings[i]);

  const RunRecord first = bench.Update(plan.pull_after_ms);
  out.first_result = first.result;
  out.first_failure = first.failure;
  out.first_caption = LastCaption(first.window);
  out.longest_run_ms = first.ms;
  CheckRun("first", first, bench, &out);
  if (first.result != 1) {
    bench.PlugBackWithoutFaults();
    const RunRecord second = bench.Update();
    out.second_result = second.result;
    out.longest_run_ms = std::max(out.longest_run_ms, second.ms);
    CheckRun("second", second, bench, &out);
    if (second.result != 1) {
      out.problems.push_back("second run failed (" + std::to_string(second.result) + ", \"" +
                             LastCaption(second.window) + "\")");
    }
  }
  if (!bench.RunsNewFirmware()) out.problems.push_back("the sensor does not run 1.06 at the end");
  out.serial_restored = true;
  // A sensor that refuses to tell its Xa calibration, or its type (which
  // decides whether there is one), cannot have it kept.
  const char* refused = plan.sensor.refuse_command != nullptr ? plan.sensor.refuse_command : "";
  const bool xa_untold = strcmp(refused, "Xa") == 0 || strcmp(refused, "X8") == 0;
  for (size_t i = 0; i < std::size(kKeptSettings); ++i) {
    if (bench.Setting(kKeptSettings[i]) == factory[i]) continue;
    if (bench.Setting(kKeptSettings[i]) == "ERROR") {
      out.problems.push_back(std::string("setting ") + kKeptSettings[i] +
                             " holds the sensor's refusal \"ERROR\"");
      continue;
    }
    if (xa_untold && strcmp(kKeptSettings[i], "xa") == 0) continue;
    out.serial_restored = false;
    if (!bench.SettingsFileHolds(factory[i])) {
      out.problems.push_back(std::string("setting ") + kKeptSettings[i] + " \"" + factory[i] +
                             "\" lost (sensor has \"" + bench.Setting(kKeptSettings[i]) + "\")");
    }
  }
  out.serial_in_file = !out.serial_restored;
  if (!out.problems.empty()) out.problems.push_back("log:\n" + bench.LogTail());
  return out;
}

}  // namespace halv::campaign
