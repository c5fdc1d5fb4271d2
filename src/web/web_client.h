// The HTTP client of the web services: one request at a time to the software
// server, waited for in a local event loop so that the window stays painted,
// with a time limit on silence so that a server that never answers cannot
// hang the window. Cookies are kept and redirects followed.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>

class QHttpMultiPart;
class QNetworkReply;

namespace halv {

// Which way a transfer goes, for the progress events.
enum class WorkMode { kReceiving, kSending };

struct WebAnswer {
  bool ok = false;
  QByteArray body;     // the answer's content (empty when it was discarded)
  QString error_text;  // why the request failed; empty on success
};

class WebClient : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDefaultTimeLimitMs = 20000;
  // An answer longer than this is refused: nothing the updater asks for is
  // anywhere near as long.
  static constexpr qsizetype kMaxAnswerBytes = 1 << 20;

  // Whether the user can work the windows while a request runs. Blocked
  // requests still keep the windows painted.
  enum class UserInput { kBlocked, kAllowed };

  explicit WebClient(QObject* parent = nullptr);

  // The server the next requests go to ("http://host[:port]").
  void SetServer(const QUrl& server) { server_ = server; }
  const QUrl& Server() const { return server_; }

  // How long the server may stay silent (nothing sent, nothing received)
  // before the request is given up.
  void SetTimeLimitMs(int ms) { time_limit_ms_ = ms > 0 ? ms : kDefaultTimeLimitMs; }
  int TimeLimitMs() const { return time_limit_ms_; }

  // GET of a path on the server; with keep_body false the answer is read and
  // dropped (a reachability check).
  WebAnswer Get(const QString& path, UserInput input, bool keep_body = true);
  // POST of a multipart body. The body goes with the request and is deleted
  // with it: the network code may still hold it when the request ends.
  WebAnswer Post(const QString& path, std::unique_ptr<QHttpMultiPart> body, UserInput input);

  bool Busy() const { return !reply_.isNull(); }
  // Ends the request in flight, if any; it then fails with "cancelled".
  void CloseConnection();

 signals:
  // Progress of the request in flight. WorkBegin(kSending) comes once when the
  // body starts to go out, WorkEnd(kSending) once when it is out or the
  // request ended; WorkEnd(kReceiving) ends every request.
  void WorkBegin(halv::WorkMode mode, qint64 total);
  void Work(halv::WorkMode mode, qint64 count);
  void WorkEnd(halv::WorkMode mode);

 private:
  bool CheckCanStart(WebAnswer* answer) const;
  QNetworkRequest MakeRequest(const QString& path) const;
  WebAnswer Wait(QNetworkReply* reply, UserInput input, bool keep_body);

  QNetworkAccessManager manager_;
  QUrl server_;
  int time_limit_ms_ = kDefaultTimeLimitMs;
  QPointer<QNetworkReply> reply_;
};

}  // namespace halv
