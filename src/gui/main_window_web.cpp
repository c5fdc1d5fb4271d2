// The Help menu's web entries and the quiet version check after start-up,
// through the feedback window, which owns the HTTP client and lends it to
// the check.
#include <QCoreApplication>
#include <QLabel>

#include "app/instrument_updater.h"
#include "gui/main_window.h"
#include "protocol/device_kinds.h"
#include "web/feedback_form.h"
#include "web/version_paths.h"
#include "web/web_constants.h"

namespace halv::gui {
namespace {

constexpr const char* kWindowTag = "HalvBSL frmMain";

}  // namespace

void TfrmMain::CreateFeedbackWindow() {
  frmWeb_ = new frmWeb(this);
  frmWeb_->SetDiagLog(&log_);
}

void TfrmMain::DestroyFeedbackWindow() {
  delete frmWeb_;
  frmWeb_ = nullptr;
}

// A web request waits in its own event loop; inside a run it would hold the
// run (and the device's loader) until the server answered.
bool TfrmMain::WebAllowed(const char* what) {
  if (frmWeb_ == nullptr || RunSettings() == nullptr) return false;
  if (RunBusy()) {
    LogMessage(&log_, kLogNote, kWindowTag, "%s during an update: not started", what);
    return false;
  }
  return true;
}

void TfrmMain::SendFeedbackClick() {
  if (!WebAllowed("Send Feedback")) return;
  FeedbackSetup setup;
  setup.software_name = windowTitle();
  setup.version_line = userText2->text();
  setup.default_recipient = kDefaultFeedbackRecipient;
  setup.log_files[0] = QString::fromStdString(log_.file_name);
  setup.install_folder = QCoreApplication::applicationDirPath();
  frmWeb_->LaunchFeedback(setup, &log_);
}

void TfrmMain::RunVersionCheck(bool quiet) {
  if (!WebAllowed("Version check")) return;
  frmWeb_->CheckForNewerVersion(RunSettings()->updater_firmware_version,
                                QString::fromStdString(VersionCheckPath()), quiet, windowTitle());
}

void TfrmMain::CheckNewerFirmwareClick() {
  RunVersionCheck(false);
}

void TfrmMain::tWebCheckTimer() {
  tWebCheck.stop();
  RunVersionCheck(true);
}

}  // namespace halv::gui
