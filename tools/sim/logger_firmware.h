// A data logger's running firmware, seen from the logger's side: its text
// commands and reply form, its baud rate, its clock and data erase, and, for
// a logger reached over the radio, the radio modem on the comm port, the
// logger's sleep, its wake-up by a run of carriage returns, the query and
// the login by name.
//
//   DeviceSetup setup;
//   setup.logger.profile = FindLoggerProfile("zet");
//   SimDevice device(LoggerDeviceProfile(), setup);
//   auto* zet = static_cast<LoggerFirmware*>(device.Personality());
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sim/device_profile.h"
#include "sim/logger_modem.h"
#include "sim/logger_profile.h"
#include "sim/sim_device.h"

namespace halv::sim {

// The memory and loader side every simulated logger shares: no loader.
const DeviceProfile& LoggerDeviceProfile();

std::unique_ptr<FirmwarePersonality> MakeLoggerFirmware(SimDevice& device,
                                                        const LoggerSetup& setup);

class LoggerFirmware : public FirmwarePersonality {
 public:
  LoggerFirmware(SimDevice& device, const LoggerSetup& setup);

  void TakeByte(uint8_t byte) override;
  uint32_t Baud() const override { return baud_; }

  const LoggerProfile& Profile() const { return profile_; }
  // Changes the faults from now on; the line count goes on.
  void SetFaults(const LoggerFaults& faults) { setup_.faults = faults; }
  bool OverRadio() const { return setup_.over_radio; }
  bool Awake() const;
  bool LoggedIn() const { return device_.LoggedIn(); }
  uint32_t Resets() const { return resets_; }
  // Lines that reached the firmware (empty ones not counted).
  uint32_t LinesHeard() const { return lines_heard_; }
  // Carriage returns the radio heard while the logger slept, and when it woke.
  uint32_t ReturnsWhileAsleep() const { return returns_asleep_; }
  uint64_t WokeAtUs() const { return woke_at_us_; }
  // The modem on the comm port (radio loggers).
  LoggerModem& PortModem() { return port_modem_; }

 private:
  std::string& Store(const char* key) { return device_.Settings()[key]; }
  bool Has(uint32_t features) const { return (profile_.features & features) == features; }
  void RecordHostBytes(uint8_t byte);
  void AirByte(uint8_t byte);
  void FirmwareByte(uint8_t byte);
  void TermByte(uint8_t byte);
  void Line(const std::string& line);
  bool FaultTakesLine(const std::string& line);
  bool RadioTakesLine(const std::string& line);
  void Command(const std::string& line);
  void GetSetting(const std::string& word);
  void SetSetting(const std::string& word, const std::string& value);
  bool Clock(const std::string& line);
  void SetBaud(const std::string& code);
  void Erase();
  void Show();
  void WatchdogRestart();

  std::string Version() const;
  void Answer(const std::string& value);
  void Ok();
  void Refuse(const char* word);  // "ERROR", "Unsupported", "?"

  SimDevice& device_;
  LoggerSetup setup_;
  const LoggerProfile& profile_;
  uint32_t baud_ = kFirmwareBaud;
  LoggerModem port_modem_;    // on the comm port, between the host and the air
  LoggerModem logger_modem_;  // inside an old logger, reached through "term"
  bool term_ = false;
  std::string host_line_;  // for the transcript
  std::string line_;
  bool overflow_ = false;
  std::string term_line_;
  uint64_t awake_from_us_;
  uint64_t sleep_at_us_;
  uint64_t woke_at_us_ = 0;
  uint32_t returns_asleep_ = 0;
  uint32_t lines_heard_ = 0;
  uint32_t resets_ = 0;
};

}  // namespace halv::sim
