#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

const QByteArray showRequest = "show\n";
const QByteArray shownAnswer = "shown\n";

} // namespace

SingleInstance::SingleInstance(const QString& dataDir, QObject* parent)
    : QObject(parent), dataDirectory(dataDir), lock(dataDir + QStringLiteral("/instance.lock"))
{
    // Only a dead holder makes the lock stale, never its age: the program runs for hours.
    lock.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    QDir().mkpath(dataDirectory);
    return lock.tryLock(0);
}

QString SingleInstance::serverNameFor(const QString& dataDir)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(dataDir).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("ambertrace-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.toHex().left(16)));
}

bool SingleInstance::askRunningInstanceToShow(int waitMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverNameFor(dataDirectory));
    if (!socket.waitForConnected(waitMs))
        return false;
    socket.write(showRequest);
    if (!socket.waitForBytesWritten(waitMs))
        return false;
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < 64) {
        if (!socket.waitForReadyRead(waitMs))
            return false;
        answer += socket.readAll();
    }
    return answer == shownAnswer;
}

bool SingleInstance::listen(std::function<void()> show)
{
    const QString name = serverNameFor(dataDirectory);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket left under this name belongs to a start that died.
    QLocalServer::removeServer(name);
    connect(server, &QLocalServer::newConnection, this, [this, show] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [socket, show] {
                if (socket->bytesAvailable() > 64) {
                    socket->abort();
                    return;
                }
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == showRequest) {
                    show();
                    socket->write(shownAnswer);
                }
                socket->disconnectFromServer();
            });
        }
    });
    return server->listen(name);
}
