// halvbsl-cli: the instrument update from a terminal, over the same engine as
// the window.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "app/app_paths.h"
#include "app/build_product.h"
#include "app/compat_checks.h"
#include "app/firmware_file.h"
#include "app/instrument_updater.h"
#include "app/messages.h"
#include "app/port_hints.h"
#include "app/sensor_updater.h"
#include "bsl/ti_text.h"
#include "cli/cli_options.h"
#include "cli/exit_status.h"
#include "cli/terminal_window.h"
#include "protocol/instrument.h"
#include "serial/clock.h"
#include "serial/port_enum.h"

namespace halv::cli {
namespace {

constexpr const char* kBuiltName = "halvbsl-cli";

// Long waits of the engine look at Ctrl-C through the window's events.
class TerminalPump : public EventPump {
 public:
  explicit TerminalPump(TerminalWindow* window) : window_(window) {}
  void WaitForInput(uint32_t max_ms) override { CurrentClock().SleepMs(max_ms); }
  void DispatchPending() override { window_->ProcessEvents(); }

 private:
  TerminalWindow* window_;
};

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string text(path, static_cast<size_t>(n));
  const size_t slash = text.rfind('/');
  return slash == std::string::npos ? "." : text.substr(0, slash);
}

TerminalWindow::Streams TerminalStreams() {
  TerminalWindow::Streams s;
  s.out_is_terminal = isatty(STDOUT_FILENO) != 0;
  s.in_is_terminal = isatty(STDIN_FILENO) != 0;
  return s;
}

// The sensor type the digital-sensor build updates: the build's, or the
// factory's choice.
uint32_t SelectedSensorType(const Options& o) {
  return o.sensor_type != 0 ? static_cast<uint32_t>(o.sensor_type) : kBuildSensorType;
}

// The device a run names: the build kind's, or in the digital-sensor build
// the selected sensor type's.
std::string BuildDeviceName(const Options& o) {
  if (kSensorBuild) {
    FixedText<35> name;
    SensorTypeName(static_cast<int32_t>(SelectedSensorType(o)), &name);
    return name.c_str();
  }
  DeviceInfo kind;
  LookupDeviceKind(kBuildKind, 0, &kind);
  return kind.kind_name.c_str();
}

// A sensor type is only taken when the updater knows its flash layout: a
// wrong layout would erase and program the wrong memory.
bool CheckSensorType(const Options& o, const HostBSL& host, std::string* error) {
  if (o.sensor_type == 0) return true;
  if (!kSensorBuild) {
    *error = "--sensor-type is for the digital-sensor build only";
    return false;
  }
  const DigitalSensorSelection before = CurrentDigitalSensorSelection();
  SetDigitalSensorSelection({o.sensor_type, host.image_version});
  DeviceInfo info;
  LookupDeviceKind(kKindDigitalSensor, 0, &info);
  SetDigitalSensorSelection(before);
  if (info.supported) return true;
  *error = "--sensor-type " + std::to_string(o.sensor_type) +
           ": no flash layout is known for this sensor type";
  return false;
}

// The state a run starts from: the build's kind and image, the switches.
UpdateSettings StartSettings(const Options& o, const HostBSL& host, const std::string& folder) {
  UpdateSettings s;
  s.device_name = BuildDeviceName(o);
  s.window_caption = s.device_name + " Firmware Updater";
  s.port_name = o.port;
  s.port_display_text = o.port;
  s.factory_mode = o.factory;
  s.rep_mode = o.rep;
  s.replace_serial_number = o.replace_serial_number;
  s.new_serial_number = o.new_serial_number;
  s.dont_erase_data = o.no_erase;
  s.updater_firmware_version = host.image_version;
  s.progress_step = ProgressStep(host.image_length);
  s.app_data_folder = folder;
  return s;
}

int ListPorts(DiagLog* log) {
  PortEntry entries[kMaxPortEntries];
  int32_t count = 0;
  const int32_t rc = CommPortEnum(log, entries, kMaxPortEntries, &count, false);
  if (rc < 0 || count == 0) {
    printf("No Comm Ports Found\n");
    return kExitSuccess;
  }
  bool modem_manager = false;
  for (int32_t i = 0; i < count; ++i) {
    printf("%s\n", entries[i].display_text.c_str());
    if (entries[i].modem_manager) modem_manager = true;
  }
  if (modem_manager) printf("\n%s\n", ModemManagerAdvice().c_str());
  return kExitSuccess;
}

int Dump(TerminalWindow* window, DiagLog* log, HostBSL* host, const std::string& file) {
  const int32_t rc = BSLWriteTIFile(host, file.c_str());
  if (rc < 0) {
    window->ShowMessageBox(
        "The firmware image could not be written to \"" + file + "\".\nError " + std::to_string(rc),
        "Dump Error", kMessageError);
    LogMessage(log, kLogError, "HalvBSL Host", "Dump to %s failed (%d)", file.c_str(), rc);
    return kExitFirmwareFile;
  }
  printf("Wrote %s (%s)\n", file.c_str(), host->image_name.c_str());
  return kExitSuccess;
}

int Info(InstrumentConnection* connection, const UpdateSettings& settings) {
  DeviceInfo device;
  const int32_t rc = DPConnect(connection, settings.port_name.c_str(), 2, 3, &device);
  if (rc == kBslAlreadyActive || rc == kBslWaitingForHost) {
    printf("A firmware loader is listening on %s (%d): an earlier update did not finish.\n",
           settings.port_name.c_str(), rc);
    return kExitSuccess;
  }
  if (rc < 0 && rc != kProtocolCannotUpdate) {
    fprintf(stderr, "Could not identify the device on %s (error %d).\n", settings.port_name.c_str(),
            rc);
    return kExitConnection;
  }
  printf("Device:    %s (kind %d)\n", device.kind_name.c_str(), device.kind);
  printf("Reports:   %s\n", device.identification.c_str());
  printf("Version:   %s\n", msg::Version(device.firmware_version).c_str());
  const bool updatable = rc >= 0 && device.kind == kBuildKind && device.supported;
  printf("Update:    %s\n",
         updatable ? "this updater can update it" : "this updater cannot update it");
  DPDisconnect(connection, false);
  return kExitSuccess;
}

// The instrument sequence, or the digital sensor's in that build.
template <typename Updater>
int Update(TerminalWindow* window, DiagLog* log, HostBSL* host, UpdateSettings settings,
           const Options& options) {
  InstrumentConnection connection(log);
  Updater updater(window, log, &connection, host);
  updater.settings = std::move(settings);
  if constexpr (std::is_same_v<Updater, SensorUpdater>) {
    updater.sensor_type = SelectedSensorType(options);
  }
  InterruptGuard guard;
  window->on_interrupt = [&updater] { updater.ConfirmQuit(); };
  TerminalPump pump(window);
  EventPump* previous = SetEventPump(&pump);
  const int32_t rc = updater.Run();
  SetEventPump(previous);
  LogMessage(log, kLogProgress, "HalvBSL Host", "Fixed waits of the run: %llu ms",
             static_cast<unsigned long long>(WaitedMsTotal()));
  window->EndLine();
  return rc >= 0 ? kExitSuccess : ExitStatusFor(updater.Failure());
}

// The name the program was started under: the digital-sensor package installs
// it as halvbsl-sdi-cli, and its messages should name what the user typed.
std::string ProgramName(const char* argv0) {
  const std::string path = argv0 != nullptr && *argv0 != '\0' ? argv0 : kBuiltName;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NamedAs(std::string text, const std::string& name) {
  for (size_t at = text.find(kBuiltName); at != std::string::npos;
       at = text.find(kBuiltName, at + name.size())) {
    text.replace(at, strlen(kBuiltName), name);
  }
  return text;
}

void TellBadArguments(const std::string& name, const std::string& error) {
  fprintf(stderr, "%s: %s\nTry '%s --help'.\n", name.c_str(), error.c_str(), name.c_str());
}

int Main(int argc, char** argv) {
  Options options;
  std::string error;
  const std::string name = ProgramName(argc > 0 ? argv[0] : nullptr);
  if (!ParseOptions(argc, argv, &options, &error)) {
    TellBadArguments(name, error);
    return kExitBadArguments;
  }
  if (options.command == Command::kHelp) {
    fputs(NamedAs(HelpText(), name).c_str(), stdout);
    return kExitSuccess;
  }
  const std::string folder = ApplicationDataFolder(ProgramFolder());
  DiagLog log;
  HostBSL host(&log);
  if (!CheckSensorType(options, host, &error)) {
    TellBadArguments(name, error);
    return kExitBadArguments;
  }
  UpdateSettings settings = StartSettings(options, host, folder);
  const std::string log_path =
      options.log_file.empty() ? ErrorLogPath(folder, settings.UpdaterName()) : options.log_file;
  CreateDiagLog(&log, log_path.c_str(), kLogProgress, false);

  TerminalWindow window(TerminalStreams(), options.yes);
  if (options.command == Command::kPorts) return ListPorts(&log);
  if (host.construction_error < 0) {
    ReportConstructionError(&window, &log, settings, host.construction_error);
    return kExitFirmwareFile;
  }
  if (!options.firmware_file.empty() &&
      OpenFirmwareFile(&window, &log, &host, &settings, options.firmware_file, kBuildKind) < 0) {
    return kExitFirmwareFile;
  }
  switch (options.command) {
    case Command::kDump:
      return Dump(&window, &log, &host, options.dump_file);
    case Command::kInfo: {
      InstrumentConnection connection(&log);
      return Info(&connection, settings);
    }
    case Command::kUpdate:
      if constexpr (kSensorBuild) {
        return Update<SensorUpdater>(&window, &log, &host, settings, options);
      } else {
        return Update<InstrumentUpdater>(&window, &log, &host, settings, options);
      }
    default:
      return kExitBadArguments;
  }
}

}  // namespace
}  // namespace halv::cli

int main(int argc, char** argv) {
  return halv::cli::Main(argc, argv);
}
