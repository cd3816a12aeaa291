#include "HttpReader.h"

#include "base/OutsideText.h"

#include <QSslConfiguration>
#include <QSslSocket>

#include <zlib.h>

namespace {

constexpr qint64 kReadBuffer = 64 * 1024; // what the socket may hold for us before we read it

QByteArray headerValue(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    return colon < 0 ? QByteArray() : line.sliced(colon + 1).trimmed().toByteArray();
}

bool isHeader(QByteArrayView line, QByteArrayView name)
{
    return line.size() > name.size() && line[name.size()] == ':' &&
           qstrnicmp(line.data(), name.data(), name.size()) == 0;
}

} // namespace

// A gzip or deflate body unpacked as it comes.
struct Inflater
{
    z_stream z{};
    bool ok = false;
    bool raw = false;                                      // deflate without a zlib header
    Inflater() { ok = inflateInit2(&z, 15 + 32) == Z_OK; } // zlib or gzip, by its header
    ~Inflater()
    {
        if (ok)
            inflateEnd(&z);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
};

QUrl HttpReader::RedirectTarget(const QUrl &from, const QByteArray &location)
{
    const QUrl to = from.resolved(QUrl::fromEncoded(location));
    const QString scheme = to.scheme().toLower();
    const bool secure = from.scheme().compare(QLatin1StringView("https"), Qt::CaseInsensitive) == 0;
    if ((scheme != u"http" && scheme != u"https") || (secure && scheme != u"https"))
        return {};
    return to;
}

HttpReader::HttpReader(const Request &request, qsizetype bodyLimit, QObject *parent)
    : QObject(parent), m_request(request), m_limit(bodyLimit)
{
}

HttpReader::~HttpReader()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void HttpReader::start()
{
    const QUrl &url = m_request.url;
    const bool tls = url.scheme().compare(QLatin1StringView("https"), Qt::CaseInsensitive) == 0;
    m_socket = new QSslSocket(this);
    m_socket->setReadBufferSize(kReadBuffer);
    const auto send = [this] {
        const QUrl &u = m_request.url;
        QByteArray path = u.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
        if (path.isEmpty())
            path = "/";
        QByteArray host = u.host(QUrl::FullyEncoded).toUtf8();
        if (host.contains(':'))
            host = '[' + host + ']';
        if (u.port() > 0)
            host += ':' + QByteArray::number(u.port());
        QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nAccept: */*\r\nConnection: close\r\n";
        if (m_request.compressed)
            request += "Accept-Encoding: gzip, deflate\r\n";
        // Values that could add headers of their own never reach the wire.
        const auto add = [&request](const char *name, const QString &value) {
            if (!value.isEmpty() && outside::IsHeaderSafe(value))
                request += QByteArray(name) + ": " + value.toUtf8() + "\r\n";
        };
        add("User-Agent", m_request.userAgent);
        add("Referer", m_request.referrer);
        add("Cookie", m_request.cookie);
        add("If-None-Match", m_request.ifNoneMatch);
        add("If-Modified-Since", m_request.ifModifiedSince);
        if (!u.userName().isEmpty())
            request += "Authorization: Basic " + (u.userName() + u':' + u.password()).toUtf8().toBase64() + "\r\n";
        m_socket->write(request + "\r\n");
    };
    connect(m_socket, &QSslSocket::readyRead, this, &HttpReader::readable);
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] {
        readable();
        if (m_finished)
            return;
        if (!m_headersDone) {
            end(m_head.isEmpty() ? QStringLiteral("empty reply") : QStringLiteral("not an HTTP server"));
        } else if ((m_reply.length >= 0 && m_reply.received < m_reply.length) || m_chunked) {
            end(QStringLiteral("the connection was closed before the end of the reply"));
        } else {
            m_reply.ended = true;
            end({});
        }
    });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this, tls](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError && (!tls || m_socket->isEncrypted()))
            return; // the end of the reply: `disconnected` follows
        if (error == QAbstractSocket::HostNotFoundError)
            end(QStringLiteral("name not found"));
        else if (error == QAbstractSocket::ConnectionRefusedError)
            end(QStringLiteral("refused"));
        else if (tls && !m_socket->isEncrypted())
            end(QStringLiteral("TLS failure: ") + m_socket->errorString());
        else
            end(m_socket->errorString());
    });
    const quint16 port = quint16(url.port(tls ? 443 : 80));
    if (tls) {
        if (!m_request.extraCertificates.isEmpty()) {
            QSslConfiguration config = m_socket->sslConfiguration();
            config.addCaCertificates(m_request.extraCertificates);
            m_socket->setSslConfiguration(config);
        }
        connect(m_socket, &QSslSocket::encrypted, this, send);
        m_socket->connectToHostEncrypted(url.host(), port);
    } else {
        connect(m_socket, &QAbstractSocket::connected, this, send);
        m_socket->connectToHost(url.host(), port);
    }
}

void HttpReader::readable()
{
    QPointer<HttpReader> self(this);
    while (self && !m_finished && m_socket && m_socket->bytesAvailable() > 0) {
        if (!m_headersDone) {
            m_head += m_socket->read(kMaxHeaders + 1 - m_head.size());
            if (!readHeaders())
                return;
        } else {
            readBody(m_socket->read(kReadBuffer));
        }
    }
}

bool HttpReader::readHeaders()
{
    qsizetype end = m_head.indexOf("\r\n\r\n");
    qsizetype gap = 4;
    if (const qsizetype bare = m_head.indexOf("\n\n"); bare >= 0 && (end < 0 || bare < end)) {
        end = bare;
        gap = 2;
    }
    if (end < 0) {
        if (m_head.size() > kMaxHeaders)
            this->end(QString::fromLatin1(kEndlessHeaders));
        return false;
    }
    const QList<QByteArray> lines = m_head.first(end).split('\n');
    // "HTTP/1.1 200 OK", or a SHOUTcast server's "ICY 200 OK".
    const QByteArray status = lines.value(0).trimmed();
    const qsizetype space = status.indexOf(' ');
    bool ok = false;
    if (status.startsWith("HTTP/") || status.startsWith("ICY "))
        m_reply.status = status.mid(space + 1, 3).toInt(&ok);
    if (!ok) {
        this->end(QStringLiteral("not an HTTP server"));
        return false;
    }
    m_reply.reason =
        outside::CleanUtf8(QByteArrayView(status).sliced(std::min(space + 5, status.size())), outside::kReason);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (isHeader(line, "Content-Type")) {
            m_reply.contentType = headerValue(line);
        } else if (isHeader(line, "Location")) {
            m_reply.location = headerValue(line);
        } else if (isHeader(line, "ETag")) {
            m_reply.etag = outside::CleanUtf8(headerValue(line), outside::kName);
        } else if (isHeader(line, "Last-Modified")) {
            m_reply.lastModified = outside::CleanUtf8(headerValue(line), outside::kName);
        } else if (isHeader(line, "Transfer-Encoding")) {
            m_chunked = headerValue(line).toLower().contains("chunked");
        } else if (isHeader(line, "Content-Length")) {
            m_reply.length = headerValue(line).toLongLong(&ok);
            if (!ok || m_reply.length < 0)
                m_reply.length = -1;
        } else if (isHeader(line, "Content-Encoding") && m_request.compressed) {
            const QByteArray coding = headerValue(line).toLower();
            if (coding == "gzip" || coding == "x-gzip" || coding == "deflate")
                m_inflater = std::make_unique<Inflater>();
        }
    }
    if (m_chunked)
        m_reply.length = -1;
    if (m_request.maxRedirects > 0 && m_reply.status >= 300 && m_reply.status < 400 && !m_reply.location.isEmpty()) {
        const QUrl to = RedirectTarget(m_request.url, m_reply.location);
        if (++m_redirects > m_request.maxRedirects || to.isEmpty()) {
            this->end(QStringLiteral("redirects lead nowhere"));
            return false;
        }
        // Again from the start, at the new address.
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket.clear();
        m_request.url = to;
        m_reply = {};
        m_head.clear();
        m_chunked = false;
        m_inflater.reset();
        start();
        return false;
    }
    m_headersDone = true;
    const QByteArray rest = m_head.mid(end + gap);
    m_head.clear();
    QPointer<HttpReader> self(this);
    emit headersRead();
    if (!self || m_finished)
        return false;
    if (m_reply.length == 0) {
        m_reply.ended = true;
        this->end({});
        return false;
    }
    readBody(rest);
    return self && !m_finished;
}

void HttpReader::readBody(QByteArrayView data)
{
    const qint64 before = m_reply.received;
    QPointer<HttpReader> self(this);
    while (!data.isEmpty() && m_reply.received < m_limit) {
        if (!m_chunked) {
            const qsizetype take = qsizetype(std::min<qint64>(data.size(), m_limit - m_reply.received));
            m_reply.received += take;
            if (!deliver(data.first(take)))
                return;
            data = data.sliced(take);
            continue;
        }
        if (m_chunkState == 0) { // the size line
            const qsizetype nl = data.indexOf('\n');
            m_chunkLine += data.first(nl < 0 ? data.size() : nl);
            data = nl < 0 ? QByteArrayView() : data.sliced(nl + 1);
            if (m_chunkLine.size() > 1024) {
                end(QStringLiteral("not an HTTP server"));
                return;
            }
            if (nl < 0)
                continue;
            bool ok = false;
            m_chunkLeft = m_chunkLine.trimmed().split(';').value(0).toLongLong(&ok, 16);
            m_chunkLine.clear();
            if (!ok || m_chunkLeft == 0) {
                m_reply.ended = ok;
                break;
            }
            m_chunkState = 1;
        } else if (m_chunkState == 1) {
            const qsizetype take = qsizetype(std::min({qint64(data.size()), m_chunkLeft, m_limit - m_reply.received}));
            m_reply.received += take;
            m_chunkLeft -= take;
            if (m_chunkLeft == 0)
                m_chunkState = 2;
            if (!deliver(data.first(take)))
                return;
            data = data.sliced(take);
        } else { // the line end after the data
            const qsizetype nl = data.indexOf('\n');
            data = nl < 0 ? QByteArrayView() : data.sliced(nl + 1);
            if (nl >= 0)
                m_chunkState = 0;
        }
    }
    if (m_reply.length >= 0 && m_reply.received >= m_reply.length)
        m_reply.ended = true;
    if (m_reply.received > before) {
        emit bodyRead();
        if (!self || m_finished)
            return;
    }
    if (m_reply.ended || m_reply.received >= m_limit)
        end({});
}

bool HttpReader::deliver(QByteArrayView data)
{
    const auto hand = [this](QByteArrayView piece) {
        if (m_sink) {
            if (!m_sink(piece)) {
                end(QStringLiteral("the reader stopped"));
                return false;
            }
            return true;
        }
        m_reply.body += piece;
        return true;
    };
    if (!m_inflater)
        return hand(data);
    z_stream &z = m_inflater->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    z.avail_in = uInt(data.size());
    char out[64 * 1024];
    while (z.avail_in > 0) {
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_DATA_ERROR && z.total_out == 0 && !m_inflater->raw) {
            // "deflate" without its zlib header, as some servers send it.
            inflateEnd(&z);
            m_inflater->raw = true;
            m_inflater->ok = inflateInit2(&z, -15) == Z_OK;
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
            z.avail_in = uInt(data.size());
            continue;
        }
        if (!m_inflater->ok || (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)) {
            end(QStringLiteral("the server's compressed data is damaged"));
            return false;
        }
        if (!hand(QByteArrayView(out, qsizetype(sizeof out - z.avail_out))))
            return false;
        if (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z.avail_out > 0))
            break;
    }
    return true;
}

void HttpReader::stop()
{
    m_finished = true;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void HttpReader::end(const QString &error)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    emit finished(error);
}
