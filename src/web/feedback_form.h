// The feedback window: the user's comment, feature suggestion or bug report,
// sent with the diagnostic log (and a file of the user's choice) to the
// maker's software server as one multipart upload. The window lives for the
// whole run and lends its HTTP client and message boxes to the version check.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "log/diag_log.h"
#include "web/web_client.h"
#include "web/web_desktop.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace halv {

// The nine set-up texts the main window hands over before each showing.
struct FeedbackSetup {
  QString software_name;  // the updater name (the main window's caption)
  QString version_line;   // the main window's firmware line
  QString registered_name;
  QString registered_company;
  QString default_recipient;  // used when no representative's address is given
  QString log_files[3];       // the error log first; empty entries are skipped
  QString install_folder;     // where the file dialog starts
};

enum : int32_t {
  kUploadNotSent = 0,     // the picked file could not be attached (already reported)
  kUploadSent = 1,        // the server's script completed
  kUploadFailed = -1000,  // no connection, an error answer, or no "Script Completed"
};

// Named as the rest of the updater names its windows.
class frmWeb : public QDialog {
  Q_OBJECT

 public:
  // desktop: the boxes, browser and file dialog to use; null for the real
  // ones, centred on the parent (the main window).
  explicit frmWeb(QWidget* parent = nullptr, WebDesktop* desktop = nullptr);
  ~frmWeb() override;

  // "Send Feedback to QUORRIN...": hands over the set-up texts, trims the
  // error log to what is sent, checks that the server answers and shows the
  // window. False when the server could not be reached (already reported).
  bool LaunchFeedback(const FeedbackSetup& setup, DiagLog* log);

  void SetUp(const FeedbackSetup& setup) { setup_ = setup; }
  // Checks that the server can be reached, then shows the window (not modal).
  bool Open();

  // The version check with this window's HTTP client and boxes.
  std::optional<uint32_t> CheckForNewerVersion(uint32_t updater_version, const QString& path,
                                               bool quiet, const QString& updater_name);

  // The upload of the form as it stands: kUploadSent, kUploadNotSent or
  // kUploadFailed (with LastError() telling why, when known).
  int32_t Upload();
  const QString& LastError() const { return last_error_; }
  const QString& TypeLabel() const { return type_label_; }

  WebClient& Client() { return client_; }
  void SetDiagLog(DiagLog* log) { log_ = log; }

  // The window's handlers.
  void FormShow();
  void cbFeedbackTypeChange();
  void btnSendFileClick();
  void btnSendClick();
  void FormClose();
  void HTTPWorkBegin(WorkMode mode, qint64 total);
  void HTTPWork(WorkMode mode, qint64 count);
  void HTTPWorkEnd(WorkMode mode);

  // The controls.
  QLineEdit* edName;
  QLineEdit* edCompany;
  QLineEdit* edEmail;
  QLineEdit* edTelephone;
  QComboBox* cbFeedbackType;
  QComboBox* cbRespondVia;
  QLabel* lblDescription;
  QPlainTextEdit* reDescription;
  QPushButton* btnSendFile;
  QLineEdit* edSendFile;
  QCheckBox* chkErrorLog;
  QLineEdit* edEmailTo;
  QProgressBar* pbWeb;
  QPushButton* btnSend;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the close box both end here.
  void reject() override;

 private:
  void BuildControls();
  void LimitDescription();
  void ReadRememberedFields();
  void WriteRememberedFields();
  // The first failed check's message and focus; true when all pass.
  bool CheckFields();
  void Warn(const QString& text, const QString& caption, QWidget* focus);
  void ReportSendFileError(const QString& file_name, const QString& error_text, bool missing);

  std::unique_ptr<WebDesktop> own_desktop_;
  WebDesktop* desktop_;
  WebClient client_;
  DiagLog* log_ = nullptr;

  FeedbackSetup setup_;
  QString software_name_;  // the set-up name, or the application's
  QString remembered_email_to_;
  QString type_label_;
  QString send_file_path_;  // the picked file's full path; its name is in edSendFile
  QString last_error_;
  bool transfer_in_progress_ = false;
  bool uploading_ = false;
};

}  // namespace halv
