#include "app/port_hints.h"

#include "serial/port_enum.h"

namespace halv {

std::string ModemManagerAdvice() {
  return "ModemManager is running and may be sending modem commands to this port, which "
         "disturbs the instrument.\n"
         "Stop it while you update (sudo systemctl stop ModemManager), or keep it off the "
         "adapter\n"
         "with a udev rule that sets ENV{ID_MM_DEVICE_IGNORE}=\"1\" (60-halvbsl.rules does so "
         "for the Halvard adapter).";
}

std::string ConnectionHint(const std::string& port_name, DiagLog* log) {
  if (!IsModemLikePort(port_name) || !ModemManagerRunning(log)) return std::string();
  LogMessage(log, kLogNote, "HalvBSL Host", "ModemManager runs and may probe %s",
             port_name.c_str());
  return "\n\n" + ModemManagerAdvice();
}

}  // namespace halv
