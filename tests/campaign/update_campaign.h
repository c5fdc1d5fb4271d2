// The fault campaign: whole updates of a simulated Pumatic, in process on
// virtual time, each seed with its own random faults. A seed's first run
// meets the faults; when it fails, the cable is plugged back in, the faults
// go away and a second run must finish the update. Everything a seed does
// follows from its number, so a failing seed can be run again alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/instrument_updater.h"

namespace halv::campaign {

enum class FaultKind {
  kNone,
  kLostFrame,       // one loader frame goes unanswered
  kRefusedFrame,    // one loader frame is answered "-"
  kLossyLoader,     // every Kth frame lost or refused
  kPulledAtFrame,   // the cable is pulled once a loader frame was answered
  kPulledAtMoment,  // the cable is pulled at a random moment of the run
  kMutedCommand,    // the firmware leaves a text command unanswered
  kEchoingRelay,    // a relay on the line echoes every byte
  kCorruptPost,     // "post" answers "Code Corrupt!"
  kBattery,         // a random battery reading, or a gauge that fails
  kNoLoader,        // the start request answers "HalvBSL MISSING"
  kMixed,           // two or three of the above at once
  kCount,
};

const char* FaultKindName(FaultKind kind);

// What one seed did.
struct SeedOutcome {
  uint32_t seed = 0;
  int kind = 0;  // the campaign's fault kind, for the table's order
  const char* kind_name = "";
  std::string faults;  // the drawn faults, for a reader
  int32_t first_result = 0;
  UpdateFailure first_failure = UpdateFailure::kNone;
  std::string first_caption;  // the error box of a failed first run
  int32_t second_result = 0;  // 0 when the first run succeeded
  uint64_t longest_run_ms = 0;
  bool serial_restored = false;       // the device holds its factory serial number
  bool serial_in_file = false;        // otherwise a settings file still holds it
  std::vector<std::string> problems;  // empty when the seed kept every promise
};

// Every run must end within this much virtual time; one that does not is
// stopped by pulling the cable and counted as a hang.
constexpr uint64_t kRunBoundMs = 45 * 60 * 1000;

SeedOutcome RunSeed(uint32_t seed);

// The same for the digital-sensor update: a simulated Handix reader with a
// Celva B sensor behind it, with faults of the reader, the sensor and its
// loader, and the cables to both.
SeedOutcome RunSensorSeed(uint32_t seed);

// Outcomes by fault kind, as a text table.
std::string OutcomeTable(const std::vector<SeedOutcome>& outcomes);

// One line per problem, with the seed to run again.
std::string ProblemReport(const std::vector<SeedOutcome>& outcomes);

}  // namespace halv::campaign
