#include "sim/handix_reader.h"

#include "sim/firmware_commands.h"

namespace halv::sim {
namespace {

constexpr uint8_t kWake = '|';
constexpr uint8_t kOpenPath = ']';
constexpr uint8_t kClosePath = '[';
constexpr uint8_t kPowerCycle = '`';
constexpr size_t kMaxSdiCommand = 600;  // a calibration write with its 512 characters

constexpr SettingSeed kReaderSettings[] = {
    {"sn", "HX-01230", "00000000"},
};

// clang-format off
constexpr DeviceProfile kHandix = {
  // name     kind model version rev  INFO start, count, size  flash start, end
  "handix",   14,  "HX", "1.23",  'B', 0x1000, 3, 64,           0x2100, 0x20000,
  // loader: has, version, baud   restart  login        battery  erase ms, write us/word
  false, 0, 57600,                2000,    false, "",   80,      25, 70,
  kReaderSettings,
};
// clang-format on

}  // namespace

const DeviceProfile& HandixProfile() {
  return kHandix;
}

HandixReader::HandixReader(const SdiSensorProfile& sensor, SdiSensorFaults faults,
                           const DeviceSetup& reader_setup, const char* revision_answer)
    : reader_(kHandix, reader_setup), sensor_(sensor, faults), revision_answer_(revision_answer) {
  reader_.SetPassThrough(this);
  sensor_.Device().SetSink(this);
}

// The reader collects the line itself: a carriage return hands it to the
// reader's own firmware, a "!" to the sensor.
bool HandixReader::TakeByte(uint8_t byte, std::string* line) {
  if (transparent_) return TransparentByte(byte);
  if (byte == '\r') {
    if (revision_answer_ != nullptr && pending_ == "get -hver") {
      reader_.Log().Host(reader_.Now(), pending_ + "\r");
      reader_.Reply(FirmwareAnswer(revision_answer_));
      pending_.clear();
      return true;
    }
    *line = std::move(pending_);
    pending_.clear();
    overflow_ = false;
    return false;
  }
  if (byte == '\n') return false;
  if (pending_.empty() && ControlByte(byte)) return true;
  if (byte == '!') {
    PassCommand();
    return true;
  }
  if (pending_.size() < kMaxSdiCommand) {
    pending_ += static_cast<char>(byte);
  } else {
    overflow_ = true;
  }
  return true;
}

bool HandixReader::ControlByte(uint8_t byte) {
  const bool control =
      byte == kWake || byte == kOpenPath || byte == kClosePath || byte == kPowerCycle;
  if (control) reader_.Log().Host(reader_.Now(), std::string(1, static_cast<char>(byte)));
  switch (byte) {
    case kWake:
      ++wakes_;
      sensor_.Wake();
      return true;
    case kOpenPath:
      transparent_ = true;
      reader_.Note("reader: path to the sensor open");
      return true;
    case kClosePath:
      return true;  // already talking SDI-12
    case kPowerCycle:
      sensor_.PowerCycle();
      reader_.Note("reader: sensor power cycled");
      return true;
    default:
      return false;
  }
}

bool HandixReader::TransparentByte(uint8_t byte) {
  if (byte == kClosePath || byte == kPowerCycle) {
    reader_.Log().Host(reader_.Now(), std::string(1, static_cast<char>(byte)));
  }
  if (byte == kClosePath) {
    transparent_ = false;
    reader_.Note("reader: path to the sensor closed");
    return true;
  }
  if (byte == kPowerCycle) {
    // Cycling the sensor's power also ends the path to it.
    transparent_ = false;
    sensor_.PowerCycle();
    reader_.Note("reader: sensor power cycled, path to the sensor closed");
    return true;
  }
  if (sensor_cut_) return true;
  SimDevice& loader = sensor_.Device();
  loader.CatchUp(reader_.Now());
  // The sensor's running firmware only speaks SDI-12: raw bytes reach the
  // sensor only while its loader has the processor.
  if (loader.State() != DeviceState::kFirmware) loader.TakeByte(byte, reader_.Now());
  return true;
}

void HandixReader::PassCommand() {
  const std::string command = pending_ + "!";
  const bool overflow = overflow_;
  pending_.clear();
  overflow_ = false;
  if (overflow || command.size() == 1) {
    reader_.Note("reader: command dropped", overflow ? "too long" : "empty");
    return;
  }
  reader_.Log().Host(reader_.Now(), command);
  if (sensor_cut_) return;
  const std::string answer = sensor_.Command(command, reader_.Now());
  if (!answer.empty()) reader_.Reply(answer, kSdiAnswerDelayUs);
}

void HandixReader::Send(std::string_view bytes, uint64_t after_us) {
  reader_.Reply(bytes, after_us);
}

void HandixReader::PlugSensorBack() {
  if (!sensor_cut_) return;
  sensor_cut_ = false;
  reader_.Note("reader: sensor cable plugged back in");
}

void HandixReader::Unplug() {
  sensor_cut_ = true;
  reader_.Note("reader: sensor cable cut");
}

}  // namespace halv::sim
