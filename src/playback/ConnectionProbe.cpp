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
    m_url = url;
    m_reply.clear();
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &ConnectionProbe::connected);
    connect(socket, &QTcpSocket::readyRead, this, &ConnectionProbe::answer);
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
            answer(); // a server that answered and closed said what it had to say
            done(StreamFailure::Unknown);
            break;
        }
    });
    m_timer.start(timeoutMs);
    socket->connectToHost(url.host(), quint16(url.port(defaultPort(url.scheme().toLower()))));
}

void ConnectionProbe::connected()
{
    const QString scheme = m_url.scheme().toLower();
    if (scheme != u"http" && scheme != u"icy") {
        done(StreamFailure::Unknown);
        return;
    }
    // Only the status line is read; the connection goes once it is in.
    QByteArray target = m_url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (m_url.hasQuery())
        target += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
    m_socket->write("GET " + target + " HTTP/1.0\r\nHost: " + m_url.host(QUrl::FullyEncoded).toLatin1() +
                    "\r\nIcy-MetaData: 0\r\n\r\n");
}

void ConnectionProbe::answer()
{
    if (!m_socket)
        return;
    m_reply += m_socket->read(4096 - m_reply.size());
    const qsizetype end = m_reply.indexOf('\n');
    if (end < 0 && m_reply.size() < 4096)
        return;
    const QList<QByteArray> status = m_reply.left(end).trimmed().split(' ');
    const int code = status.value(1).toInt();
    if (code >= 400 && (status.value(0).startsWith("HTTP/") || status.value(0) == "ICY"))
        done(StreamFailure::HttpStatus, code, QString::fromLatin1(status.mid(2).join(' ')));
    else
        done(StreamFailure::Unknown);
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

void ConnectionProbe::done(StreamFailure::Fault fault, int httpStatus, const QString &phrase)
{
    if (!m_socket)
        return;
    cancel();
    emit finished(fault, httpStatus, phrase);
}
