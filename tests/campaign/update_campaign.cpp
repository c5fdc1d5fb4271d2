#include "campaign/update_campaign.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

#include "app/app_paths.h"
#include "campaign/campaign_support.h"
#include "protocol/instrument.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv::campaign {
namespace {

constexpr const char* kPort = "SIM1";
constexpr const char* kDeviceName = "Pumatic";
constexpr const char* kNewVersion = "PUMATIC 1.06";
constexpr uint32_t kImageVersion = 106;
// The text commands of a Pumatic update; any of them may go unanswered.
constexpr const char* kTextCommands[] = {"get -ver", "get -hver", "get -batt", "get -sn",
                                         "set -sn",  "boot",      "post",      "logout"};

const char* FailureName(UpdateFailure failure) {
  switch (failure) {
    case UpdateFailure::kNone:
      return "none";
    case UpdateFailure::kConnection:
      return "connection";
    case UpdateFailure::kWrongDevice:
      return "wrong device";
    case UpdateFailure::kBattery:
      return "battery";
    case UpdateFailure::kCancelled:
      return "cancelled";
    case UpdateFailure::kSettings:
      return "settings";
    case UpdateFailure::kLoader:
      return "loader";
    case UpdateFailure::kFlash:
      return "flash";
    case UpdateFailure::kFirmwareCheck:
      return "firmware check";
    case UpdateFailure::kDataErase:
      return "data erase";
  }
  return "?";
}

// What a clean update looks like, to draw fault positions from.
struct Baseline {
  uint32_t frames = 0;
  uint64_t run_ms = 0;
};

// The faults of one seed.
struct Plan {
  sim::FaultPlan faults;
  uint64_t pull_after_ms = 0;  // 0: no timed pull
  std::string text;
};

void Describe(Plan* plan, const std::string& what) {
  if (!plan->text.empty()) plan->text += ", ";
  plan->text += what;
}

void DrawFault(FaultKind kind, Rng& rng, const Baseline& base, Plan* plan) {
  sim::FaultPlan& f = plan->faults;
  switch (kind) {
    case FaultKind::kNone:
    case FaultKind::kMixed:
    case FaultKind::kCount:
      break;
    case FaultKind::kLostFrame:
      f.drop_frame = Draw(rng, 1, base.frames);
      Describe(plan, "frame " + std::to_string(f.drop_frame) + " lost");
      break;
    case FaultKind::kRefusedFrame:
      f.refuse_frame = Draw(rng, 1, base.frames);
      Describe(plan, "frame " + std::to_string(f.refuse_frame) + " refused");
      break;
    case FaultKind::kLossyLoader:
      if (Draw(rng, 0, 1) == 0) {
        f.drop_every = Draw(rng, 2, 40);
        Describe(plan, "every " + std::to_string(f.drop_every) + "th frame lost");
      } else {
        f.refuse_every = Draw(rng, 2, 40);
        Describe(plan, "every " + std::to_string(f.refuse_every) + "th frame refused");
      }
      break;
    case FaultKind::kPulledAtFrame:
      f.unplug_after = Draw(rng, 1, base.frames);
      Describe(plan, "pulled after frame " + std::to_string(f.unplug_after));
      break;
    case FaultKind::kPulledAtMoment:
      plan->pull_after_ms = Draw(rng, 1, static_cast<uint32_t>(base.run_ms));
      Describe(plan, "pulled at " + std::to_string(plan->pull_after_ms) + " ms");
      break;
    case FaultKind::kMutedCommand:
      f.mute_command =
          kTextCommands[Draw(rng, 0, static_cast<uint32_t>(std::size(kTextCommands)) - 1)];
      f.mute_times = Draw(rng, 0, 3);
      Describe(plan, std::string("\"") + f.mute_command + "\" unanswered " +
                         (f.mute_times == 0 ? "always" : std::to_string(f.mute_times) + "x"));
      break;
    case FaultKind::kEchoingRelay:
      f.echo = true;
      Describe(plan, "echoing relay");
      break;
    case FaultKind::kCorruptPost:
      f.post_corrupt = true;
      Describe(plan, "post corrupt");
      break;
    case FaultKind::kBattery:
      // -1 is the profile's reading, -2 and below a gauge that cannot be read.
      f.battery_percent = static_cast<int>(Draw(rng, 0, 33)) - 3;
      Describe(plan, "battery " + std::to_string(f.battery_percent));
      break;
    case FaultKind::kNoLoader:
      f.no_loader = true;
      Describe(plan, "no loader");
      break;
  }
}

Plan DrawPlan(FaultKind kind, Rng& rng, const Baseline& base) {
  Plan plan;
  if (kind != FaultKind::kMixed) {
    DrawFault(kind, rng, base, &plan);
  } else {
    const uint32_t count = Draw(rng, 2, 3);
    for (uint32_t i = 0; i < count; ++i) {
      const auto one =
          static_cast<FaultKind>(Draw(rng, 1, static_cast<uint32_t>(FaultKind::kMixed) - 1));
      DrawFault(one, rng, base, &plan);
    }
  }
  if (plan.text.empty()) plan.text = "no fault";
  return plan;
}

// The simulated Pumatic on its cable, with the updater's folder and log.
class Bench {
 public:
  explicit Bench(const sim::DeviceSetup& setup)
      : use_clock_(&clock_),
        device_(*sim::FindDeviceProfile("pumatic"), setup),
        backend_(device_, kPort),
        use_backend_(&backend_),
        fault_pull_(&backend_),
        bound_(&backend_) {
    CreateDiagLog(&log_, dir_.File("Pumatic Firmware Updater.errors.txt").c_str(), kLogProgress,
                  true);
    backend_.Listen(&clock_);
    clock_.AddListener(&fault_pull_);
    clock_.AddListener(&bound_);
  }
  ~Bench() {
    clock_.RemoveListener(&bound_);
    clock_.RemoveListener(&fault_pull_);
  }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  using Run = RunRecord;

