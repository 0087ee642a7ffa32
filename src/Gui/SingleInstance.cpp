#include "Gui/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <memory>
#include <unistd.h>

namespace gathra {
namespace {

// The request: one absolute path per line, then an empty line. The answer: "ok".
constexpr int MaxRequestBytes = 1 << 20;

QByteArray EncodeFiles(const QStringList& files) {
    QByteArray request;
    for (const QString& file : files) {
        QByteArray line = file.toUtf8();
        line.replace('\n', ' '); // a path cannot break the framing
        request += line + '\n';
    }
    return request + '\n';
}

} // namespace

TSingleInstance::TSingleInstance(const QString& settingsFile, QObject* parent)
    : QObject(parent), name_(ServerNameFor(settingsFile)) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::ServerNameFor(const QString& settingsFile) {
    const QByteArray hash =
        QCryptographicHash::hash(settingsFile.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("gathralight-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool TSingleInstance::HandOver(const QStringList& files, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(EncodeFiles(files));
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(timeoutMs)) return false;
        answer += socket.readAll();
    }
    return answer.startsWith("ok");
}

bool TSingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A socket left behind by a program that ended without removing it: nobody answered
        // the hand-over, so it is stale.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
    return true;
}

void TSingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        QPointer<QLocalSocket> guard = socket;
        connect(socket, &QLocalSocket::readyRead, this, [this, guard, buffer] {
            if (!guard) return;
            *buffer += guard->readAll();
            if (buffer->size() > MaxRequestBytes) {
                guard->abort();
                return;
            }
            const qsizetype end = buffer->indexOf("\n\n");
            const bool empty = buffer->startsWith('\n');
            if (end < 0 && !empty) return;
            QStringList files;
            if (!empty)
                for (const QByteArray& line : buffer->left(end).split('\n'))
                    if (!line.isEmpty()) files << QString::fromUtf8(line);
            guard->write("ok\n");
            guard->flush();
            guard->disconnectFromServer();
            emit FilesArrived(files);
        });
    }
}

} // namespace gathra
