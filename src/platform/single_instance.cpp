#include "platform/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace vel {

namespace {

constexpr char kRaise[] = "raise";
// Anything longer than this without a line end is not one of our messages.
constexpr qint64 kMaxLine = 256;

// The per-user runtime folder is private to the user and cleared at logout;
// the temp folder is the fallback when the session has none.
QString RuntimeDir() {
    const QString run = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!run.isEmpty() && QFileInfo(run).isDir()) return run;
    return QDir::tempPath();
}

QString BaseName(const QString& key) {
    return RuntimeDir() + "/" + key + "-" + QString::number(::getuid());
}

void ServeConnection(QLocalServer* server, QLocalSocket* socket,
                     const std::function<void()>& onRaise) {
    auto readLines = [server, socket, onRaise] {
        while (socket->canReadLine()) {
            const QByteArray line = socket->readLine(kMaxLine).trimmed();
            // Queued, so the handler may release the instance (and with it
            // this socket) without pulling the socket out from under us.
            if (line == kRaise && onRaise)
                QMetaObject::invokeMethod(server, onRaise, Qt::QueuedConnection);
        }
        if (socket->bytesAvailable() > kMaxLine) socket->abort();
    };
    QObject::connect(socket, &QLocalSocket::readyRead, socket, readLines);
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    readLines();
}

} // namespace

QString SingleInstance::LockPath(const QString& key) { return BaseName(key) + ".lock"; }
QString SingleInstance::SocketPath(const QString& key) { return BaseName(key) + ".sock"; }

SingleInstance::SingleInstance(const QString& key) : key_(key) {}

SingleInstance::~SingleInstance() { Release(); }

bool SingleInstance::TryAcquire() {
    if (lock_ && lock_->isLocked()) return true;
    if (key_.isEmpty()) return false;
    QDir().mkpath(RuntimeDir());
    lock_ = std::make_unique<QLockFile>(LockPath(key_));
    // Only a dead owner makes a lock stale; a live one keeps it however old.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return true;
    lock_.reset();
    return false;
}

void SingleInstance::Listen(std::function<void()> onRaise) {
    server_.reset();
    if (key_.isEmpty()) return;
    const QString name = SocketPath(key_);
    // A crashed instance leaves its socket file behind.
    QLocalServer::removeServer(name);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer* server = server_.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, onRaise] {
        while (QLocalSocket* socket = server->nextPendingConnection())
            ServeConnection(server, socket, onRaise);
    });
    if (!server_->listen(name)) server_.reset();
}

bool SingleInstance::AskToRaise(int timeoutMs) {
    if (key_.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(SocketPath(key_));
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(QByteArray(kRaise) + '\n');
    socket.flush();
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs)) break;
    }
    const bool delivered = socket.bytesToWrite() == 0
                           && socket.state() == QLocalSocket::ConnectedState;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return delivered;
}

void SingleInstance::Release() {
    if (server_) {
        server_->close();
        server_.reset();
    }
    if (lock_) {
        lock_->unlock();
        lock_.reset();
    }
}

} // namespace vel
