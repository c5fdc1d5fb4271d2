// A radio modem on a serial line: in data mode it passes bytes on to the air;
// "+++" puts it into AT command mode, where it answers AT lines itself until
// "ATCN" sends it back to data mode.
//   "ATHP"  channel (hexadecimal), "ATHP5" sets it
//   "ATDT"  subchannel (hexadecimal), "ATDT1A2B" sets it
//   "ATVR"  the modem's firmware version
//   "ATWR"  keeps the configuration over a power cycle
// Answers end in a carriage return: "OK\r", "5\r", "ERROR\r".
#pragma once

#include <cstdint>
#include <string>

namespace halv::sim {

class SimDevice;

class LoggerModem {
 public:
  LoggerModem(SimDevice& device, const char* label, uint32_t channel, uint32_t subchannel);

  // One byte from the serial side. Returns what goes on to the air (nothing
  // while the modem keeps the byte for itself).
  std::string TakeByte(uint8_t byte);

  bool CommandMode() const { return command_mode_; }
  uint32_t Channel() const { return channel_; }
  uint32_t Subchannel() const { return subchannel_; }
  uint32_t Saves() const { return saves_; }

 private:
  void CommandLine(const std::string& line);

  SimDevice& device_;
  const char* label_;  // "modem" or "logger modem" in the transcript
  uint32_t channel_;
  uint32_t subchannel_;
  bool command_mode_ = false;
  int pluses_ = 0;  // '+' held back: the start of an escape?
  std::string line_;
  uint32_t saves_ = 0;
};

}  // namespace halv::sim
