#include "platform/control_socket.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

namespace dovevid::platform {

namespace {

// More clients than a till ever has; the rest are turned away at once.
constexpr int kMaxConnections = 16;

class QtControlServer : public ControlServer {
 public:
  explicit QtControlServer(Handler handler) : handler_(std::move(handler)) {}

  bool Listen(const std::string& path, std::string* error) {
    QLocalServer::removeServer(QString::fromStdString(path));
    server_.setSocketOptions(QLocalServer::UserAccessOption | QLocalServer::GroupAccessOption);
    if (!server_.listen(QString::fromStdString(path))) {
      *error = path + ": " + server_.errorString().toStdString();
      return false;
    }
    QObject::connect(&server_, &QLocalServer::newConnection, [this] { Accept(); });
    return true;
  }

 private:
  void Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      if (++connections_ > kMaxConnections) {
        Finish(socket, {1, "", "dovevid: the server is busy with other commands\n"});
      } else {
        Watch(socket);
      }
      QObject::connect(socket, &QObject::destroyed, &server_, [this] { --connections_; });
    }
  }

  void Watch(QLocalSocket* socket) {
    auto buffer = std::make_shared<std::string>();
    auto timer = new QTimer(socket);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, socket, [socket] { socket->abort(); });
    timer->start(kControlRequestTimeoutMs);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer, timer] {
      const QByteArray bytes = socket->readAll();
      if (!timer->isActive()) return;  // the request is complete: ignore the rest
      buffer->append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
      std::vector<std::string> request;
      switch (job::DecodeControlMessage(*buffer, &request)) {
        case job::DecodeOutcome::kNeedMore: return;
        case job::DecodeOutcome::kInvalid:
          timer->stop();
          Finish(socket, {2, "", "dovevid: not a control request\n"});
          return;
        case job::DecodeOutcome::kComplete: break;
      }
      timer->stop();
      buffer->clear();
      QPointer<QLocalSocket> alive(socket);
      handler_(std::move(request), [alive](const job::ControlReply& reply) {
        if (alive) Finish(alive, reply);
      });
    });
  }

  static void Finish(QLocalSocket* socket, const job::ControlReply& reply) {
    const std::string bytes = job::EncodeControlReply(reply);
    socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket->disconnectFromServer();  // after the reply is written
  }

  Handler handler_;
  QLocalServer server_;
  int connections_ = 0;
};

}  // namespace

std::unique_ptr<ControlServer> ControlServer::Listen(const std::string& path, Handler handler,
                                                     std::string* error) {
  auto server = std::make_unique<QtControlServer>(std::move(handler));
  if (!server->Listen(path, error)) return nullptr;
  return server;
}

CallOutcome CallServer(const std::string& path, const std::vector<std::string>& request,
                       int timeout_ms, job::ControlReply* reply, std::string* error) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(path));
  if (!socket.waitForConnected(2000)) {
    const auto e = socket.error();
    if (e == QLocalSocket::ServerNotFoundError || e == QLocalSocket::ConnectionRefusedError) {
      return CallOutcome::kNoServer;
    }
    *error = path + ": " + socket.errorString().toStdString();
    return CallOutcome::kFailed;
  }
  const std::string bytes = job::EncodeControlMessage(request);
  socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
  std::string buffer;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeout_ms) {
    const bool more = socket.bytesAvailable() > 0 ||
                      socket.waitForReadyRead(static_cast<int>(timeout_ms - clock.elapsed()));
    const QByteArray got = socket.readAll();
    buffer.append(got.constData(), static_cast<std::size_t>(got.size()));
    std::vector<std::string> fields;
    const job::DecodeOutcome o = job::DecodeControlMessage(buffer, &fields);
    if (o == job::DecodeOutcome::kComplete && job::DecodeControlReply(fields, reply)) {
      return CallOutcome::kReplied;
    }
    if (o == job::DecodeOutcome::kInvalid) break;
    if (!more && socket.state() != QLocalSocket::ConnectedState) break;
  }
  *error = clock.elapsed() >= timeout_ms
               ? "no reply from the server within " + std::to_string(timeout_ms / 1000) + " s"
               : "the server closed the connection without a complete reply";
  return CallOutcome::kFailed;
}

}  // namespace dovevid::platform
