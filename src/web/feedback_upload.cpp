// The feedback upload: the form's text fields, then the log files and the
// picked file, as one multipart/form-data POST to the feedback script.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <memory>
#include <utility>

#include "web/feedback_form.h"
#include "web/feedback_tables.h"
#include "web/web_constants.h"

namespace halv {
namespace {

constexpr const char* kLogTag = "HalvBSL frmWeb";

// A name inside the quotes of a Content-Disposition header: quotes and line
// breaks are escaped as browsers do, so that a file name cannot end the
// header or add one of its own.
QByteArray QuotedName(const QString& name) {
  QByteArray bytes = name.toUtf8();
  bytes.replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
  return '"' + bytes + '"';
}

QHttpPart TextPart(const char* name, const QString& value) {
  QHttpPart part;
  part.setRawHeader("Content-Disposition", "form-data; name=" + QuotedName(name));
  part.setBody(value.toUtf8());
  return part;
}

// A file part, named by the file's name without its folder.
QHttpPart FilePart(const QString& path, const QByteArray& content) {
  static const QMimeDatabase mime_types;
  const QString name = QFileInfo(path).fileName();
  QHttpPart part;
  part.setRawHeader("Content-Disposition",
                    "form-data; name=" + QuotedName(name) + "; filename=" + QuotedName(name));
  part.setRawHeader(
      "Content-Type",
      mime_types.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toUtf8());
  part.setBody(content);
  return part;
}

struct FileRead {
  bool ok = false;
  bool missing = false;  // the file does not exist (any more)
  QString error_text;
  QByteArray content;
};

// Reads a whole file of at most max_bytes.
FileRead ReadFileToSend(const QString& path, qint64 max_bytes) {
  FileRead read;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    read.missing = !QFileInfo::exists(path);
    read.error_text = file.errorString();
    return read;
  }
  read.content = file.read(max_bytes + 1);
  if (file.error() != QFileDevice::NoError) {
    read.error_text = file.errorString();
  } else if (read.content.size() > max_bytes) {
    read.error_text = QStringLiteral("The file is larger than %1 bytes.").arg(max_bytes);
  } else {
    read.ok = true;
  }
  if (!read.ok) read.content.clear();
  return read;
}

}  // namespace

void frmWeb::ReportSendFileError(const QString& file_name, const QString& error_text,
                                 bool missing) {
  const QString start = "Error sending the file \"" + file_name + "\". ";
  QString text;
  if (missing || error_text.contains(QLatin1String("cannot find the file"))) {
    text = start + "\nThe file is empty or can't be found on the system." +
           "\n\nPlease check your file name and try again.";
  } else if (error_text.contains(QLatin1String("used by another process"))) {
    text = start + "\nThe file is open and in use with another application." +
           "\n\nPlease close the file and try again.";
  } else {
    text = start + "\n\nPlease try again.";
    if (!error_text.isEmpty()) text += "\n\nError: " + error_text;
  }
  desktop_->ShowMessage(text, QStringLiteral("Error Reading File"), BoxIcon::kError);
}

int32_t frmWeb::Upload() {
  last_error_.clear();
  auto body = std::make_unique<QHttpMultiPart>(QHttpMultiPart::FormDataType);

  const QString email_to =
      edEmailTo->text().isEmpty() ? setup_.default_recipient : edEmailTo->text();
  const QString respond_via = cbRespondVia->currentIndex() >= 0
                                  ? cbRespondVia->currentText()
                                  : QStringLiteral("Unknown RespondVia");
  // The text fields in the order the feedback script reads them.
  const std::pair<const char*, QString> fields[] = {
      {"EmailTo", email_to},
      {"EmailSubject", software_name_ + " " + type_label_},
      {"Name", edName->text()},
      {"Company Name", edCompany->text()},
      {"Email", edEmail->text()},
      {"Telephone", edTelephone->text()},
      {"Respond Via", respond_via},
      {"Registered Name", setup_.registered_name},
      {"Registered Company", setup_.registered_company},
      {"Software Version", software_name_ + " version " + setup_.version_line},
      {"Installation Path", QCoreApplication::applicationFilePath()},
      {"Feedback", reDescription->toPlainText()},
  };
  for (const auto& [name, value] : fields) body->append(TextPart(name, value));

  for (const QString& log_file : setup_.log_files) {
    if (log_file.isEmpty()) continue;
    const FileRead read = ReadFileToSend(log_file, kMaxSendFileBytes);
    if (!read.ok) {
      // The feedback goes without it; the user is not troubled.
      LogMessage(log_, kLogNote, kLogTag, "Log file %s left out of the feedback: %s",
                 log_file.toUtf8().constData(), read.error_text.toUtf8().constData());
      continue;
    }
    body->append(FilePart(log_file, read.content));
  }

  if (!edSendFile->text().isEmpty()) {
    const FileRead read = ReadFileToSend(send_file_path_, kMaxSendFileBytes);
    if (!read.ok) {
      ReportSendFileError(edSendFile->text(), read.error_text, read.missing);
      return kUploadNotSent;
    }
    body->append(FilePart(send_file_path_, read.content));
  }

  client_.SetServer(SoftwareServerUrl());
  uploading_ = true;
  const WebAnswer reply = client_.Post(QString::fromLatin1(kFeedbackPath), std::move(body),
                                       WebClient::UserInput::kAllowed);
  uploading_ = false;
  if (!reply.ok) {
    last_error_ = reply.error_text;
    LogMessage(log_, kLogError, kLogTag, "Feedback upload failed: %s",
               last_error_.toUtf8().constData());
    return kUploadFailed;
  }
  if (!reply.body.contains(kScriptCompleted)) {
    LogMessage(log_, kLogError, kLogTag, "Feedback upload: the script did not complete");
    return kUploadFailed;
  }
  LogMessage(log_, kLogNote, kLogTag, "Feedback sent");
  return kUploadSent;
}

}  // namespace halv
