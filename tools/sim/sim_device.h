// One simulated device, seen from its own side of the serial line: the
// running firmware with its text commands, the start request that hands over
// to the HalvBSL loader, the loader with its checksummed frames acting on the
// flash memory, and the restart into whatever firmware was programmed.
//
// The device takes one byte at a time, at the time it arrives, and hands its
// answers to a sink (the line), which times them on the wire. Its state lives
// on across the host's closing and reopening of the port.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/device_profile.h"
#include "sim/fault_plan.h"
#include "sim/firmware_header.h"
#include "sim/flash_memory.h"
#include "sim/logger_profile.h"
#include "sim/transcript.h"

namespace halv::sim {

enum class DeviceState {
  kFirmware,        // the application firmware answers text commands
  kLoaderWaiting,   // the loader waits for a host: "$" to a probe
  kLoaderAttached,  // the loader takes frames: "?" to a probe
  kRestarting,      // silent after the vectors, until the new firmware runs
};

const char* StateName(DeviceState state);

// Where the device's answers go.
class ReplySink {
 public:
  virtual ~ReplySink() = default;
  // Sends bytes, starting after_us after the byte that caused them arrived.
  virtual void Send(std::string_view bytes, uint64_t after_us) = 0;
  // Pulls the line once what was sent so far has gone out.
  virtual void Unplug() = 0;
};

// Takes the running firmware's bytes before its command interpreter does: a
// reader that passes part of its traffic on to a device behind it.
class BytePassThrough {
 public:
  virtual ~BytePassThrough() = default;
  // line: what the firmware has collected of the current line (the pass-through
  // may take it or fill it). True when the byte was taken and the firmware
  // must not see it.
  virtual bool TakeByte(uint8_t byte, std::string* line) = 0;
};

// A running firmware with a command set of its own (a data logger's) in place
// of the instrument firmware's: it takes every byte that firmware would, and
// talks at a rate of its own.
class FirmwarePersonality {
 public:
  virtual ~FirmwarePersonality() = default;
  virtual void TakeByte(uint8_t byte) = 0;
  virtual uint32_t Baud() const = 0;
};

struct DeviceSetup {
  DeviceState start = DeviceState::kFirmware;
  FaultPlan faults;
  // Erases and writes take the profile's device times (or these overrides).
  bool device_timing = false;
  int erase_ms = -1;
  int write_us_per_word = -1;
  const char* firmware_version = nullptr;  // the factory firmware (null: the profile's)
  const char* serial_number = nullptr;     // the factory serial number (null: the profile's)
  LoggerSetup logger = {};                 // a data logger's firmware (no profile: none)
};

class SimDevice {
 public:
  explicit SimDevice(const DeviceProfile& profile, const DeviceSetup& setup = {});
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  void SetSink(ReplySink* sink) { sink_ = sink; }
  void SetPassThrough(BytePassThrough* pass_through) { pass_through_ = pass_through; }
  // The logger firmware of a logger device (null for an instrument).
  FirmwarePersonality* Personality() { return personality_.get(); }
  // One byte from the host, arriving at now_us.
  void TakeByte(uint8_t byte, uint64_t now_us);
  // Brings a finished restart into effect.
  void CatchUp(uint64_t now_us);

  // The rate the device talks at in its present state.
  uint32_t Baud() const;

  DeviceState State() const { return state_; }
  const DeviceProfile& Profile() const { return profile_; }
  const DeviceSetup& Setup() const { return setup_; }
  // Changes the faults from now on (a cable plugged back in without the
  // flaky relay, say); the device's memory and state stay as they are.
  void SetFaults(const FaultPlan& faults);
  FlashMemory& Memory() { return memory_; }
  const FlashMemory& Memory() const { return memory_; }
  Transcript& Log() { return transcript_; }
  const Transcript& Log() const { return transcript_; }
  std::map<std::string, std::string>& Settings() { return settings_; }
  const std::map<std::string, std::string>& Settings() const { return settings_; }
  // The numbered record lists ("eqn", "user"), beside the settings.
  std::map<std::string, std::vector<std::string>>& Records() { return records_; }
  const std::map<std::string, std::vector<std::string>>& Records() const { return records_; }
  // What a firmware update does to the store: every setting back to its
  // default, both record lists empty.
  void WipeSettings();

  // What the running firmware is, from the header read at the last start.
  const FirmwareHeader& Running() const { return running_; }
  std::string VersionText() const;
  bool CodeGood() const;

  // Writes the loader refused because a byte was not erased (or not
  // writable), as "address" entries.
  const std::vector<uint32_t>& RefusedWrites() const { return refused_writes_; }
  uint32_t FramesSeen() const { return frames_seen_; }
  uint32_t Restarts() const { return restarts_; }
  uint32_t Erases() const { return erases_; }
  bool LoggedIn() const { return logged_in_; }
  void SetLoggedIn(bool in) { logged_in_ = in; }
  int64_t ClockSeconds(uint64_t now_us) const;
  void SetClockSeconds(int64_t seconds, uint64_t now_us);
  bool DataErased() const { return data_erased_; }
  void EraseData() { data_erased_ = true; }

  // Answers (for the command handlers and the loader).
  void Reply(std::string_view bytes, uint64_t after_us = 0);
  void Note(std::string_view what, std::string_view detail = {});
  void EnterLoader();
  // The power was cut and comes back: a loader that no host has attached to
  // gives way to the firmware, when there is one to start. An attached loader
  // keeps the device, as a run stopped in the middle of programming left it.
  void PowerCycle();
  uint64_t Now() const { return now_us_; }

 private:
  // Collects one byte of a line; true when it ended the line ("\r").
  bool CollectLineByte(uint8_t byte, size_t max_chars);
  // Hands over the collected line, noted in the transcript.
  std::string FinishLine(bool* overflow);
  void FirmwareByte(uint8_t byte);
  void FirmwareLine(const std::string& line);
  // The mute fault: true when this line goes unanswered.
  bool Muted(const std::string& line);
  void LoaderWaitingByte(uint8_t byte);
  void LoaderAttachedByte(uint8_t byte);
  void LoaderLine(const std::string& line, bool overflow);
  void StartFirmware();
  void Restart();

  // Loader frames (loader_frames.cpp).
  void CarryOutFrame(char letter, std::string_view payload);
  void FrameSetAddress(std::string_view payload);
  void FrameWrite(std::string_view payload);
  void FrameErase(std::string_view payload);
  void FrameVectors(std::string_view payload);

  const DeviceProfile& profile_;
  DeviceSetup setup_;
  FlashMemory memory_;
  Transcript transcript_;
  ReplySink* sink_ = nullptr;
  BytePassThrough* pass_through_ = nullptr;
  std::unique_ptr<FirmwarePersonality> personality_;
  DeviceState state_;
  uint64_t now_us_ = 0;
  uint64_t restart_done_us_ = 0;
  FirmwareHeader running_;
  std::map<std::string, std::string> settings_;
  std::map<std::string, std::vector<std::string>> records_;
  std::string line_;
  bool line_overflow_ = false;
  bool logged_in_ = false;
  bool data_erased_ = false;
  int64_t clock_base_seconds_ = 0;
  uint64_t clock_base_us_ = 0;
  uint32_t address_ = 0;
  uint32_t frames_seen_ = 0;
  uint32_t restarts_ = 0;
  uint32_t erases_ = 0;
  uint32_t muted_lines_ = 0;
  std::vector<uint32_t> refused_writes_;
};

}  // namespace halv::sim
