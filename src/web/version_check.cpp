#include "web/version_check.h"

#include <QUrl>
#include <cmath>
#include <limits>

#include "web/web_constants.h"

namespace halv {
namespace {

constexpr const char* kLogTag = "HalvBSL frmWeb";
constexpr qsizetype kMaxLinkLength = 999;

QString TrimRight(QString text) {
  qsizetype end = text.size();
  while (end > 0 && text.at(end - 1).isSpace()) --end;
  text.truncate(end);
  return text;
}

// The version text in hundredths, or nothing when it is not a number.
std::optional<uint32_t> ReadVersion(const QString& text) {
  bool whole = false;
  const qlonglong number = text.toLongLong(&whole, 10);
  if (whole && number >= 10) {
    if (number > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return static_cast<uint32_t>(number);
  }
  bool decimal = false;
  double value = text.toDouble(&decimal);
  if (!decimal || !std::isfinite(value)) return std::nullopt;
  if (value < 100) value *= 100;
  const double rounded = std::round(value);
  // A negative version is no version at all.
  if (rounded < 0 || rounded > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  return static_cast<uint32_t>(rounded);
}

bool IsWebAddress(const QString& link) {
  const QUrl url(link, QUrl::StrictMode);
  const QString scheme = url.scheme();
  return url.isValid() && (scheme == "http" || scheme == "https") && !url.host().isEmpty();
}

QString ConnectionMessage(const QString& error_text) {
  QString text = QStringLiteral(
      "Error connecting to QUORRIN Group's version check service.\n"
      "This feature requires your computer to be connected \n"
      "to the internet.\n"
      "\n\nPlease make a connection to the internet and try again.");
  if (!error_text.isEmpty()) text += "\n\nError: " + error_text;
  return text;
}

QString ParseMessage(int32_t code) {
  return QStringLiteral(
             "Error parsing the version information returned by \n"
             "QUORRIN Group's version check service.\n"
             "[error %1]"
             "\n\nPlease try again or contact QUORRIN for help.")
      .arg(code);
}

QString NewVersionQuestion(const VersionAnswer& answer, const QString& updater_name) {
  if (answer.download) {
    return "There is newer version of " + updater_name + " available for download." +
           "\n\nWould you like to download this new version with your web browser now?";
  }
  return "There is information about a newer version of " + updater_name + "\navailable at " +
         answer.link + "\n\nWould you like to visit this page with your web browser now?";
}

void OfferNewVersion(WebDesktop& desktop, const VersionAnswer& answer,
                     const QString& updater_name) {
  if (!desktop.AskYesNo(NewVersionQuestion(answer, updater_name),
                        QStringLiteral("New Version Available"), BoxIcon::kInformation)) {
    return;
  }
  if (desktop.OpenInBrowser(QUrl(answer.link, QUrl::StrictMode))) return;
  desktop.ShowMessage(updater_name + " had trouble launching your web browser.\n" +
                          "Please try manually going to:\n" + answer.link,
                      QStringLiteral("Web Browser Launch Error"), BoxIcon::kWarning);
}

}  // namespace

VersionAnswer ParseVersionAnswer(const QByteArray& answer) {
  VersionAnswer result;
  result.code = kVersionParseError;
  const QString text = QString::fromUtf8(answer);
  const qsizetype at = text.indexOf(QLatin1String("http"));
  if (at < 0) return result;

  const QString link = TrimRight(text.mid(at, kMaxLinkLength));
  // The one character in front of "http" separates the version from the link.
  const QString version_text = at > 0 ? TrimRight(text.left(at - 1)) : QString();
  const std::optional<uint32_t> version = ReadVersion(version_text);
  if (!version || !IsWebAddress(link)) return result;

  result.code = 1;
  result.version = *version;
  result.link = link;
  result.download = link.contains(QLatin1String(".exe"));
  return result;
}

std::optional<uint32_t> CheckForNewerVersion(WebClient& client, WebDesktop& desktop,
                                             const VersionCheckRequest& request, DiagLog* log) {
  if (request.path.isEmpty() || request.updater_version == 0) return std::nullopt;

  client.SetServer(SoftwareServerUrl());
  const WebAnswer reply = client.Get(request.path, WebClient::UserInput::kBlocked);
  if (!reply.ok) {
    LogMessage(log, kLogError, kLogTag, "Version check %s failed [error %d]: %s",
               request.path.toUtf8().constData(), kVersionConnectError,
               reply.error_text.toUtf8().constData());
    if (!request.quiet) {
      desktop.ShowMessage(ConnectionMessage(reply.error_text),
                          QStringLiteral("Version Check Error"), BoxIcon::kError);
    }
    return std::nullopt;
  }

  const VersionAnswer answer = ParseVersionAnswer(reply.body);
  if (answer.code < 0) {
    LogMessage(log, kLogError, kLogTag, "Version check %s: unreadable answer [error %d]",
               request.path.toUtf8().constData(), answer.code);
    if (!request.quiet) {
      desktop.ShowMessage(ParseMessage(answer.code), QStringLiteral("Version Check Error"),
                          BoxIcon::kError);
    }
    return std::nullopt;
  }

  LogMessage(log, kLogNote, kLogTag, "Version check: server has %u, updater carries %u",
             answer.version, request.updater_version);
  if (answer.version > request.updater_version) {
    OfferNewVersion(desktop, answer, request.updater_name);
  } else if (request.quiet) {
    // Nothing to tell after start-up.
  } else if (answer.version == request.updater_version) {
    desktop.ShowMessage("You are using the latest version of " + request.updater_name + ".",
                        QStringLiteral("Version Finder"), BoxIcon::kInformation);
  } else {
    desktop.ShowMessage("You are running a newer version of " + request.updater_name +
                            "\nthan is available from QUORRIN Group's web site.",
                        QStringLiteral("Version Finder"), BoxIcon::kInformation);
  }
  return answer.version;
}

}  // namespace halv
