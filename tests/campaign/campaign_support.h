// What both fault campaigns share: the seeded draw, the cable pulled at a
// moment, and the promises every run keeps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "app/update_run.h"
#include "app/update_window.h"
#include "campaign/update_campaign.h"
#include "serial/clock.h"
#include "sim/sim_port_backend.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"

namespace halv::campaign {

using Rng = std::mt19937;

// A number from [low, high], the same on every platform for a seed.
inline uint32_t Draw(Rng& rng, uint32_t low, uint32_t high) {
  return low + static_cast<uint32_t>(rng() % (static_cast<uint64_t>(high) - low + 1));
}

// The last lines of a log, for a problem report.
inline std::string TailOfFile(const std::string& path, size_t lines = 25) {
  const std::string text = test::ReadWholeFile(path);
  size_t at = text.size();
  for (size_t n = 0; n <= lines && at > 0; ++n) {
    at = text.rfind('\n', at - 1);
    if (at == std::string::npos) return text;
  }
  return text.substr(at + 1);
}

// How one run ended.
struct RunRecord {
  int32_t result = 0;
  UpdateFailure failure = UpdateFailure::kNone;
  uint64_t ms = 0;
  bool hung = false;
  test::RecordingWindow window;
};

// Pulls the cable at a given moment of virtual time: a fault, or the bound
// that stops a run which would otherwise go on for ever.
class TimedPull : public VirtualClock::Listener {
 public:
  explicit TimedPull(sim::SimPortBackend* backend) : backend_(backend) {}
  void Arm(uint64_t at_ms) {
    at_ms_ = at_ms;
    fired_ = false;
  }
  void Disarm() { at_ms_ = UINT64_MAX; }
  bool Fired() const { return fired_; }

  uint64_t NextEventMs() override { return fired_ ? UINT64_MAX : at_ms_; }
  void AdvanceTo(uint64_t now_ms) override {
    if (fired_ || now_ms < at_ms_) return;
    fired_ = true;
    backend_->PullLine();
  }

 private:
  sim::SimPortBackend* backend_;
  uint64_t at_ms_ = UINT64_MAX;
  bool fired_ = false;
};

// The window's state a run starts from, as the front ends fill it.
inline void FillSettings(UpdateSettings* s, const std::string& device, const char* port,
                         const std::string& folder, uint32_t version, float progress_step) {
  s->device_name = device;
  s->window_caption = device + " Firmware Updater";
  s->port_name = port;
  s->port_display_text = port;
  s->app_data_folder = folder;
  s->updater_firmware_version = version;
  s->progress_step = progress_step;
}

// One press of Start: the cable pulled pull_after_ms into the run (0: not at
// all) and the bound armed, then how the run ended.
inline void RunTimed(UpdateRun* updater, VirtualClock& clock, TimedPull* fault_pull,
                     TimedPull* bound, uint64_t pull_after_ms, RunRecord* run) {
  const uint64_t start = clock.NowMs();
  if (pull_after_ms != 0) fault_pull->Arm(start + pull_after_ms);
  bound->Arm(start + kRunBoundMs);
  run->result = updater->Run();
  run->ms = clock.NowMs() - start;
  run->hung = bound->Fired();
  fault_pull->Disarm();
  bound->Disarm();
  run->failure = updater->Failure();
}

// Whether a settings file of the device in folder, the current one or one
// kept under a time-stamped name, holds text.
inline bool SettingsFileHolds(const std::filesystem::path& folder, const std::string& device,
                              const std::string& text) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().filename().string().rfind(device + ".settings.", 0) != 0) continue;
    if (test::ReadWholeFile(entry.path().string()).find(text) != std::string::npos) return true;
  }
  return false;
}

inline bool ShowedError(const test::RecordingWindow& window) {
  for (const auto& box : window.boxes) {
    if (box.kind == "message" && box.message_kind == kMessageError) return true;
  }
  return false;
}

inline bool Showed(const test::RecordingWindow& window, const std::string& caption) {
  for (const auto& box : window.boxes) {
    if (box.caption == caption) return true;
  }
  return false;
}

inline std::string LastCaption(const test::RecordingWindow& window) {
  return window.boxes.empty() ? std::string() : window.boxes.back().caption;
}

// The promises every run keeps, whatever its result.
template <typename Bench>
void CheckRun(const char* which, const RunRecord& run, Bench& bench, SeedOutcome* out) {
  auto problem = [&](const std::string& what) {
    out->problems.push_back(std::string(which) + " run: " + what);
  };
  if (run.hung) problem("still running after " + std::to_string(kRunBoundMs / 1000) + " s");
  if (run.result == 0) problem("did not start");
  if (run.result == 1) {
    if (!bench.RunsNewFirmware()) problem("reported success, but the device does not run 1.06");
    // The file stays only for settings the device did not take back.
    if (bench.SettingsFileExists() && !Showed(run.window, "Settings Error")) {
      problem("reported success, but kept the settings file");
    }
  } else if (run.result < 0) {
    if (!ShowedError(run.window) && run.failure != UpdateFailure::kCancelled) {
      problem("failed (" + std::to_string(run.result) + ") without an error box");
    }
    if (run.failure == UpdateFailure::kNone) problem("failed without a failure class");
    if (run.window.status_visible) problem("failed with the status line still shown");
  }
}

}  // namespace halv::campaign
