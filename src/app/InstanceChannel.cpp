#include "app/InstanceChannel.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {

// Sent first, so that a stray connection is not taken for a later start.
constexpr quint32 kRequestTag = 0x59544e31;  // "YTN1"
constexpr int kServeTimeoutMs = 5000;

}  // namespace

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {}

QString InstanceServer::pathIn(const QString& folder) {
  return QDir(folder).filePath(QStringLiteral("yotenna.socket"));
}

bool InstanceServer::listen(const QString& socketPath, Handler handler, QString* error) {
  handler_ = std::move(handler);
  delete server_;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath)) {
    // Only a copy that died can have left it: the live one would hold the lock we hold.
    QLocalServer::removeServer(socketPath);
    if (!server_->listen(socketPath)) {
      if (error) *error = server_->errorString();
      return false;
    }
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) serve(socket);
  });
  return true;
}

void InstanceServer::serve(QLocalSocket* socket) {
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  // A peer that never finishes its request is dropped.
  QTimer::singleShot(kServeTimeoutMs, socket, [socket] { socket->abort(); });
  connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
    if (socket->bytesAvailable() >= 4) {
      QDataStream peek(socket->peek(4));
      quint32 tag = 0;
      peek >> tag;
      if (tag != kRequestTag) {
        socket->abort();
        return;
      }
    }
    QDataStream stream(socket);
    stream.startTransaction();
    quint32 tag = 0;
    QString dataFile;
    stream >> tag >> dataFile;
    if (!stream.commitTransaction()) return;  // wait for the rest
    const QString inUse = handler_ ? handler_(dataFile) : QString();
    QDataStream answer(socket);
    answer << inUse;
    socket->flush();
    socket->disconnectFromServer();
  });
}

std::optional<QString> askRunningCopy(const QString& socketPath, const QString& dataFile,
                                      int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return std::nullopt;
  {
    QDataStream request(&socket);
    request << kRequestTag << dataFile;
  }
  if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
    return std::nullopt;
  }
  QDataStream stream(&socket);
  for (;;) {
    stream.startTransaction();
    QString inUse;
    stream >> inUse;
    if (stream.commitTransaction()) return inUse;
    if (deadline.hasExpired()) break;
    if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
  }
  return std::nullopt;
}
