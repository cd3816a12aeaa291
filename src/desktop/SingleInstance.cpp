#include "SingleInstance.h"

#include "base/SafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

const QByteArray kMagic = QByteArrayLiteral("ZENTAVO-REQUEST/1\n");
const QByteArray kAnswer = QByteArrayLiteral("OK\n");

} // namespace

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent)
{
    const QString id =
        QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    const QString dir = PrivateRuntimeDir(&m_unavailable);
    if (!dir.isEmpty()) {
        const QString base = dir + QStringLiteral("/zentavo-") + id;
        m_socketPath = base + QStringLiteral(".socket");
        m_lockPath = base + QStringLiteral(".lock");
    }
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
}

QByteArray SingleInstance::encode(const Request &request)
{
    QJsonObject o;
    o.insert(QStringLiteral("raise"), request.raise);
    o.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(request.arguments));
    const QByteArray body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return kMagic + QByteArray::number(body.size()) + '\n' + body;
}

std::optional<SingleInstance::Request> SingleInstance::decode(const QByteArray &message)
{
    if (!message.startsWith(kMagic) || message.size() > kMaxMessage)
        return std::nullopt;
    const qsizetype nl = message.indexOf('\n', kMagic.size());
    if (nl < 0)
        return std::nullopt;
    bool ok = false;
    const qsizetype length = message.mid(kMagic.size(), nl - kMagic.size()).toLongLong(&ok);
    if (!ok || length < 0 || message.size() - nl - 1 != length)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(message.mid(nl + 1), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    Request r;
    r.raise = doc.object().value(QStringLiteral("raise")).toBool(true);
    for (const QJsonValue &v : doc.object().value(QStringLiteral("arguments")).toArray()) {
        if (!v.isString())
            return std::nullopt;
        r.arguments.append(v.toString());
    }
    return r;
}

bool SingleInstance::handOver(const Request &request, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encode(request));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Taken once the running one says so (it may be busy starting up: give it a moment).
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (!answer.contains('\n') && clock.elapsed() < 3000) {
        if (!socket.waitForReadyRead(100) && socket.state() != QLocalSocket::ConnectedState)
            break;
        answer += socket.readAll();
    }
    return answer == kAnswer;
}

SingleInstance::Role SingleInstance::start(const Request &request)
{
    if (m_socketPath.isEmpty()) {
        fprintf(stderr, "zentavo: one instance is not kept this time: %s\n", qPrintable(m_unavailable));
        return Role::Alone;
    }
    QElapsedTimer clock;
    clock.start();
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // A lock whose holder is gone is taken over at once (QLockFile checks the process).
    m_lock->setStaleLockTime(0);
    while (clock.elapsed() < 3000) {
        if (handOver(request, 300))
            return Role::HandedOver;
        if (m_lock->tryLock(0)) {
            // Only the lock's holder clears a socket a crashed instance left behind.
            QLocalServer::removeServer(m_socketPath);
            if (m_server.listen(m_socketPath))
                return Role::Running;
            qWarning("cannot listen on %s: %s", qPrintable(m_socketPath), qPrintable(m_server.errorString()));
            m_lock->unlock();
            return Role::Alone;
        }
        // Another start holds the lock and is about to listen.
        QThread::msleep(50);
    }
    return Role::Alone;
}

void SingleInstance::setReady()
{
    m_ready = true;
    for (const Request &r : std::exchange(m_pending, {}))
        emit requested(r);
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that says nothing useful in time is dropped.
        QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
            *received += socket->read(kMaxMessage + 1 - received->size());
            if (received->size() > kMaxMessage) {
                socket->abort();
                return;
            }
            const std::optional<Request> request = decode(*received);
            if (!request)
                return; // not all of it yet (or never: the timer ends it)
            socket->write(kAnswer);
            socket->flush();
            socket->disconnectFromServer();
            if (m_ready)
                emit requested(*request);
            else
                m_pending.append(*request);
        });
    }
}
