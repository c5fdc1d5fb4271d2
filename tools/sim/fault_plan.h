// Faults a simulated device can be told to show, all deterministic: which
// loader frame goes unanswered or is refused, when the line is pulled, and
// the firmware's misbehaviours.
#pragma once

#include <cstdint>

namespace halv::sim {

struct FaultPlan {
  // Loader frames are counted from 1 (every line to the attached loader that
  // begins with a command letter). 0 means never.
  uint32_t drop_frame = 0;      // this frame is lost: not carried out, no answer
  uint32_t refuse_frame = 0;    // this frame is answered "-" and not carried out
  uint32_t drop_every = 0;      // every Kth frame is lost
  uint32_t refuse_every = 0;    // every Kth frame is refused
  uint32_t unplug_after = 0;    // the line is pulled once this frame was answered
  bool silent = false;          // the device answers nothing at all
  bool echo = false;            // a relay on the line echoes every byte
  bool post_corrupt = false;    // "post" always answers "Code Corrupt!"
  bool dataflash_fail = false;  // "yes" answers "DataFlash FAIL"
  // What "get -batt" reports: -1 the profile's value, -2 or below "ERROR".
  int battery_percent = -1;
  bool no_loader = false;  // the start request answers "HalvBSL MISSING"
  // The firmware leaves lines beginning with this text unanswered (null:
  // none), the first mute_times of them, or every one when mute_times is 0.
  const char* mute_command = nullptr;
  uint32_t mute_times = 0;
};

}  // namespace halv::sim
