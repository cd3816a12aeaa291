#include "HttpCli.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QIODevice>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>

namespace {

std::atomic_int g_stallMs{30000};

// The system's error numbers for what the socket layer reports.
int errorNumber(QAbstractSocket::SocketError e)
{
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return 111;
    case QAbstractSocket::RemoteHostClosedError:
        return 104;
    case QAbstractSocket::HostNotFoundError:
        return -2;
    case QAbstractSocket::SocketAccessError:
        return 13;
    case QAbstractSocket::SocketResourceError:
        return 24;
    case QAbstractSocket::SocketTimeoutError:
        return 110;
    case QAbstractSocket::NetworkError:
        return 101;
    default:
        return int(e);
    }
}

// The path as sent: what is not printable ASCII is escaped, so it cannot break the request line.
QByteArray requestPath(const QString &path)
{
    QByteArray out;
    for (char c : path.toUtf8()) {
        const uchar u = uchar(c);
        if (u <= 0x20 || u >= 0x7F)
            out += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

} // namespace

THttpCli::THttpCli(const QString &name, QObject *parent)
    : QObject(parent), m_stall(new QTimer(this)), m_headerDeadline(new QTimer(this)), m_deadline(new QTimer(this))
{
    setObjectName(name);
    m_stall->setSingleShot(true);
    connect(m_stall, &QTimer::timeout, this, [this] {
        failWith(404, QStringLiteral("No data received for %1 seconds").arg(StallTimeoutMs() / 1000.0));
    });
    // A server dripping a byte now and then keeps the stall timer quiet: these end it.
    m_headerDeadline->setSingleShot(true);
    connect(m_headerDeadline, &QTimer::timeout, this, [this] {
        failWith(404, QStringLiteral("The server did not reply within %1 seconds").arg(HeaderTimeoutMs / 1000.0));
    });
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        failWith(404, QStringLiteral("The download took longer than %1 seconds").arg(TotalTimeoutMs / 1000.0));
    });
    // Shutting the application down aborts a request under way.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &THttpCli::Abort);
}

THttpCli::~THttpCli()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
}

int THttpCli::StallTimeoutMs()
{
    return g_stallMs;
}

void THttpCli::SetStallTimeoutMs(int ms)
{
    g_stallMs = ms;
}

bool THttpCli::parse(const QString &address, Target *t) const
{
    const qsizetype sep = address.indexOf(QStringLiteral("://"));
    if (sep <= 0)
        return false;
    t->scheme = address.left(sep).toLower();
    QString rest = address.mid(sep + 3);
    qsizetype end = rest.size();
    for (QChar c : {QChar(u'/'), QChar(u'?'), QChar(u'#')}) {
        const qsizetype at = rest.indexOf(c);
        if (at >= 0 && at < end)
            end = at;
    }
    QString authority = rest.left(end);
    QString path = rest.mid(end);
    if (const qsizetype fragment = path.indexOf(u'#'); fragment >= 0)
        path.truncate(fragment);
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0)
        authority = authority.mid(at + 1);
    t->port = 80;
    QString host = authority;
    const auto takePort = [t](const QString &text) {
        bool ok = false;
        const uint port = text.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return false;
        t->port = quint16(port);
        return true;
    };
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return false;
        host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && (!after.startsWith(u':') || !takePort(after.mid(1))))
            return false;
    } else if (const qsizetype colon = authority.lastIndexOf(u':'); colon >= 0) {
        if (!takePort(authority.mid(colon + 1)))
            return false;
        host = authority.left(colon);
    }
    if (host.isEmpty())
        return false;
    t->host = host;
    if (path.isEmpty())
        path = QStringLiteral("/");
    else if (path.startsWith(u'?'))
        path.prepend(u'/');
    t->path = requestPath(path);
    return true;
}

QString THttpCli::resolveLocation(const QString &location) const
{
    // An address with a scheme of its own stands as it is (one we cannot follow then fails
    // as such, never as a path on this server).
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (scheme.match(location).hasMatch())
        return location;
    const qsizetype sep = m_current.indexOf(QStringLiteral("://"));
    const qsizetype pathStart = m_current.indexOf(u'/', sep + 3);
    const QString origin = pathStart < 0 ? m_current : m_current.left(pathStart);
    if (location.startsWith(u'/'))
        return origin + location;
    // Replaces the last segment of the current path.
    QString path = pathStart < 0 ? QStringLiteral("/") : m_current.mid(pathStart);
    path.truncate(path.indexOf(u'?') >= 0 ? path.indexOf(u'?') : path.size());
    return origin + path.left(path.lastIndexOf(u'/') + 1) + location;
}

