// A scripted comm port on virtual time, with a diagnostic log at full detail:
// the fixture of the serial channel's and loader host's unit tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "log/diag_log.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "support/temp_dir.h"

namespace halv::test {

class VirtualLineTest : public ::testing::Test {
 protected:
  VirtualLineTest()
      : line(std::make_shared<ScriptLine>()),
        backend(line),
        use_backend(&backend),
        use_clock(&clock) {
    CreateDiagLog(&log, dir.File("run.txt").c_str(), kLogDetail, true);
  }

  uint64_t Now() { return clock.NowMs(); }
  std::string LogText() const { return ReadWholeFile(log.file_name); }
  bool Logged(const std::string& text) const { return LogText().find(text) != std::string::npos; }

  TempDir dir;
  DiagLog log;
  VirtualClock clock;
  std::shared_ptr<ScriptLine> line;
  ScriptBackend backend;

 private:
  ScopedPortBackend use_backend;
  ScopedClock use_clock;
};

}  // namespace halv::test
