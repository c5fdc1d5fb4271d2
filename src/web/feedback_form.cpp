#include "web/feedback_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShowEvent>
#include <QTextCursor>
#include <QVBoxLayout>

#include "web/feedback_tables.h"
#include "web/version_check.h"
#include "web/web_constants.h"

namespace halv {
namespace {

// The remembered fields live in the per-user settings store.
constexpr const char* kSettingsOrganisation = "Halvard Devices, Inc";
constexpr const char* kSettingsApplication = "FeedbackForm";

// Qt reads the pattern out of the parentheses; "*" takes every file, with or
// without an extension.
constexpr const char* kAnyFileFilter = "Any File Type (*)";

}  // namespace

frmWeb::frmWeb(QWidget* parent, WebDesktop* desktop) : QDialog(parent), desktop_(desktop) {
  if (desktop_ == nullptr) {
    own_desktop_ = std::make_unique<QtWebDesktop>(parent != nullptr ? parent : this);
    desktop_ = own_desktop_.get();
  }
  BuildControls();
  connect(&client_, &WebClient::WorkBegin, this, &frmWeb::HTTPWorkBegin);
  connect(&client_, &WebClient::Work, this, &frmWeb::HTTPWork);
  connect(&client_, &WebClient::WorkEnd, this, &frmWeb::HTTPWorkEnd);
}

frmWeb::~frmWeb() = default;

void frmWeb::BuildControls() {
  setWindowTitle(QStringLiteral("Send Feedback to QUORRIN"));
  edName = new QLineEdit(this);
  edCompany = new QLineEdit(this);
  edEmail = new QLineEdit(this);
  edTelephone = new QLineEdit(this);
  cbFeedbackType = new QComboBox(this);
  cbFeedbackType->addItems(FeedbackTypeEntries());
  cbRespondVia = new QComboBox(this);
  cbRespondVia->addItems(RespondViaEntries());
  lblDescription = new QLabel(this);
  reDescription = new QPlainTextEdit(this);
  btnSendFile = new QPushButton(QStringLiteral("..."), this);
  btnSendFile->setToolTip(QStringLiteral("Click this button to find the file you want to send."));
  btnSendFile->setMaximumWidth(btnSendFile->fontMetrics().horizontalAdvance("....") + 16);
  edSendFile = new QLineEdit(this);
  edSendFile->setReadOnly(true);
  edSendFile->hide();
  chkErrorLog = new QCheckBox(this);
  chkErrorLog->hide();
  edEmailTo = new QLineEdit(this);
  pbWeb = new QProgressBar(this);
  pbWeb->hide();
  btnSend = new QPushButton(QStringLiteral("Send"), this);
  btnSend->setDefault(true);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Name (required)"), edName);
  fields->addRow(QStringLiteral("Company Name"), edCompany);
  fields->addRow(QStringLiteral("Email Address"), edEmail);
  fields->addRow(QStringLiteral("Telephone (include area code)"), edTelephone);
  fields->addRow(QStringLiteral("Feedback Type"), cbFeedbackType);
  fields->addRow(QStringLiteral("Respond Via"), cbRespondVia);

  auto* file_row = new QHBoxLayout;
  file_row->addWidget(btnSendFile);
  file_row->addWidget(edSendFile, 1);
  file_row->addWidget(chkErrorLog);
  file_row->addStretch();

  auto* send_row = new QHBoxLayout;
  send_row->addWidget(pbWeb, 1);
  send_row->addStretch();
  send_row->addWidget(btnSend);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(lblDescription);
  layout->addWidget(reDescription);
  layout->addLayout(file_row);
  layout->addWidget(new QLabel(
      QStringLiteral("Send the feedback to my QUORRIN Representative's email address:"), this));
  layout->addWidget(edEmailTo);
  layout->addLayout(send_row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(cbFeedbackType, &QComboBox::currentIndexChanged, this, &frmWeb::cbFeedbackTypeChange);
  connect(reDescription, &QPlainTextEdit::textChanged, this, &frmWeb::LimitDescription);
  connect(btnSendFile, &QPushButton::clicked, this, &frmWeb::btnSendFileClick);
  connect(btnSend, &QPushButton::clicked, this, &frmWeb::btnSendClick);
}

void frmWeb::LimitDescription() {
  if (reDescription->document()->characterCount() - 1 <= kMaxDescriptionChars) return;
  QTextCursor cursor(reDescription->document());
  cursor.setPosition(kMaxDescriptionChars);
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

bool frmWeb::LaunchFeedback(const FeedbackSetup& setup, DiagLog* log) {
  SetUp(setup);
  log_ = log;
  if (log != nullptr && LogSize(log) > 0) {
    if (!LogKeepLast(log, kLogBytesSent)) {
      LogMessage(log, kLogError, setup.software_name.toUtf8().constData(),
                 "Could not trim the error file before sending it");
    }
  } else {
    LogMessage(log, kLogNote, setup.software_name.toUtf8().constData(),
               "Launching web feedback with an empty error file.");
  }
  return Open();
}

bool frmWeb::Open() {
  client_.SetServer(SoftwareServerUrl());
  const WebAnswer reply = client_.Get(QStringLiteral("/"), WebClient::UserInput::kBlocked, false);
  if (!reply.ok) {
    QString text = QStringLiteral(
                       "Error connecting to QUORRIN Group's customer feedback internet service.\n\n"
                       "This feature requires your computer to be connected to the internet\n"
                       "and be able to contact QUORRIN Group's Web Site (") +
                   kMakerWebSite + ")." +
                   "\n\nPlease make a connection to the internet and try again.";
    if (!reply.error_text.isEmpty()) text += "\n\nError: " + reply.error_text;
    LogMessage(log_, kLogError, "HalvBSL frmWeb", "Feedback server not reached: %s",
               reply.error_text.toUtf8().constData());
    desktop_->ShowMessage(text, QStringLiteral("Internet Access Error"), BoxIcon::kError);
    return false;
  }
  show();
  raise();
  activateWindow();
  return true;
}

std::optional<uint32_t> frmWeb::CheckForNewerVersion(uint32_t updater_version, const QString& path,
                                                     bool quiet, const QString& updater_name) {
  const VersionCheckRequest request{updater_version, path, quiet, updater_name};
  return halv::CheckForNewerVersion(client_, *desktop_, request, log_);
}

void frmWeb::showEvent(QShowEvent* event) {
  // Un-minimising is a spontaneous show and must not clear what was typed.
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void frmWeb::reject() {
  FormClose();
  QDialog::reject();
}

void frmWeb::ReadRememberedFields() {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  edName->setText(settings.value("Name").toString());
  edCompany->setText(settings.value("Company").toString());
  edTelephone->setText(settings.value("Phone").toString());
  edEmail->setText(settings.value("Email").toString());
  remembered_email_to_ = settings.value("EmailTo").toString();
}

void frmWeb::WriteRememberedFields() {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  settings.setValue("Name", edName->text());
  settings.setValue("Company", edCompany->text());
  settings.setValue("Phone", edTelephone->text());
  settings.setValue("Email", edEmail->text());
  settings.setValue("EmailTo", edEmailTo->text());
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    LogMessage(log_, kLogError, "HalvBSL frmWeb", "Could not remember the feedback fields in %s",
               settings.fileName().toUtf8().constData());
  }
}

void frmWeb::FormShow() {
  ReadRememberedFields();
  if (!setup_.registered_name.isEmpty()) edName->setText(setup_.registered_name);
  if (!setup_.registered_company.isEmpty()) edCompany->setText(setup_.registered_company);
  software_name_ =
      setup_.software_name.isEmpty() ? QCoreApplication::applicationName() : setup_.software_name;
  chkErrorLog->setText("Include " + software_name_ + " error log files");
  edEmailTo->setText(remembered_email_to_);
  edSendFile->clear();
  send_file_path_.clear();
  reDescription->clear();
  cbRespondVia->setCurrentIndex(kRespondViaEmail);
  cbFeedbackType->setCurrentIndex(0);
  cbFeedbackTypeChange();
  pbWeb->hide();
  transfer_in_progress_ = false;
}

void frmWeb::cbFeedbackTypeChange() {
  const FeedbackTypeRow& row = FeedbackTypeFor(cbFeedbackType->currentIndex());
  type_label_ = row.type_label;
  lblDescription->setText(row.prompt);
  chkErrorLog->setChecked(row.check_error_log);
}

void frmWeb::btnSendFileClick() {
  edSendFile->clear();
  send_file_path_.clear();
  const QString path = desktop_->PickFile(QStringLiteral("Send File with Feedback"),
                                          setup_.install_folder, kAnyFileFilter);
  if (path.isEmpty()) return;

  const QString name = QFileInfo(path).fileName();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ReportSendFileError(name, file.errorString(), !QFileInfo::exists(path));
    return;
  }
  const qint64 size = file.size();
  if (size > kMaxSendFileBytes) {
    desktop_->ShowMessage("The file \"" + name + "\" is too big.\n\n" +
                              "The maximum file size you can send with your feedback\n" +
                              "is 6 megabytes (this file is " +
                              QString::number(size / 1048576.0, 'f', 1) + " MB)." +
                              "\n\nPlease choose a different file to send.",
                          QStringLiteral("File Size Error"), BoxIcon::kError);
    return;
  }
  edSendFile->setText(name);
  send_file_path_ = path;
}

void frmWeb::Warn(const QString& text, const QString& caption, QWidget* focus) {
  desktop_->ShowMessage(text, caption, BoxIcon::kWarning);
  focus->setFocus();
}

bool frmWeb::CheckFields() {
  if (edName->text().isEmpty()) {
    Warn(QStringLiteral("Please enter your name in the name field"),
         QStringLiteral("Missing Information"), edName);
    return false;
  }
  if (edEmail->text().isEmpty() && edTelephone->text().isEmpty() &&
      cbRespondVia->currentText() != kNoResponseNecessary) {
    Warn(QStringLiteral("Please enter your phone number or email address so QUORRIN Group "
                        "can respond to your feedback."),
         QStringLiteral("Missing Information"), edTelephone);
    return false;
  }
  if (!edEmailTo->text().isEmpty() && !edEmailTo->text().contains('@')) {
    Warn(QStringLiteral("The email address you entered for your QUORRIN Group\n"
                        "Representative isn't complete.\n\n"
                        "Please enter a complete email address including\n"
                        "the '@' symbol and domain name."),
         QStringLiteral("Bad Email Address"), edEmailTo);
    return false;
  }
  const QString email = edEmail->text();
  if (!email.isEmpty() && (!email.contains('@') || email.contains(' '))) {
    QString text = QStringLiteral(
        "The email address you entered doesn't seem to be correct.\n\n"
        "Please enter a complete email address including\n"
        "the '@' symbol and domain name.");
    if (email.contains(' ')) text += "\n\nPlease remove any space characters in the email address.";
    Warn(text, QStringLiteral("Bad Email Address"), edEmail);
    return false;
  }
  return true;
}

void frmWeb::btnSendClick() {
  if (!CheckFields()) return;

  btnSend->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  WriteRememberedFields();
  const int32_t result = Upload();
  btnSend->setEnabled(true);
  QApplication::restoreOverrideCursor();

  if (result == kUploadSent) {
    hide();
    QCoreApplication::processEvents();
    desktop_->ShowMessage("Thank you for submitting your " + type_label_ + ".",
                          QStringLiteral("Feedback Successfully Sent"), BoxIcon::kInformation);
    close();
  } else if (result == kUploadFailed && isVisible()) {
    QString text = "There was an error trying to send your " + type_label_ +
                   " to QUORRIN Group.\n\nPlease try again.";
    if (!last_error_.isEmpty()) text += "\n\nError: " + last_error_;
    desktop_->ShowMessage(text, QStringLiteral("Error Sending Feedback"), BoxIcon::kWarning);
  }
}

void frmWeb::FormClose() {
  // Closing the window during an upload ends it; the hidden window then
  // reports nothing.
  if (uploading_ || transfer_in_progress_) client_.CloseConnection();
}

void frmWeb::HTTPWorkBegin(WorkMode mode, qint64 total) {
  if (mode != WorkMode::kSending) return;
  if (total > kProgressShownAbove) pbWeb->show();
  pbWeb->setRange(0, static_cast<int>(qMin<qint64>(total, INT_MAX)));
  transfer_in_progress_ = true;
}

void frmWeb::HTTPWork(WorkMode mode, qint64 count) {
  // The request's own event loop keeps the window responsive meanwhile.
  if (mode == WorkMode::kSending) pbWeb->setValue(static_cast<int>(qMin<qint64>(count, INT_MAX)));
}

void frmWeb::HTTPWorkEnd(WorkMode mode) {
  if (mode == WorkMode::kSending) pbWeb->hide();
  transfer_in_progress_ = false;
}

}  // namespace halv
