// TfrmMain: the updater's single window. It shows the port list, the status
// line and the progress bar, starts the update run and answers the engine's
// messages and questions with modal boxes. The controls, menu entries and
// timers carry their own names as object names ("btnStart", "timerStart").
#pragma once

#include <QComboBox>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/build_product.h"
#include "app/update_window.h"
#include "gui/command_switches.h"
#include "gui/port_list.h"
#include "gui/sensor_type_menu.h"
#include "log/diag_log.h"
#include "protocol/device_kinds.h"
#include "serial/port_enum.h"

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace halv {
class InstrumentUpdater;
class SensorUpdater;
class frmWeb;
struct HostBSL;
struct InstrumentConnection;
}  // namespace halv

namespace halv::gui {

// The port list; it tells the window when it is about to open.
class PortComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
  void showPopup() override;

 Q_SIGNALS:
  void dropDown();
};

// What the window is started with.
struct MainWindowSetup {
  std::vector<std::string> arguments;  // the command line, program name first
  PortLister port_lister;              // null: the system's ports and HALVBSL_PORTS
  std::string program_folder;          // where files go when no data folder can be had
  int build_kind = kBuildKind;         // the instrument kind this build serves
  // The digital-sensor updater's window: the sensor-type entries, the Handix
  // labels and the sensor update run.
  bool sensor_build = kSensorBuild;
  int32_t sensor_type = static_cast<int32_t>(kBuildSensorType);  // selected at start-up
};

class TfrmMain : public QMainWindow, public UpdateWindow {
  Q_OBJECT

 public:
  explicit TfrmMain(MainWindowSetup setup, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // UpdateWindow: what the update run shows.
  void ShowStatus(const std::string& text) override;
  void HideStatus() override;
  void SetConnectLabel(const std::string& text) override;
  void SetProgress(int position) override;
  int Progress() const override;
  void ShowMessageBox(const std::string& text, const std::string& caption,
                      MessageKind kind) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  bool ShowNotice(const std::string& text, const std::string& caption) override;
  void ProcessEvents() override;
  void InformationBeep() override;
  void SetBusyCursor(bool busy) override;

  // Loads a firmware file chosen by "&Open Firmware File..." and re-targets
  // the window to its kind. Returns the load's result.
  int32_t LoadFirmwareFile(const std::string& path);

  // The sensor-type entries' command: check mark, device name, description
  // line and the version check's path word. Refused while a run is busy.
  void SelectSensorType(int32_t type);
  int32_t SelectedSensorType() const { return selected_sensor_type_; }
  // The path the version check asks for.
  std::string VersionCheckPath() const;

  // The state created at start-up (null before the window was first shown).
  // One of the two update runs exists: the sensor build's or the instrument's.
  InstrumentUpdater* Updater() const { return updater_.get(); }
  SensorUpdater* SensorRun() const { return sensor_updater_.get(); }
  HostBSL* Host() const { return host_.get(); }
  DiagLog* Log() { return &log_; }
  const std::string& RememberedPortName() const { return remembered_port_; }
  bool FindAllCommPorts() const { return find_all_comms_; }
  // ‹device name› of the messages (empty before the window was first shown).
  std::string DeviceName() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Construction of the controls, menus and timers (main_window_layout.cpp).
  void BuildControls();
  void BuildMenus();
  void BuildTimers();

  // Start-up and close (main_window_startup.cpp).
  void FormShow();
  void FormClose();
  void FillPortListAtStartUp();
  int32_t ListPorts(int32_t* count);
  void SetDeviceLabels(const std::string& device);
  std::string StartUpDeviceName() const;

  // Event handlers (main_window_commands.cpp).
  void cbCommPortDropDown();
  void cbCommPortChange(int index);
  void btnStartClick();
  void timerStartTimer();
  void FinishRun();
  void UpdateFirmware1Click();
  void ForceFindAllCommPorts1Click();
  void PromptforSerialNumber1Click();
  void DontEraseData1Click();
  void OpenFirmwareFile1Click();
  void DumpFirmwareImage1Click();
  void Help2Click();
  void About1Click();
  void timerEraseWarnTimer();
  void timerConstructorErrorsTimer();
  // The web layer's entries (main_window_web.cpp).
  void CreateFeedbackWindow();
  // Before the log it writes to goes.
  void DestroyFeedbackWindow();
  bool WebAllowed(const char* what);
  void RunVersionCheck(bool quiet);
  void SendFeedbackClick();
  void CheckNewerFirmwareClick();
  void tWebCheckTimer();

  // The update run in use (main_window.cpp); null settings before start-up.
  UpdateSettings* RunSettings() const;
  bool RunBusy() const;
  bool RunConfirmQuit();
  void RunUpdate();
  std::string UpdaterName() const;

  MainWindowSetup setup_;
  CommandSwitches switches_;
  bool shown_ = false;
  bool find_all_comms_ = false;
  bool saved_port_known_ = false;
  std::string remembered_port_;
  int32_t selected_port_index_ = 0;
  std::array<PortEntry, kMaxPortEntries> ports_{};
  int32_t port_count_ = 0;
  bool busy_cursor_ = false;
  int32_t selected_sensor_type_ = 0;
  std::string sensor_path_word_;  // the version-finder path word of the sensor build

  DiagLog log_;
  std::unique_ptr<InstrumentConnection> connection_;
  std::unique_ptr<HostBSL> host_;
  std::unique_ptr<InstrumentUpdater> updater_;
  std::unique_ptr<SensorUpdater> sensor_updater_;
  frmWeb* frmWeb_ = nullptr;  // the feedback window, a child of this one

  // Controls.
  QLabel* Image1 = nullptr;
  QLabel* userText1 = nullptr;
  QLabel* userText2 = nullptr;
  QLabel* lblConnect = nullptr;
  QWidget* Panel1 = nullptr;
  QLabel* commLabel = nullptr;
  PortComboBox* cbCommPort = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* statusText = nullptr;
  QProgressBar* statusBar = nullptr;
  QLabel* newSN = nullptr;
  QLineEdit* newSNstr = nullptr;
  QPushButton* btnClose = nullptr;
  QPushButton* btnStart = nullptr;

  // Menu entries.
  QAction* OpenFirmwareFile1 = nullptr;
  QAction* UpdateFirmware1 = nullptr;
  QAction* DumpFirmwareImage1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* VerboseErrorFile1 = nullptr;
  QAction* ForceFindAllCommPorts1 = nullptr;
  QAction* DontEraseData1 = nullptr;
  QAction* PromptforSerialNumber1 = nullptr;
  std::unique_ptr<SensorTypeMenu> sensor_types_;
  QAction* Help2 = nullptr;
  QAction* SendFeedback1 = nullptr;
  QAction* CheckNewerFirmware1 = nullptr;
  QAction* About1 = nullptr;

  // One-shot timers.
  QTimer timerStart;
  QTimer timerEraseWarn;
  QTimer tWebCheck;
  QTimer timerConstructorErrors;
};

}  // namespace halv::gui
