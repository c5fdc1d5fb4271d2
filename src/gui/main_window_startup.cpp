// What the window does when it is first shown, the port list, and what it
// keeps when it closes.
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include "app/app_paths.h"
#include "app/firmware_file.h"
#include "app/instrument_updater.h"
#include "app/sensor_updater.h"
#include "bsl/host_bsl.h"
#include "gui/guidance_texts.h"
#include "gui/main_window.h"
#include "gui/remembered_settings.h"
#include "protocol/device_kinds.h"
#include "protocol/instrument.h"

namespace halv::gui {
namespace {

constexpr const char* kWindowTag = "HalvBSL frmMain";
constexpr const char* kNoPorts = "No Comm Ports Found";

void SetLabel(QLabel* label, const std::string& text) {
  label->setText(QString::fromStdString(text));
  if (!label->wordWrap()) label->adjustSize();
}

}  // namespace

void TfrmMain::FormShow() {
  // The build's kind names the window (the sensor build: its sensor type);
  // the version check path follows the kind (the web layer looks it up when
  // it checks).
  const std::string device = StartUpDeviceName();
  const std::string caption = device + " Firmware Updater";
  setWindowTitle(QString::fromStdString(caption));
  About1->setText(QString::fromStdString("About " + device + " Firmware Updater"));

  switches_ = ParseCommandSwitches(setup_.arguments);
  if (switches_.file_opening) OpenFirmwareFile1->setEnabled(true);
  if (switches_.factory_mode) {
    PromptforSerialNumber1->setVisible(true);
    DontEraseData1->setVisible(true);
    if (setup_.sensor_build) sensor_types_->Show();
  }

  const RememberedSettings remembered = ReadRememberedSettings();
  find_all_comms_ = remembered.find_all_comms;
  ForceFindAllCommPorts1->setChecked(find_all_comms_);
  VerboseErrorFile1->setChecked(true);
  saved_port_known_ = remembered.has_comm_port;
  remembered_port_ = remembered.has_comm_port ? remembered.comm_port : std::string();

  const std::string program_folder = setup_.program_folder.empty()
                                         ? QCoreApplication::applicationDirPath().toStdString()
                                         : setup_.program_folder;
  const std::string folder = ApplicationDataFolder(program_folder);
  CreateDiagLog(&log_, ErrorLogPath(folder, caption).c_str(), kLogProgress, false);
  connection_ = std::make_unique<InstrumentConnection>(&log_);
  host_ = std::make_unique<HostBSL>(&log_);
  // The sensor build updates the sensor through the reader; the other build
  // updates the instrument on the port.
  if (setup_.sensor_build) {
    sensor_updater_ = std::make_unique<SensorUpdater>(this, &log_, connection_.get(), host_.get());
  } else {
    updater_ = std::make_unique<InstrumentUpdater>(this, &log_, connection_.get(), host_.get());
  }
  if (!setup_.port_lister) setup_.port_lister = SystemPortLister(&log_);
  CreateFeedbackWindow();

  FillPortListAtStartUp();

  UpdateSettings& settings = *RunSettings();
  settings.device_name = device;
  settings.window_caption = caption;
  settings.factory_mode = switches_.factory_mode;
  settings.rep_mode = switches_.rep_mode;
  settings.app_data_folder = folder;
  settings.updater_firmware_version = host_->image_version;
  settings.progress_step = ProgressStep(host_->image_length);
  SetLabel(userText2, host_->image_name.c_str());
  SetDeviceLabels(device);
  if (setup_.sensor_build) SelectSensorType(setup_.sensor_type);

  if (WarnsBeforeErasing(setup_.build_kind) && !switches_.file_opening && !switches_.factory_mode) {
    timerEraseWarn.start();
  } else {
    tWebCheck.start();
  }
  if (host_->construction_error < 0) timerConstructorErrors.start();
  LogMessage(&log_, kLogNote, kWindowTag, "%s started with %d ports listed", caption.c_str(),
             port_count_);
}

std::string TfrmMain::StartUpDeviceName() const {
  if (setup_.sensor_build) {
    FixedText<35> name;
    SensorTypeName(setup_.sensor_type, &name);
    return name.c_str();
  }
  DeviceInfo kind;
  LookupDeviceKind(setup_.build_kind, 0, &kind);
  return kind.kind_name.c_str();
}

void TfrmMain::SetDeviceLabels(const std::string& device) {
  SetLabel(userText1, "This utility updates " + device + " firmware to");
  // The sensor build's user connects the reader; the sensor hangs on it.
  const std::string connected = setup_.sensor_build ? "Handix and Digital Sensor" : device;
  const std::string connect = setup_.sensor_build ? "Handix" : device;
  SetLabel(commLabel, "Connect to " + connected + " with Comm Port");
  SetLabel(lblConnect, "Connect " + connect + " to computer comm port.");
}

int32_t TfrmMain::ListPorts(int32_t* count) {
  ports_ = {};
  *count = 0;
  const int32_t rc = setup_.port_lister(find_all_comms_, ports_.data(), kMaxPortEntries, count);
  if (*count < 0 || *count > kMaxPortEntries) *count = 0;
  if (rc < 0) LogMessage(&log_, kLogError, kWindowTag, "Listing the comm ports failed (%d)", rc);
  return rc;
}

void TfrmMain::FillPortListAtStartUp() {
  cbCommPort->clear();
  int32_t count = 0;
  if (ListPorts(&count) < 0) count = 0;
  port_count_ = count;
  for (int32_t i = 0; i < count; ++i) cbCommPort->addItem(ports_[i].display_text.c_str());
  if (count == 0) {
    cbCommPort->addItem(kNoPorts);
    remembered_port_.clear();
    selected_port_index_ = 0;
    btnStart->setEnabled(false);
    return;
  }
  selected_port_index_ = 0;
  if (saved_port_known_) {
    for (int32_t i = 0; i < count; ++i) {
      if (remembered_port_ == ports_[i].port_name.c_str()) {
        selected_port_index_ = i;
        break;
      }
    }
  }
  cbCommPort->setCurrentIndex(selected_port_index_);
  remembered_port_ = ports_[selected_port_index_].port_name.c_str();
}

void TfrmMain::cbCommPortDropDown() {
  cbCommPort->clear();
  int32_t count = 0;
  if (ListPorts(&count) < 1) count = 0;
  port_count_ = count;
  if (count == 0) {
    cbCommPort->addItem(kNoPorts);
    return;
  }
  for (int32_t i = 0; i < count; ++i) cbCommPort->addItem(ports_[i].display_text.c_str());
  cbCommPort->setCurrentIndex(selected_port_index_ < cbCommPort->count() ? selected_port_index_
                                                                         : 0);
}

void TfrmMain::cbCommPortChange(int index) {
  if (index < 0) return;
  selected_port_index_ = index;
  // "No Comm Ports Found" stands for no port at all.
  remembered_port_ = index < port_count_ ? ports_[index].port_name.c_str() : "";
  if (!remembered_port_.empty()) btnStart->setEnabled(true);
}

void TfrmMain::FormClose() {
  RememberedSettings remembered;
  remembered.find_all_comms = find_all_comms_;
  remembered.comm_port = remembered_port_;
  remembered.verbose_log = true;
  std::string error;
  if (!WriteRememberedSettings(remembered, &error)) {
    LogMessage(&log_, kLogError, kWindowTag, "Could not save the remembered settings: %s",
               error.c_str());
  }
}

}  // namespace halv::gui