  // One press of Start with a fresh window and engine.
  Run Update(uint64_t pull_after_ms = 0) {
    Run run;
    InstrumentConnection connection(&log_);
    HostBSL host(&log_);
    InstrumentUpdater updater(&run.window, &log_, &connection, &host);
    FillSettings(&updater.settings, kDeviceName, kPort, dir_.Path().string(), kImageVersion,
                 35328.0f / static_cast<float>(host.image_length));
    RunTimed(&updater, clock_, &fault_pull_, &bound_, pull_after_ms, &run);
    return run;
  }

  // The cable goes back in and the device behaves from now on.
  void PlugBackWithoutFaults() {
    backend_.PlugLine();
    device_.SetFaults(sim::FaultPlan{});
  }

  bool RunsNewFirmware() const {
    return device_.State() == sim::DeviceState::kFirmware && device_.CodeGood() &&
           device_.VersionText() == kNewVersion;
  }
  std::string Serial() { return device_.Settings()["sn"]; }
  bool SettingsFileHolds(const std::string& text) const {
    return campaign::SettingsFileHolds(dir_.Path(), kDeviceName, text);
  }
  bool SettingsFileExists() const {
    return std::filesystem::exists(SettingsFilePath(dir_.Path().string(), kDeviceName));
  }
  std::string LogTail() const { return TailOfFile(log_.file_name); }
  const sim::SimDevice& Device() const { return device_; }

 private:
  test::TempDir dir_;
  DiagLog log_;
  VirtualClock clock_;
  ScopedClock use_clock_;
  sim::SimDevice device_;
  sim::SimPortBackend backend_;
  ScopedPortBackend use_backend_;
  TimedPull fault_pull_;
  TimedPull bound_;
};

const Baseline& CleanBaseline() {
  static const Baseline base = [] {
    Bench bench(sim::DeviceSetup{});
    const Bench::Run run = bench.Update();
    Baseline b;
    b.frames = bench.Device().FramesSeen();
    b.run_ms = run.ms;
    if (run.result != 1 || b.frames == 0) {
      fprintf(stderr, "fault campaign: the clean update failed (%d)\n%s", run.result,
              bench.LogTail().c_str());
      b.frames = 1;
      b.run_ms = 1;
    }
    return b;
  }();
  return base;
}

}  // namespace

const char* FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kNone:
      return "no fault";
    case FaultKind::kLostFrame:
      return "frame lost";
    case FaultKind::kRefusedFrame:
      return "frame refused";
    case FaultKind::kLossyLoader:
      return "lossy loader line";
    case FaultKind::kPulledAtFrame:
      return "pulled at a frame";
    case FaultKind::kPulledAtMoment:
      return "pulled at a moment";
    case FaultKind::kMutedCommand:
      return "command unanswered";
    case FaultKind::kEchoingRelay:
      return "echoing relay";
    case FaultKind::kCorruptPost:
      return "corrupt post";
    case FaultKind::kBattery:
      return "battery";
    case FaultKind::kNoLoader:
      return "no loader";
    case FaultKind::kMixed:
      return "mixed";
    case FaultKind::kCount:
      break;
  }
  return "?";
}

