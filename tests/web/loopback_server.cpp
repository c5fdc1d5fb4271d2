#include "web/loopback_server.h"

#include <QTcpSocket>

namespace halv::test {

QByteArray HttpRequest::Header(const QByteArray& name) const {
  for (const auto& [key, value] : headers) {
    if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
  }
  return {};
}

HttpAnswer HttpAnswer::Status(int code, const QByteArray& reason, const QByteArray& body) {
  return Raw("HTTP/1.1 " + QByteArray::number(code) + " " + reason +
             "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
             QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

HttpAnswer HttpAnswer::Ok(const QByteArray& body) {
  return Status(200, "OK", body);
}

HttpAnswer HttpAnswer::Redirect(const QByteArray& location) {
  return Raw("HTTP/1.1 302 Found\r\nLocation: " + location +
             "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
}

LoopbackServer::LoopbackServer(Handler handler, int max_requests)
    : handler_(std::move(handler)), max_requests_(max_requests) {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, &LoopbackServer::Accept);
}

QString LoopbackServer::HostAndPort() const {
  return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort());
}

void LoopbackServer::Accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    socket->setParent(this);
    socket->setProperty("buffer", QByteArray());
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  }
}

void LoopbackServer::Read(QTcpSocket* socket) {
  QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
  socket->setProperty("buffer", buffer);
  if (on_bytes) on_bytes(buffer.size());

  const qsizetype head_end = buffer.indexOf("\r\n\r\n");
  if (head_end < 0) return;
  HttpRequest request;
  const QList<QByteArray> lines = buffer.left(head_end).split('\n');
  request.request_line = lines.value(0).trimmed();
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0) {
      request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
  }
  const qsizetype length = request.Header("Content-Length").toLongLong();
  if (buffer.size() - (head_end + 4) < length) return;  // the body is still coming
  request.body = buffer.mid(head_end + 4, length);
  socket->setProperty("buffer", buffer.mid(head_end + 4 + length));

  if (requests_.size() >= max_requests_) {
    socket->abort();
    return;
  }
  requests_.append(request);
  const HttpAnswer answer = handler_(request);
  if (answer.kind == HttpAnswer::Kind::kSilent) return;
  if (answer.kind == HttpAnswer::Kind::kSend) socket->write(answer.raw);
  socket->disconnectFromHost();
}

ScopedServerVariable::ScopedServerVariable(const QString& value)
    : previous_(qgetenv("HALVBSL_SERVER")),
      had_previous_(qEnvironmentVariableIsSet("HALVBSL_SERVER")) {
  qputenv("HALVBSL_SERVER", value.toUtf8());
}

ScopedServerVariable::~ScopedServerVariable() {
  if (had_previous_) {
    qputenv("HALVBSL_SERVER", previous_);
  } else {
    qunsetenv("HALVBSL_SERVER");
  }
}

}  // namespace halv::test
