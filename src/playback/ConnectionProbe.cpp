#include "ConnectionProbe.h"

#include <QTcpSocket>

namespace {

int defaultPort(const QString &scheme)
{
    if (scheme == u"http" || scheme == u"icy")
        return 80;
    if (scheme == u"https")
        return 443;
    if (scheme == u"rtsp" || scheme == u"rtspt")
        return 554;
    if (scheme == u"mms" || scheme == u"mmsh")
        return 1755;
    if (scheme == u"pnm")
        return 7070;
    return -1;
}

} // namespace

ConnectionProbe::ConnectionProbe(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { done(StreamFailure::TimedOut); });
}

ConnectionProbe::~ConnectionProbe()
{
    cancel();
}

bool ConnectionProbe::canProbe(const QUrl &url)
{
    return !url.host().isEmpty() && url.port(defaultPort(url.scheme().toLower())) > 0;
}

void ConnectionProbe::start(const QUrl &url, int timeoutMs)
{
    cancel();
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, [this] { done(StreamFailure::Unknown); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            done(StreamFailure::Refused);
            break;
        case QAbstractSocket::HostNotFoundError:
            done(StreamFailure::UnknownHost);
            break;
        case QAbstractSocket::SocketTimeoutError:
            done(StreamFailure::TimedOut);
            break;
        default:
            done(StreamFailure::Unknown);
            break;
        }
    });
    m_timer.start(timeoutMs);
    socket->connectToHost(url.host(), quint16(url.port(defaultPort(url.scheme().toLower()))));
}

void ConnectionProbe::cancel()
{
    m_timer.stop();
    if (QTcpSocket *socket = m_socket.data()) {
        m_socket.clear();
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void ConnectionProbe::done(StreamFailure::Fault fault)
{
    if (!m_socket)
        return;
    cancel();
    emit finished(fault);
}
