// What the update sequences need of a front end: the window shows status,
// progress and messages and asks questions; the command line does the same
// on a terminal. The sequences never call a toolkit themselves.
#pragma once

#include <cstdint>
#include <string>

namespace halv {

// The kinds of the error message box, with their system sounds.
enum MessageKind : int {
  kMessageWarning = 0,
  kMessageError = 1,
  kMessageInformation = 2,
  kMessageConfirmation = 3,
  kMessageCustom = 4,  // no icon; used for the help text
};

class UpdateWindow {
 public:
  virtual ~UpdateWindow() = default;

  // The status line: set its text, make it visible, repaint, process events.
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void HideStatus() = 0;
  virtual void SetConnectLabel(const std::string& text) = 0;
  virtual void SetProgress(int position) = 0;
  virtual int Progress() const = 0;

  // A modal box with one OK button, the icon and sound of its kind.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                              MessageKind kind) = 0;
  // OK and Cancel with the warning icon: true for OK; closing it is Cancel.
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
  // Only OK, warning icon; true when the user pressed OK.
  virtual bool ShowNotice(const std::string& text, const std::string& caption) = 0;

  virtual void ProcessEvents() = 0;
  virtual void InformationBeep() = 0;
  virtual void SetBusyCursor(bool busy) = 0;
};

// The window's state that a run reads.
struct UpdateSettings {
  std::string device_name = "Pumatic";
  std::string port_name;
  std::string port_display_text;
  bool factory_mode = false;  // "-factory"
  bool rep_mode = false;      // "-rep"
  bool replace_serial_number = false;
  std::string new_serial_number;  // at most 15 characters
  bool dont_erase_data = false;
  uint32_t updater_firmware_version = 0;
  float progress_step = 0;
  std::string app_data_folder;

  // The window caption, set at start-up to the build kind's updater name;
  // opening a file for another kind changes the device name, not the caption.
  std::string window_caption;

  std::string UpdaterName() const {
    return window_caption.empty() ? device_name + " Firmware Updater" : window_caption;
  }
  bool FactorySwitch() const { return factory_mode || rep_mode; }
};

}  // namespace halv
