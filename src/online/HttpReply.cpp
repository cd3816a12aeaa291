#include "HttpReply.h"

#include <cctype>

namespace {

bool noBodyStatus(int status)
{
    return status < 200 || status == 204 || status == 301 || status == 302 || status == 304 || status == 401 ||
           status == 407;
}

} // namespace

bool HttpReplyParser::fail(const QString &why)
{
    m_state = State::Failed;
    m_error = why;
    return false;
}

std::optional<QByteArray> HttpReplyParser::header(QByteArrayView name) const
{
    for (const auto &h : m_headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return std::nullopt;
}

bool HttpReplyParser::takeLine(QByteArrayView &data, QByteArray *line)
{
    const qsizetype nl = data.indexOf('\n');
    const QByteArrayView part = nl < 0 ? data : data.first(nl);
    m_headerBytes += part.size() + 1;
    m_line.append(part.data(), part.size());
    data = nl < 0 ? QByteArrayView() : data.sliced(nl + 1);
    if (nl < 0)
        return false;
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    *line = std::exchange(m_line, QByteArray());
    return true;
}

bool HttpReplyParser::headerLine(const QByteArray &line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return true; // not a header: passed over
    const QByteArray name = line.left(colon).trimmed();
    const QByteArray value = line.mid(colon + 1).trimmed();
    m_headers.append({name, value});
    if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok || n < 0)
            return fail(QStringLiteral("Invalid Content-Length in the reply"));
        // Two lengths that differ leave the body's end in doubt (a request smuggling trick).
        if (m_length >= 0 && m_length != n)
            return fail(QStringLiteral("Conflicting Content-Length headers in the reply"));
        m_length = n;
    } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0 && value.toLower().contains("chunked")) {
        m_chunked = true;
    }
    return true;
}

void HttpReplyParser::startBody()
{
    m_headerBytes = 0;
    if (m_chunked) {
        m_state = State::ChunkSize;
    } else if (m_length >= 0) {
        m_state = m_length == 0 ? State::Done : State::Body;
    } else if (noBodyStatus(m_status)) {
        m_state = State::Done;
    } else {
        m_untilClose = true;
        m_state = State::Body;
    }
}

bool HttpReplyParser::feed(QByteArrayView data, const BodySink &body)
{
    QByteArray line;
    while (!data.isEmpty()) {
        switch (m_state) {
        case State::StatusLine: {
            if (!takeLine(data, &line))
                break;
            // "HTTP/x.y NNN Reason"
            if (!line.startsWith("HTTP/"))
                return fail(QStringLiteral("The server's reply is not HTTP"));
            const qsizetype sp = line.indexOf(' ');
            const QByteArray rest = sp < 0 ? QByteArray() : line.mid(sp + 1);
            if (rest.size() < 3 || !std::isdigit(uchar(rest[0])) || !std::isdigit(uchar(rest[1])) ||
                !std::isdigit(uchar(rest[2])))
                return fail(QStringLiteral("The server's reply has no status"));
            m_status = rest.left(3).toInt();
            m_reason = QString::fromLatin1(rest.mid(4));
            m_state = State::Headers;
            break;
        }
        case State::Headers:
            if (!takeLine(data, &line))
                break;
            if (line.isEmpty()) {
                startBody();
                break;
            }
            if (!headerLine(line))
                return false;
            break;
        case State::Body: {
            qsizetype n = data.size();
            if (!m_untilClose)
                n = qsizetype(qMin<qint64>(n, m_length - m_received));
            m_received += n;
            body(data.first(n));
            data = data.sliced(n);
            if (!m_untilClose && m_received == m_length)
                m_state = State::Done;
            break;
        }
        case State::ChunkSize: {
            if (!takeLine(data, &line))
                break;
            const qsizetype extension = line.indexOf(';');
            const QByteArray hex = (extension < 0 ? line : line.left(extension)).trimmed();
            bool ok = false;
            const qint64 size = hex.toLongLong(&ok, 16);
            if (!ok || size < 0 || size > (qint64(1) << 40))
                return fail(QStringLiteral("Invalid chunk in the reply"));
            m_chunkLeft = size;
            m_headerBytes = 0; // the limit is per chunk line, not for the whole body
            m_state = size == 0 ? State::Trailers : State::ChunkData;
            break;
        }
        case State::ChunkData: {
            const qsizetype n = qsizetype(qMin<qint64>(data.size(), m_chunkLeft));
            m_chunkLeft -= n;
            m_received += n;
            body(data.first(n));
            data = data.sliced(n);
            if (m_chunkLeft == 0)
                m_state = State::ChunkEnd;
            break;
        }
        case State::ChunkEnd:
            if (!takeLine(data, &line))
                break;
            if (!line.isEmpty())
                return fail(QStringLiteral("Invalid chunk in the reply"));
            m_headerBytes = 0;
            m_state = State::ChunkSize;
            break;
        case State::Trailers:
            if (!takeLine(data, &line))
                break;
            if (line.isEmpty())
                m_state = State::Done;
            break;
        case State::Done:
            return true; // anything after the reply is not ours
        case State::Failed:
            return false;
        }
        if ((m_state == State::StatusLine || m_state == State::Headers || m_state == State::ChunkSize ||
             m_state == State::ChunkEnd || m_state == State::Trailers) &&
            (m_headerBytes > kMaxHeaderBytes || m_line.size() > kMaxHeaderBytes))
            return fail(QStringLiteral("The reply's header is too large"));
    }
    return m_state != State::Failed;
}

bool HttpReplyParser::closed()
{
    if (m_state == State::Body && m_untilClose)
        m_state = State::Done;
    return m_state == State::Done;
}
