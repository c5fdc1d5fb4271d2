#include "web/web_client.h"

#include <QEventLoop>
#include <QHttpMultiPart>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QTimer>

namespace halv {
namespace {

// The headers every request of the updater carries, as the server expects them.
constexpr const char* kAccept = "text/html, */*";
constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
constexpr int kMaxRedirects = 10;

}  // namespace

WebClient::WebClient(QObject* parent) : QObject(parent) {
  manager_.setCookieJar(new QNetworkCookieJar(&manager_));
  manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

bool WebClient::CheckCanStart(WebAnswer* answer) const {
  if (Busy()) {
    answer->error_text = QStringLiteral("Another request to the server is still running.");
    return false;
  }
  if (!server_.isValid() || server_.host().isEmpty()) {
    answer->error_text = QStringLiteral(
        "The server address is not valid (HALVBSL_SERVER must name a host and "
        "an optional port).");
    return false;
  }
  return true;
}

QNetworkRequest WebClient::MakeRequest(const QString& path) const {
  QUrl url = server_;
  url.setPath(path);
  QNetworkRequest request(url);
  request.setRawHeader("Accept", kAccept);
  request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  return request;
}

WebAnswer WebClient::Get(const QString& path, UserInput input, bool keep_body) {
  WebAnswer answer;
  if (!CheckCanStart(&answer)) return answer;
  return Wait(manager_.get(MakeRequest(path)), input, keep_body);
}

WebAnswer WebClient::Post(const QString& path, std::unique_ptr<QHttpMultiPart> body,
                          UserInput input) {
  WebAnswer answer;
  if (!CheckCanStart(&answer)) return answer;
  QNetworkReply* reply = manager_.post(MakeRequest(path), body.get());
  body.release()->setParent(reply);
  return Wait(reply, input, true);
}

void WebClient::CloseConnection() {
  if (reply_) reply_->abort();
}

WebAnswer WebClient::Wait(QNetworkReply* reply, UserInput input, bool keep_body) {
  reply_ = reply;
  WebAnswer answer;
  bool timed_out = false;
  bool too_long = false;
  bool send_begun = false;
  bool send_ended = false;

  // Every connection below ends with this function: the lambdas hold locals.
  QObject scope;
  QEventLoop loop;
  QTimer silence;
  silence.setSingleShot(true);
  silence.setInterval(time_limit_ms_);
  connect(&silence, &QTimer::timeout, &scope, [&] {
    timed_out = true;
    reply->abort();
  });
  connect(reply, &QNetworkReply::uploadProgress, &scope, [&](qint64 sent, qint64 total) {
    silence.start();
    if (total <= 0 || send_ended) return;  // nothing to send, or already sent
    if (!send_begun) {
      send_begun = true;
      emit WorkBegin(WorkMode::kSending, total);
    }
    emit Work(WorkMode::kSending, sent);
    if (sent >= total) {
      send_ended = true;
      emit WorkEnd(WorkMode::kSending);
    }
  });
  connect(reply, &QNetworkReply::downloadProgress, &scope, [&](qint64 received, qint64) {
    silence.start();
    emit Work(WorkMode::kReceiving, received);
  });
  connect(reply, &QNetworkReply::readyRead, &scope, [&] {
    const QByteArray chunk = reply->readAll();
    if (!keep_body) return;
    if (answer.body.size() + chunk.size() > kMaxAnswerBytes) {
      too_long = true;
      reply->abort();
      return;
    }
    answer.body += chunk;
  });
  connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

  silence.start();
  if (!reply->isFinished()) {
    loop.exec(input == UserInput::kBlocked ? QEventLoop::ExcludeUserInputEvents
                                           : QEventLoop::AllEvents);
  }
  silence.stop();
  // The loop also ends when the application quits: a request that has not
  // finished by then has failed, whatever arrived of it.
  const bool interrupted = !reply->isFinished();
  if (interrupted) reply->abort();

  if (send_begun && !send_ended) emit WorkEnd(WorkMode::kSending);
  if (reply->error() == QNetworkReply::NoError && !too_long && !interrupted) {
    const QByteArray rest = reply->readAll();
    if (keep_body && answer.body.size() + rest.size() > kMaxAnswerBytes) {
      too_long = true;
    } else if (keep_body) {
      answer.body += rest;
    }
    answer.ok = !too_long;
  }
  if (timed_out) {
    answer.error_text =
        QStringLiteral("The server did not answer within %1 ms.").arg(time_limit_ms_);
  } else if (interrupted) {
    answer.error_text = QStringLiteral("The request was interrupted: the program is closing.");
  } else if (too_long) {
    answer.error_text =
        QStringLiteral("The server's answer is longer than %1 bytes.").arg(kMaxAnswerBytes);
  } else if (!answer.ok) {
    answer.error_text = reply->errorString();
  }
  reply_.clear();
  reply->deleteLater();
  emit WorkEnd(WorkMode::kReceiving);
  return answer;
}

}  // namespace halv
