#include "app/single_instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>

namespace morvane {
namespace {

namespace wire = open_request_wire;

// Longest path a socket address holds (sun_path is 108 bytes), less room
// for the private folder Qt binds in before it renames the socket.
constexpr qsizetype kMaxSocketPath = 96;
constexpr int kMaxConnections = 16;
constexpr qint64 kReadChunk = 64 * 1024;

QString sanitized(const QString& text) {
  QString out;
  for (const QChar c : text.left(48)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_';
    out += plain ? c : QChar('_');
  }
  return out;
}

QString displayKey(const SessionPlace& place) {
  if (!place.waylandDisplay.isEmpty()) return sanitized(place.waylandDisplay);
  if (place.x11Display.isEmpty()) return QStringLiteral("none");
  // ":0" and ":0.0" are one display: the screen number goes.
  static const QRegularExpression screen(QStringLiteral(R"((:\d+)\.\d+$)"));
  QString display = place.x11Display;
  display.replace(screen, QStringLiteral("\\1"));
  return 'x' + sanitized(display);
}

bool fitsSocketAddress(const QString& path) {
  return QFile::encodeName(path).size() <= kMaxSocketPath;
}

// Connections only from processes of this user (the folder and the
// socket's mode keep others out already).
bool fromThisUser(const QLocalSocket& socket) {
#ifdef SO_PEERCRED
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                 &size) != 0) {
    return false;
  }
  return peer.uid == geteuid();
#else
  (void)socket;
  return true;
#endif
}

}  // namespace

SessionPlace SessionPlace::current() {
  return {qEnvironmentVariable("XDG_RUNTIME_DIR"), qEnvironmentVariable("WAYLAND_DISPLAY"),
          qEnvironmentVariable("DISPLAY"), static_cast<unsigned>(geteuid()), QDir::tempPath()};
}

QString socketPathFor(const SessionPlace& place) {
  const QString name = QStringLiteral("morvane.") + displayKey(place) + QStringLiteral(".socket");
  if (!place.runtimeDir.isEmpty() && QDir::isAbsolutePath(place.runtimeDir)) {
    const QString path = QDir::cleanPath(place.runtimeDir) + '/' + name;
    if (fitsSocketAddress(path)) return path;
  }
  return QDir::cleanPath(place.tempDir) + QStringLiteral("/morvane-%1/").arg(place.uid) + name;
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : SingleInstance(std::move(socketPath), Timeouts{}, parent) {}

SingleInstance::SingleInstance(QString socketPath, Timeouts timeouts, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)), timeouts_(timeouts) {}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();  // removes the socket file
}

bool SingleInstance::listening() const { return server_ != nullptr && server_->isListening(); }

// The socket's folder must be this user's alone: made with mode 0700 when
// missing, refused when someone else owns it or others may enter it.
QString SingleInstance::preparePrivateFolder() const {
  const QString folder = QFileInfo(socketPath_).absolutePath();
  const QByteArray encoded = QFile::encodeName(folder);
  if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) {
    return QStringLiteral("cannot make %1: %2")
        .arg(folder, QString::fromLocal8Bit(strerror(errno)));
  }
  struct stat st {};
  if (::lstat(encoded.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
      (st.st_mode & 077) != 0) {
    return QStringLiteral("%1 is not a folder of this user's alone").arg(folder);
  }
  if (!fitsSocketAddress(socketPath_)) {
    return QStringLiteral("%1 is too long for a socket").arg(socketPath_);
  }
  return {};
}

SingleInstance::Result SingleInstance::start(const OpenRequest& request) {
  if (QString problem = preparePrivateFolder(); !problem.isEmpty()) return {Role::alone, problem};
  const QByteArray frame = wire::encodeRequest(request);
  if (frame.size() > wire::kFrameHeader + qint64{wire::kMaxPayload}) {
    return {Role::alone, QStringLiteral("too many files to hand to the running Morvane")};
  }
  // A running instance may quit as the request arrives: the connection
  // then ends unanswered, and the second try finds no one and listens.
  for (int attempt = 0; attempt < 2; ++attempt) {
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    // Without the lock (an unwritable folder) going on is still right
    // but for two starts in the same instant.
    (void)lock.tryLock(static_cast<int>(timeouts_.lock.count()));
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(static_cast<int>(timeouts_.connect.count()))) {
      // Nobody answers (no socket, or one a crashed instance left): with
      // the lock held no one else can be listening by now.
      return listen();
    }
    lock.unlock();
    if (std::optional<Result> result = handOver(socket, frame)) return *result;
  }
  return {Role::alone, QStringLiteral("the running Morvane closed the connection")};
}

std::optional<SingleInstance::Result> SingleInstance::handOver(QLocalSocket& socket,
                                                               const QByteArray& frame) {
  QByteArray reply;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
    reply += socket.read(wire::kReplySize - reply.size());
    if (reply.size() >= wire::kReplySize) loop.quit();
  });
  connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
  socket.write(frame);
  deadline.start(timeouts_.reply);
  loop.exec();
  if (socket.isReadable()) reply += socket.read(wire::kReplySize - reply.size());
  if (reply.isEmpty()) {
    if (deadline.isActive()) return std::nullopt;  // closed without a word
    return Result{Role::alone, QStringLiteral("the running Morvane does not answer")};
  }
  switch (wire::decodeReply(reply)) {
    case wire::Status::accepted:
      return Result{Role::handedOver, {}};
    case wire::Status::unsupportedVersion:
      return Result{Role::alone, QStringLiteral("the running Morvane is of another version")};
    case wire::Status::malformed:
      break;
  }
  return Result{Role::alone, QStringLiteral("the running Morvane refused the files")};
}

SingleInstance::Result SingleInstance::listen() {
  auto server = std::make_unique<QLocalServer>(this);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(socketPath_);
  if (!server->listen(socketPath_)) {
    return {Role::alone,
            QStringLiteral("cannot listen at %1: %2").arg(socketPath_, server->errorString())};
  }
  server_ = server.release();
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
  return {Role::primary, {}};
}

void SingleInstance::acceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (connections_ >= kMaxConnections || !fromThisUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    serve(socket);
  }
}

// Reads one request from `socket` without ever blocking: whatever arrives
// is collected until the frame is whole; an oversized, malformed or slow
// request is answered or dropped, and the socket goes.
void SingleInstance::serve(QLocalSocket* socket) {
  ++connections_;
  connect(socket, &QObject::destroyed, this, [this] { --connections_; });
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  socket->setReadBufferSize(kReadChunk);
  auto* deadline = new QTimer(socket);
  deadline->setSingleShot(true);
  connect(deadline, &QTimer::timeout, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  deadline->start(timeouts_.request);

  auto received = std::make_shared<QByteArray>();
  connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
    *received += socket->readAll();
    const wire::Frame frame = wire::takeFrame(*received);
    if (frame.state == wire::Frame::State::incomplete) return;
    // One request per connection.
    QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
    received->clear();
    wire::Status status = wire::Status::malformed;
    std::optional<OpenRequest> request;
    if (frame.state == wire::Frame::State::complete) {
      request = wire::decodeRequest(frame.payload, &status);
    }
    socket->write(wire::encodeReply(status));
    socket->flush();
    socket->disconnectFromServer();
    // The sender is answered before the files are added: scanning a large
    // folder must not keep it waiting.
    if (request) {
      QMetaObject::invokeMethod(
          this, [this, r = std::move(*request)] { emit openRequested(r); }, Qt::QueuedConnection);
    }
  });
}

}  // namespace morvane
