#include "platform/InstanceMarker.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <utility>

namespace {

constexpr char kRaiseRequest[] = "raise\n";

// The user's own folder for sockets and locks; it is private to the user, so
// two users never see each other's copies.
QString RuntimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

// The name as one file name component.
QString SafeName(QString name) {
    for (QChar& c : name) {
        if (c == u'/' || c == u'\\' || c == u':')
            c = u'_';
    }
    return name;
}

// Reads one request from another copy, then lets the connection go.
void HandleRequest(QLocalSocket* socket, const std::function<void()>& onRequest) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, onRequest] {
        constexpr auto size = static_cast<qint64>(sizeof kRaiseRequest - 1);
        if (socket->bytesAvailable() < size)
            return;
        if (socket->read(size) == kRaiseRequest)
            onRequest();
        socket->disconnectFromServer();
    });
}

}  // namespace

CInstanceMarker::CInstanceMarker(const QString& name) : name_(name), lock_(LockPath(name)) {
    // A copy may run for days: only a dead owner makes the lock stale.
    lock_.setStaleLockTime(0);
}

CInstanceMarker::~CInstanceMarker() {
    Release();
}

QString CInstanceMarker::LockPath(const QString& name) {
    return RuntimeFolder() + u'/' + SafeName(name) + QStringLiteral(".lock");
}

QString CInstanceMarker::ServerName(const QString& name) {
#ifdef Q_OS_WIN
    // Pipe names are per machine; the user's name keeps sessions apart.
    return SafeName(name) + u'-' + qEnvironmentVariable("USERNAME");
#else
    return RuntimeFolder() + u'/' + SafeName(name) + QStringLiteral(".socket");
#endif
}

CInstanceMarker::Result CInstanceMarker::Acquire() {
    if (lock_.isLocked())
        return Result::kAcquired;
    QDir().mkpath(RuntimeFolder());
    // tryLock removes a lock whose owner is no longer running.
    if (lock_.tryLock(0))
        return Result::kAcquired;
    return lock_.error() == QLockFile::LockFailedError ? Result::kAlreadyRunning : Result::kFailed;
}

void CInstanceMarker::Release() {
    server_.reset();
    if (lock_.isLocked())
        lock_.unlock();
}

bool CInstanceMarker::ListenForRaise(std::function<void()> onRequest) {
    if (!lock_.isLocked())
        return false;
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket left under the name is a dead copy's.
    QLocalServer::removeServer(ServerName(name_));
    if (!server_->listen(ServerName(name_))) {
        server_.reset();
        return false;
    }
    QLocalServer* server = server_.get();
    QObject::connect(server, &QLocalServer::newConnection, server,
                     [server, onRequest = std::move(onRequest)] {
                         while (QLocalSocket* socket = server->nextPendingConnection()) {
                             HandleRequest(socket, onRequest);
                         }
                     });
    return true;
}

bool CInstanceMarker::AskToRaise(const QString& name, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(ServerName(name));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRaiseRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return sent;
}