SeedOutcome RunSeed(uint32_t seed) {
  const Baseline& base = CleanBaseline();
  Rng rng(seed);
  SeedOutcome out;
  out.seed = seed;
  const auto kind =
      static_cast<FaultKind>(Draw(rng, 0, static_cast<uint32_t>(FaultKind::kCount) - 1));
  out.kind = static_cast<int>(kind);
  out.kind_name = FaultKindName(kind);
  const Plan plan = DrawPlan(kind, rng, base);
  out.faults = plan.text;

  sim::DeviceSetup setup;
  setup.faults = plan.faults;
  Bench bench(setup);
  const std::string factory_serial = bench.Serial();

  const Bench::Run first = bench.Update(plan.pull_after_ms);
  out.first_result = first.result;
  out.first_failure = first.failure;
  out.first_caption = LastCaption(first.window);
  out.longest_run_ms = first.ms;
  CheckRun("first", first, bench, &out);

  if (first.result != 1) {
    bench.PlugBackWithoutFaults();
    const Bench::Run second = bench.Update();
    out.second_result = second.result;
    out.longest_run_ms = std::max(out.longest_run_ms, second.ms);
    CheckRun("second", second, bench, &out);
    if (second.result != 1) {
      out.problems.push_back("second run failed (" + std::to_string(second.result) + ", \"" +
                             LastCaption(second.window) + "\")");
    }
  }

  if (!bench.RunsNewFirmware()) out.problems.push_back("the device does not run 1.06 at the end");
  out.serial_restored = bench.Serial() == factory_serial;
  out.serial_in_file = !out.serial_restored && bench.SettingsFileHolds(factory_serial);
  if (!out.serial_restored && !out.serial_in_file) {
    out.problems.push_back("serial number " + factory_serial + " lost (device has \"" +
                           bench.Serial() + "\")");
  }
  if (!out.problems.empty()) out.problems.push_back("log:\n" + bench.LogTail());
  return out;
}

std::string OutcomeTable(const std::vector<SeedOutcome>& outcomes) {
  struct Row {
    int runs = 0;
    int updated = 0;
    int failed = 0;
    int recovered = 0;
    int serial_in_file = 0;
    int problems = 0;
    const char* name = "";
    std::map<std::string, int> failed_at;
  };
  std::map<int, Row> rows;
  uint64_t longest_ms = 0;
  for (const SeedOutcome& o : outcomes) {
    Row& r = rows[o.kind];
    r.name = o.kind_name;
    ++r.runs;
    if (o.first_result == 1) {
      ++r.updated;
    } else {
      ++r.failed;
      ++r.failed_at[FailureName(o.first_failure)];
      if (o.second_result == 1) ++r.recovered;
    }
    if (o.serial_in_file) ++r.serial_in_file;
    if (!o.problems.empty()) ++r.problems;
    longest_ms = std::max(longest_ms, o.longest_run_ms);
  }
  std::string table;
  char line[256];
  snprintf(line, sizeof line, "%-20s %5s %8s %7s %10s %8s %9s  %s\n", "fault kind", "runs",
           "updated", "failed", "recovered", "sn file", "problems", "first run failed at");
  table += line;
  Row total;
  for (const auto& [kind, r] : rows) {
    std::string where;
    for (const auto& [name, n] : r.failed_at) {
      where += (where.empty() ? "" : ", ") + name + " " + std::to_string(n);
    }
    snprintf(line, sizeof line, "%-20s %5d %8d %7d %10d %8d %9d  %s\n", r.name, r.runs, r.updated,
             r.failed, r.recovered, r.serial_in_file, r.problems, where.c_str());
    table += line;
    total.runs += r.runs;
    total.updated += r.updated;
    total.failed += r.failed;
    total.recovered += r.recovered;
    total.serial_in_file += r.serial_in_file;
    total.problems += r.problems;
  }
  snprintf(line, sizeof line, "%-20s %5d %8d %7d %10d %8d %9d\n", "all", total.runs, total.updated,
           total.failed, total.recovered, total.serial_in_file, total.problems);
  table += line;
  snprintf(line, sizeof line, "longest run: %.1f s of virtual time (bound %llu s)\n",
           static_cast<double>(longest_ms) / 1000.0,
           static_cast<unsigned long long>(kRunBoundMs / 1000));
  table += line;
  return table;
}

std::string ProblemReport(const std::vector<SeedOutcome>& outcomes) {
  std::string report;
  for (const SeedOutcome& o : outcomes) {
    for (const std::string& p : o.problems) {
      report += "seed " + std::to_string(o.seed) + " (" + o.kind_name + ": " + o.faults +
                "): " + p + "\n";
    }
  }
  return report;
}

}  // namespace halv::campaign
