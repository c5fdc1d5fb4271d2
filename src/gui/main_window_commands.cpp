// The window's commands: the update run and its guards, the menu toggles,
// the firmware file, the image dump, help, about and the start-up notices.
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/compat_checks.h"
#include "app/error_report.h"
#include "app/firmware_file.h"
#include "app/instrument_updater.h"
#include "bsl/host_bsl.h"
#include "bsl/ti_text.h"
#include "gui/build_version.h"
#include "gui/guidance_texts.h"
#include "gui/main_window.h"
#include "gui/qt_event_pump.h"
#include "protocol/device_kinds.h"

namespace halv::gui {
namespace {

constexpr const char* kWindowTag = "HalvBSL frmMain";

}  // namespace

void TfrmMain::btnStartClick() {
  // A run started from the menu leaves Start enabled; a press then must not
  // start a second run inside the first.
  if (RunBusy()) {
    LogMessage(&log_, kLogNote, kWindowTag, "Start pressed during a run: ignored");
    return;
  }
  btnStart->setEnabled(false);
  btnClose->setEnabled(false);
  UpdateFirmware1->setEnabled(false);
  timerStart.start();
}

void TfrmMain::UpdateFirmware1Click() {
  if (RunBusy()) return;
  timerStart.start();
  UpdateFirmware1->setEnabled(false);
}

void TfrmMain::timerStartTimer() {
  timerStart.stop();
  if (RunSettings() == nullptr || RunBusy()) return;  // the engine refuses a run inside a run
  cbCommPort->setEnabled(false);
  // The image must not change under the loader while it is programmed.
  OpenFirmwareFile1->setEnabled(false);

  UpdateSettings& settings = *RunSettings();
  settings.port_name = remembered_port_;
  settings.port_display_text = cbCommPort->currentText().toStdString();
  settings.replace_serial_number = PromptforSerialNumber1->isChecked();
  settings.new_serial_number = newSNstr->text().toStdString();
  settings.dont_erase_data = DontEraseData1->isChecked();

  QtEventPump pump;
  ScopedEventPump keep_alive(&pump);
  RunUpdate();
  FinishRun();
}

void TfrmMain::FinishRun() {
  btnStart->setEnabled(true);
  btnStart->setDefault(false);
  btnClose->setEnabled(true);
  btnClose->setDefault(true);
  UpdateFirmware1->setEnabled(true);
  OpenFirmwareFile1->setEnabled(switches_.file_opening);
  // The check mark goes, the option stays; the emptied box means the next
  // run restores the saved serial number.
  PromptforSerialNumber1->setChecked(false);
  newSNstr->clear();
  newSNstr->hide();
  newSN->hide();
  cbCommPort->setEnabled(true);
}

void TfrmMain::ForceFindAllCommPorts1Click() {
  find_all_comms_ = ForceFindAllCommPorts1->isChecked();
}

void TfrmMain::PromptforSerialNumber1Click() {
  const bool on = PromptforSerialNumber1->isChecked();
  if (UpdateSettings* settings = RunSettings()) settings->replace_serial_number = on;
  newSN->setVisible(on);
  newSNstr->setVisible(on);
  if (on) newSNstr->setFocus();
}

void TfrmMain::DontEraseData1Click() {
  if (UpdateSettings* settings = RunSettings()) {
    settings->dont_erase_data = DontEraseData1->isChecked();
  }
}

void TfrmMain::OpenFirmwareFile1Click() {
  if (RunBusy() || RunSettings() == nullptr) return;
  QFileDialog dialog(this, "Please select a firmware file", QDir::currentPath(),
                     "Firmware File (*.txt);;Any File (*)");
  dialog.setObjectName("OpenDialog1");
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix("txt");
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  LoadFirmwareFile(dialog.selectedFiles().first().toStdString());
}

int32_t TfrmMain::LoadFirmwareFile(const std::string& path) {
  UpdateSettings* settings = RunSettings();
  if (settings == nullptr || RunBusy()) return kBslRefused;
  const int32_t rc = OpenFirmwareFile(this, &log_, host_.get(), settings, path, setup_.build_kind);
  if (rc < 0) return rc;
  userText2->setText(host_->image_name.c_str());
  SetDeviceLabels(settings->device_name);
  btnStart->setEnabled(true);
  UpdateFirmware1->setEnabled(true);
  return rc;
}

void TfrmMain::DumpFirmwareImage1Click() {
  if (RunBusy() || host_ == nullptr) return;
  QFileDialog dialog(this, "Save Firmware Image", QDir::currentPath(),
                     "Firmware File (*.txt);;Any File (*)");
  dialog.setObjectName("SaveDialog1");
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("txt");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::string path = dialog.selectedFiles().first().toStdString();
  const int32_t rc = BSLWriteTIFile(host_.get(), path.c_str());
  if (rc < 0) {
    ShowErrorMessage(this, &log_, "Error saving firmware image: " + std::to_string(rc), "Error",
                     kMessageWarning);
  }
}

void TfrmMain::Help2Click() {
  if (RunSettings() == nullptr) return;
  ShowErrorMessage(this, &log_,
                   HelpText(UpdaterName(), DeviceName(), WarnsBeforeErasing(setup_.build_kind)),
                   kHelpCaption, kMessageCustom);
}

void TfrmMain::About1Click() {
  if (RunSettings() == nullptr) return;
  ShowErrorMessage(this, &log_, AboutText(kFileVersion), AboutCaption(DeviceName()),
                   kMessageInformation);
}

void TfrmMain::timerEraseWarnTimer() {
  timerEraseWarn.stop();
  ShowErrorMessage(this, &log_, EraseWarningText(UpdaterName(), DeviceName()), kEraseWarningCaption,
                   kMessageWarning);
  tWebCheck.start();
}

void TfrmMain::timerConstructorErrorsTimer() {
  timerConstructorErrors.stop();
  if (RunSettings() == nullptr) return;
  // Shows and logs the error; the window then closes, which ends the program.
  ReportConstructionError(this, &log_, *RunSettings(), host_->construction_error);
  close();
}

}  // namespace halv::gui