void THttpCli::Get()
{
    if (m_busy)
        throw EHttpException(StatusCode, QStringLiteral("HTTP component ") + objectName() + QStringLiteral(" is busy"));
    m_busy = true;
    m_current = URL;
    int changes = 0;
    m_deadline->start(TotalTimeoutMs);
    const auto done = qScopeGuard([this] {
        m_busy = false;
        m_stall->stop();
        m_headerDeadline->stop();
        m_deadline->stop();
        if (m_socket) {
            m_socket->abort();
            m_socket->deleteLater();
        }
    });
    for (;;) {
        ContentLength = -1;
        ReceivedCount = 0;
        m_parser = HttpReplyParser();
        m_begun = false;
        m_connected = false;
        m_outcome = Outcome::Pending;
        Target target;
        static const QRegularExpression schemePart(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
        const QString scheme = schemePart.match(m_current).captured(1).toLower();
        if (!scheme.isEmpty() && scheme != u"http") {
            failWith(501, QStringLiteral("Protocol \"%1\" not implemented").arg(scheme));
        } else if (!parse(m_current, &target) || target.scheme != u"http") {
            failWith(404, QStringLiteral("Invalid address: ") + m_current);
        } else {
            request(target);
            wait();
        }
        if (m_outcome != Outcome::Complete)
            break;
        const auto location = m_parser.header("Location");
        if (!location)
            break;
        // A reply that moves us on: its body was never written to the stream.
        if (++changes > LocationChangeMaxCount) {
            m_outcome = Outcome::Pending;
            failWith(404, QStringLiteral("Too many location changes (more than %1)").arg(LocationChangeMaxCount));
            break;
        }
        m_current = resolveLocation(QString::fromLatin1(*location).trimmed());
        if (m_socket) {
            m_socket->abort();
            m_socket->deleteLater();
        }
    }
    if (m_outcome == Outcome::Complete) {
        StatusCode = m_parser.statusCode();
        ReasonPhrase = m_parser.reasonPhrase();
        // No credentials are ever configured: a request for them is an error.
        if (StatusCode == 401 || StatusCode == 407)
            throw EHttpException(StatusCode, ReasonPhrase);
    }
    if (StatusCode >= 400)
        throw EHttpException(StatusCode, ReasonPhrase);
}

void THttpCli::request(const Target &target)
{
    m_socket = new QTcpSocket(this);
    QTcpSocket *s = m_socket;
    s->setReadBufferSize(4 * kReadSlice); // the kernel holds the rest: memory stays bounded
    const QByteArray host = target.host.toUtf8();
    const QByteArray hostLine = target.port == 80 ? host : host + ':' + QByteArray::number(target.port);
    const QByteArray head = "GET " + target.path + " HTTP/" + RequestVer + "\r\nAccept: " + Accept +
                            "\r\nUser-Agent: " + Agent + "\r\nHost: " + hostLine + "\r\n\r\n";
    connect(s, &QTcpSocket::connected, this, [this, s, head] {
        m_connected = true;
        m_stall->start(StallTimeoutMs());
        s->write(head);
    });
    connect(s, &QTcpSocket::readyRead, this, &THttpCli::received);
    connect(s, &QTcpSocket::disconnected, this, [this, s] {
        // What the server sent before closing is all still to be read.
        while (s->bytesAvailable() > 0 && m_outcome == Outcome::Pending)
            received();
        if (m_outcome != Outcome::Pending)
            return;
        if (m_parser.closed())
            finish(Outcome::Complete);
        else if (!m_parser.headersDone())
            failWith(404, QStringLiteral("The server closed the connection without a reply"));
        else
            failWith(404, QStringLiteral("The connection closed before the whole document arrived (%1 of %2 bytes)")
                              .arg(ReceivedCount)
                              .arg(ContentLength));
    });
    connect(s, &QAbstractSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError || m_outcome != Outcome::Pending)
            return; // a close is judged by what arrived
        const QString text = s->errorString() + QStringLiteral(" (Error #%1)").arg(errorNumber(e));
        failWith(404, m_connected ? text : QStringLiteral("can't connect: ") + text);
    });

    m_stall->start(StallTimeoutMs());
    m_headerDeadline->start(HeaderTimeoutMs);
    QHostAddress literal;
    QString hostName = target.host;
    if (literal.setAddress(hostName)) {
        s->connectToHost(literal, target.port);
        return;
    }
    const quint16 port = target.port;
    m_lookupId = QHostInfo::lookupHost(hostName, this, [this, s, port](const QHostInfo &info) {
        m_lookupId = -1;
        if (m_outcome != Outcome::Pending || !m_socket || m_socket != s)
            return;
        QHostAddress address;
        for (const QHostAddress &a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol || address.isNull())
                address = a;
        }
        if (info.error() != QHostInfo::NoError || address.isNull()) {
            failWith(404, QStringLiteral("can't resolve hostname to IP address"));
            return;
        }
        s->connectToHost(address, port);
    });
}

