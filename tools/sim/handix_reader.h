// The Handix handheld reader with a digital sensor on its SDI-12 bus. The
// reader is a device with its own firmware ("get -ver" answers "HX 1.23");
// what it receives besides its own commands it passes on:
//   "|"        wakes the sensor (a break on the bus)
//   a line ending in "!" goes to the sensor as an SDI-12 command, and the
//              sensor's answer comes back with its "\r\n"
//   "]"        opens the transparent path: every byte goes to the sensor's
//              loader and its answers come back, until
//   "["        closes it again (no loader frame ever holds that byte)
//   "`"        cycles the sensor's power (the grave accent), which also
//              closes the transparent path
// The control bytes count between commands, where the reader's line is empty,
// so that a "]" inside "?X9 ]!" is part of the command.
//
//   HandixReader reader(*FindSdiSensorProfile("rilo-360"));
//   SimPortBackend backend(reader.Device(), "SIM1");
#pragma once

#include <string>

#include "sim/sdi12_sensor.h"
#include "sim/sim_device.h"

namespace halv::sim {

const DeviceProfile& HandixProfile();

class HandixReader : private BytePassThrough, private ReplySink {
 public:
  // revision_answer: what "get -hver" answers in place of the profile's
  // revision (null: "B"); it may carry blanks before the letter.
  explicit HandixReader(const SdiSensorProfile& sensor, SdiSensorFaults faults = {},
                        const DeviceSetup& reader_setup = {},
                        const char* revision_answer = nullptr);
  HandixReader(const HandixReader&) = delete;
  HandixReader& operator=(const HandixReader&) = delete;

  // What the comm port is wired to.
  SimDevice& Device() { return reader_; }
  SdiSensor& Sensor() { return sensor_; }
  bool Transparent() const { return transparent_; }
  // The cable to the sensor goes back in after a cut; the sensor is as the
  // cut left it.
  void PlugSensorBack();
  uint32_t Wakes() const { return wakes_; }

 private:
  // BytePassThrough: the reader's bytes before its own command interpreter.
  bool TakeByte(uint8_t byte, std::string* line) override;
  bool ControlByte(uint8_t byte);
  bool TransparentByte(uint8_t byte);
  void PassCommand();
  // ReplySink: the sensor's loader answers through the reader.
  void Send(std::string_view bytes, uint64_t after_us) override;
  // The sensor's own loader pulls its line: the cable between reader and
  // sensor is cut, and the sensor hears nothing more.
  void Unplug() override;

  SimDevice reader_;
  SdiSensor sensor_;
  const char* revision_answer_;
  std::string pending_;  // the line so far
  bool overflow_ = false;
  bool transparent_ = false;
  bool sensor_cut_ = false;
  uint32_t wakes_ = 0;
};

}  // namespace halv::sim
