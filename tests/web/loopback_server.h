// A small HTTP server on 127.0.0.1 for the web tests: it reads each request
// (request line, headers, a body of Content-Length bytes), hands it to the
// test's handler and sends what the handler returns, or closes the
// connection, or stays silent. It never answers more than a bounded number of
// requests.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

namespace halv::test {

struct HttpRequest {
  QByteArray request_line;  // "GET /path HTTP/1.1"
  QList<QPair<QByteArray, QByteArray>> headers;
  QByteArray body;

  // The value of a header (names compare without regard to case).
  QByteArray Header(const QByteArray& name) const;
};

struct HttpAnswer {
  enum class Kind { kSend, kClose, kSilent };
  Kind kind = Kind::kSend;
  QByteArray raw;  // the whole answer, status line to body

  static HttpAnswer Ok(const QByteArray& body);
  static HttpAnswer Status(int code, const QByteArray& reason, const QByteArray& body = {});
  static HttpAnswer Redirect(const QByteArray& location);
  static HttpAnswer Raw(const QByteArray& raw) { return {Kind::kSend, raw}; }
  static HttpAnswer Close() { return {Kind::kClose, {}}; }
  static HttpAnswer Silent() { return {Kind::kSilent, {}}; }
};

class LoopbackServer : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<HttpAnswer(const HttpRequest&)>;
  explicit LoopbackServer(Handler handler, int max_requests = 16);

  // "127.0.0.1:port", the value for HALVBSL_SERVER.
  QString HostAndPort() const;
  const QList<HttpRequest>& Requests() const { return requests_; }
  // Called whenever request bytes arrive, with the count so far on that connection.
  std::function<void(qint64)> on_bytes;
  // Stops listening, so that connections are refused from then on.
  void StopListening() { server_.close(); }

 private:
  void Accept();
  void Read(QTcpSocket* socket);

  QTcpServer server_;
  Handler handler_;
  int max_requests_;
  QList<HttpRequest> requests_;
};

// Points HALVBSL_SERVER at a value for the length of a scope.
class ScopedServerVariable {
 public:
  explicit ScopedServerVariable(const QString& value);
  ~ScopedServerVariable();

 private:
  QByteArray previous_;
  bool had_previous_;
};

}  // namespace halv::test