void THttpCli::received()
{
    if (!m_socket || m_outcome != Outcome::Pending)
        return;
    // A slice at a time, so the GUI's events run between slices however fast the data comes.
    const QByteArray data = m_socket->read(kReadSlice);
    if (data.isEmpty())
        return;
    if (m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &THttpCli::received, Qt::QueuedConnection);
    m_stall->start(StallTimeoutMs());
    bool tooLarge = false;
    const bool ok = m_parser.feed(data, [this, &tooLarge](QByteArrayView piece) {
        if (piece.isEmpty() || m_parser.header("Location") || tooLarge || m_outcome != Outcome::Pending)
            return; // a moving reply's body is not kept
        if (!m_begun) {
            m_begun = true;
            ContentLength = m_parser.contentLength();
            if (MaxBodySize >= 0 && ContentLength > MaxBodySize) {
                tooLarge = true;
                return;
            }
            emit OnDocBegin();
        }
        if (MaxBodySize >= 0 && ReceivedCount + piece.size() > MaxBodySize) {
            tooLarge = true;
            return;
        }
        ReceivedCount += piece.size();
        if (ReceiveStream)
            ReceiveStream->write(piece.data(), piece.size());
        emit OnDocData();
    });
    if (m_parser.headersDone()) {
        ContentLength = m_parser.contentLength();
        m_headerDeadline->stop();
    }
    if (tooLarge)
        failWith(413, QStringLiteral("The document is larger than %1 bytes").arg(MaxBodySize));
    else if (!ok)
        failWith(404, m_parser.error());
    else if (m_parser.done())
        finish(Outcome::Complete);
}

void THttpCli::finish(Outcome outcome)
{
    if (m_outcome != Outcome::Pending)
        return;
    m_outcome = outcome;
    m_stall->stop();
    m_headerDeadline->stop();
    if (m_loop)
        m_loop->quit();
}

void THttpCli::failWith(int code, const QString &reason)
{
    if (m_outcome != Outcome::Pending)
        return;
    StatusCode = code;
    ReasonPhrase = reason;
    finish(Outcome::Failed);
}

void THttpCli::wait()
{
    if (m_outcome != Outcome::Pending)
        return;
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    // The loop also ends when the application quits: the request goes with it.
    if (m_outcome == Outcome::Pending)
        failWith(404, QStringLiteral("Connection aborted on request"));
}

void THttpCli::Abort()
{
    if (!m_busy) {
        if (m_socket) {
            m_socket->abort();
            m_socket->deleteLater();
        }
        StatusCode = 200;
        ReasonPhrase = QStringLiteral("OK");
        return;
    }
    failWith(404, QStringLiteral("Connection aborted on request"));
}

ReceiveFile::ReceiveFile(THttpCli &client, const QString &path) : m_client(client), m_file(path)
{
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        throw ZError(QStringLiteral("Cannot create %1: %2").arg(path, m_file.errorString()));
    m_client.ReceiveStream = &m_file;
}

ReceiveFile::~ReceiveFile()
{
    m_client.ReceiveStream = nullptr;
}

QByteArray ReceiveFile::contents()
{
    m_client.ReceiveStream = nullptr;
    m_file.flush();
    m_file.seek(0);
    return m_file.readAll();
}

void ReceiveFile::discard()
{
    m_client.ReceiveStream = nullptr;
    m_file.close();
    m_file.remove();
}
