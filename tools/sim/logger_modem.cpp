#include "sim/logger_modem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "sim/sim_device.h"

namespace halv::sim {
namespace {

// The modem answers an escape only after a guard time of silence.
constexpr uint64_t kEscapeGuardUs = 1000 * 1000;
constexpr uint64_t kAnswerUs = 20 * 1000;
constexpr size_t kMaxAtLine = 32;
constexpr uint32_t kMaxChannel = 6;
constexpr uint32_t kMaxSubchannel = 0xFFFF;
constexpr const char* kModemVersion = "RD4.02";

bool ParseHex(const std::string& text, uint32_t max, uint32_t* value) {
  if (text.empty() || text.size() > 8) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long v = strtoul(text.c_str(), &end, 16);
  if (*end != '\0' || errno != 0 || text[0] == '-' || text[0] == '+' || v > max) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%X\r", value);
  return text;
}

}  // namespace

LoggerModem::LoggerModem(SimDevice& device, const char* label, uint32_t channel,
                         uint32_t subchannel)
    : device_(device), label_(label), channel_(channel), subchannel_(subchannel) {}

std::string LoggerModem::TakeByte(uint8_t byte) {
  if (!command_mode_) {
    if (byte == '+') {
      if (++pluses_ < 3) return {};
      pluses_ = 0;
      command_mode_ = true;
      line_.clear();
      device_.Note(label_, "AT command mode");
      device_.Reply("OK\r", kEscapeGuardUs);
      return {};
    }
    // Pluses that were no escape go on after all.
    std::string out(static_cast<size_t>(pluses_), '+');
    pluses_ = 0;
    return out + static_cast<char>(byte);
  }
  if (byte == '\n') return {};
  if (byte != '\r') {
    if (line_.size() < kMaxAtLine) line_ += static_cast<char>(byte);
    return {};
  }
  const std::string line = std::move(line_);
  line_.clear();
  CommandLine(line);
  return {};
}

void LoggerModem::CommandLine(const std::string& line) {
  if (line.empty()) return;
  auto answer = [&](const std::string& text) { device_.Reply(text, kAnswerUs); };
  const std::string head = line.substr(0, 4);
  const std::string argument = line.size() > 4 ? line.substr(4) : std::string();
  if (head == "ATHP" || head == "ATDT") {
    uint32_t* value = head == "ATHP" ? &channel_ : &subchannel_;
    const uint32_t max = head == "ATHP" ? kMaxChannel : kMaxSubchannel;
    if (argument.empty()) {
      answer(Hex(*value));
    } else if (ParseHex(argument, max, value)) {
      device_.Note(label_, line);
      answer("OK\r");
    } else {
      answer("ERROR\r");
    }
  } else if (line == "ATVR") {
    answer(std::string(kModemVersion) + "\r");
  } else if (line == "ATWR") {
    ++saves_;
    device_.Note(label_, "configuration saved");
    answer("OK\r");
  } else if (line == "ATCN") {
    command_mode_ = false;
    device_.Note(label_, "data mode");
    answer("OK\r");
  } else {
    answer("ERROR\r");
  }
}

}  // namespace halv::sim
