#include "sim/sim_device.h"

#include <cstdio>

#include "sim/firmware_commands.h"
#include "sim/logger_firmware.h"

namespace halv::sim {
namespace {

// Longest line each side keeps; what goes beyond is dropped and the line is
// answered as an error once its carriage return arrives.
constexpr size_t kMaxFirmwareLine = 256;
constexpr size_t kMaxLoaderLine = 600;  // a full frame is 519 bytes

}  // namespace

const char* StateName(DeviceState state) {
  switch (state) {
    case DeviceState::kFirmware:
      return "firmware";
    case DeviceState::kLoaderWaiting:
      return "loader waiting";
    case DeviceState::kLoaderAttached:
      return "loader attached";
    case DeviceState::kRestarting:
      return "restarting";
  }
  return "?";
}

SimDevice::SimDevice(const DeviceProfile& profile, const DeviceSetup& setup)
    : profile_(profile), setup_(setup), memory_(profile), state_(setup.start) {
  const char* version =
      setup.firmware_version != nullptr ? setup.firmware_version : profile.firmware_version;
  InstallFactoryFirmware(&memory_, profile_, profile_.model_code, version);
  running_ = ReadFirmwareHeader(memory_, profile_);
  for (const SettingSeed& seed : profile_.settings) {
    const bool sn = std::string_view(seed.key) == "sn" && setup.serial_number != nullptr;
    settings_[seed.key] = sn ? setup.serial_number : seed.factory_value;
  }
  for (const RecordSeed& record : profile_.records) records_[record.list].push_back(record.value);
  if (state_ == DeviceState::kRestarting) state_ = DeviceState::kFirmware;
  if (setup_.logger.profile != nullptr) personality_ = MakeLoggerFirmware(*this, setup_.logger);
}

uint32_t SimDevice::Baud() const {
  const bool loader =
      state_ == DeviceState::kLoaderWaiting || state_ == DeviceState::kLoaderAttached;
  if (loader) return profile_.loader_baud;
  return personality_ != nullptr ? personality_->Baud() : kFirmwareBaud;
}

std::string SimDevice::VersionText() const {
  // Firmware without a header still runs; it just cannot say what it is.
  if (!running_.present) return std::string(profile_.model_code) + " 0.00";
  return std::string(running_.model) + " " + running_.version;
}

bool SimDevice::CodeGood() const {
  return !setup_.faults.post_corrupt && running_.Good();
}

int64_t SimDevice::ClockSeconds(uint64_t now_us) const {
  return clock_base_seconds_ + static_cast<int64_t>((now_us - clock_base_us_) / 1000000);
}

void SimDevice::SetClockSeconds(int64_t seconds, uint64_t now_us) {
  clock_base_seconds_ = seconds;
  clock_base_us_ = now_us;
}

void SimDevice::Reply(std::string_view bytes, uint64_t after_us) {
  transcript_.Device(now_us_ + after_us, bytes);
  if (sink_ != nullptr) sink_->Send(bytes, after_us);
}

void SimDevice::Note(std::string_view what, std::string_view detail) {
  transcript_.Event(now_us_, what, detail);
}

void SimDevice::EnterLoader() {
  state_ = DeviceState::kLoaderWaiting;
  line_.clear();
  line_overflow_ = false;
  Note("loader started");
}

void SimDevice::PowerCycle() {
  if (state_ != DeviceState::kLoaderWaiting) return;
  Note("power cycled");
  StartFirmware();
}

void SimDevice::CatchUp(uint64_t now_us) {
  if (now_us > now_us_) now_us_ = now_us;
  if (state_ == DeviceState::kRestarting && now_us_ >= restart_done_us_) {
    const uint64_t t = now_us_;
    now_us_ = restart_done_us_;
    StartFirmware();
    now_us_ = t;
  }
}

void SimDevice::TakeByte(uint8_t byte, uint64_t now_us) {
  CatchUp(now_us);
  if (setup_.faults.echo) Reply(std::string_view(reinterpret_cast<const char*>(&byte), 1));
  if (setup_.faults.silent) return;
  switch (state_) {
    case DeviceState::kFirmware:
      FirmwareByte(byte);
      break;
    case DeviceState::kLoaderWaiting:
      LoaderWaitingByte(byte);
      break;
    case DeviceState::kLoaderAttached:
      LoaderAttachedByte(byte);
      break;
    case DeviceState::kRestarting:
      if (byte == '\r') Note("line ignored while restarting");
      break;
  }
}

bool SimDevice::CollectLineByte(uint8_t byte, size_t max_chars) {
  if (byte == '\r') return true;
  if (line_.size() < max_chars) {
    line_ += static_cast<char>(byte);
  } else {
    line_overflow_ = true;  // the rest is lost; the line is refused whole
  }
  return false;
}

std::string SimDevice::FinishLine(bool* overflow) {
  std::string line = std::move(line_);
  *overflow = line_overflow_;
  line_.clear();
  line_overflow_ = false;
  transcript_.Host(now_us_, line + "\r");
  return line;
}

void SimDevice::FirmwareByte(uint8_t byte) {
  if (personality_ != nullptr) {
    personality_->TakeByte(byte);
    return;
  }
  if (pass_through_ != nullptr && pass_through_->TakeByte(byte, &line_)) return;
  if (byte == '\n') return;  // the firmware ends lines at the carriage return
  if (!CollectLineByte(byte, kMaxFirmwareLine)) return;
  bool overflow = false;
  const std::string line = FinishLine(&overflow);
  if (overflow) {
    Note("firmware line too long");
    Reply(kFirmwareError);
    return;
  }
  FirmwareLine(line);
}

void SimDevice::SetFaults(const FaultPlan& faults) {
  setup_.faults = faults;
  muted_lines_ = 0;
  Note("faults changed");
}

bool SimDevice::Muted(const std::string& line) {
  const FaultPlan& f = setup_.faults;
  if (f.mute_command == nullptr || line.rfind(f.mute_command, 0) != 0) return false;
  if (f.mute_times != 0 && muted_lines_ >= f.mute_times) return false;
  ++muted_lines_;
  Note("fault: line unanswered", line);
  return true;
}

void SimDevice::FirmwareLine(const std::string& line) {
  if (Muted(line)) return;
  if (line.empty()) {
    Reply("\r\n>");
    return;
  }
  std::string_view argument;
  const FirmwareCommand* command = FindFirmwareCommand(line, &argument);
  if (command == nullptr) {
    Reply(kFirmwareError);
    return;
  }
  if (command->needs_login && profile_.needs_login && !logged_in_) {
    Note("command refused without login", command->text);
    Reply(kFirmwareError);
    return;
  }
  command->handler(*this, argument);
}

void SimDevice::LoaderWaitingByte(uint8_t byte) {
  // Until a host attaches, every carriage return is answered "$" and a "P"
  // at the start of a line attaches; nothing else means anything.
  if (byte == 'P' && line_.empty()) {
    transcript_.Host(now_us_, "P");
    state_ = DeviceState::kLoaderAttached;
    Reply("#");
    Note("host attached");
    return;
  }
  if (byte == '\r') {
    transcript_.Host(now_us_, line_ + "\r");
    line_.clear();
    Reply("$");
    return;
  }
  if (line_.size() < kMaxLoaderLine) line_ += static_cast<char>(byte);
}

void SimDevice::LoaderAttachedByte(uint8_t byte) {
  if (byte == 'P' && line_.empty()) {  // a host attaching again
    transcript_.Host(now_us_, "P");
    Reply("#");
    return;
  }
  if (!CollectLineByte(byte, kMaxLoaderLine)) return;
  bool overflow = false;
  const std::string line = FinishLine(&overflow);
  LoaderLine(line, overflow);
}

void SimDevice::Restart() {
  state_ = DeviceState::kRestarting;
  restart_done_us_ = now_us_ + static_cast<uint64_t>(profile_.restart_ms) * 1000;
  ++restarts_;
  logged_in_ = false;
  // The new firmware starts with its defaults in the settings store.
  WipeSettings();
  Note("restart", "settings reset to defaults");
}

void SimDevice::WipeSettings() {
  for (const SettingSeed& seed : profile_.settings) settings_[seed.key] = seed.default_value;
  for (auto& [list, records] : records_) records.clear();
}

void SimDevice::StartFirmware() {
  running_ = ReadFirmwareHeader(memory_, profile_);
  line_.clear();
  line_overflow_ = false;
  if (memory_.Word(kResetVector) == 0xFFFF) {
    // Nothing to start: the loader keeps the device.
    state_ = DeviceState::kLoaderWaiting;
    Note("no reset vector, loader stays");
    return;
  }
  state_ = DeviceState::kFirmware;
  char detail[96];
  snprintf(detail, sizeof detail, "%s, %s", VersionText().c_str(),
           running_.Good() ? "check good" : "check bad");
  Note("firmware started", detail);
}

}  // namespace halv::sim
