// The Help menu's web entries and the quiet version check after start-up.
// They call the web layer (src/web: the version check and the feedback
// window) once it is part of the build; until then they only log that the
// service is not available in this build.
#include "gui/main_window.h"

namespace halv::gui {
namespace {

constexpr const char* kWindowTag = "HalvBSL frmMain";

}  // namespace

// "Send Feedback to QUORRIN...": will open the web layer's feedback window.
void TfrmMain::SendFeedbackClick() {
  LogMessage(&log_, kLogNote, kWindowTag, "Send Feedback: no web services in this build");
}

// "Check for Newer Firmware Version": will run the web layer's version check
// with its answer shown to the user.
void TfrmMain::CheckNewerFirmwareClick() {
  LogMessage(&log_, kLogNote, kWindowTag, "Version check: no web services in this build");
}

// tWebCheck, armed at start-up (or after the Data Erase Warning): will run
// the web layer's quiet version check, which speaks only of a newer version.
void TfrmMain::tWebCheckTimer() {
  tWebCheck.stop();
}

}  // namespace halv::gui
