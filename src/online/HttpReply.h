#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

// Reads an HTTP reply as it arrives: status line, header lines, then the body, which goes out
// piece by piece (decoded when chunked) and is never kept here.
class HttpReplyParser
{
public:
    using BodySink = std::function<void(QByteArrayView)>;

    // Feeds received bytes; returns false when the reply is malformed (see error()).
    bool feed(QByteArrayView data, const BodySink &body);
    // The server closed the connection. Returns whether the reply is complete: a body that
    // runs until the close is; a shorter body than announced, or an unfinished chunk, is not.
    bool closed();

    bool headersDone() const { return m_state > State::Headers; }
    bool done() const { return m_state == State::Done; }
    int statusCode() const { return m_status; }
    QString reasonPhrase() const { return m_reason; }
    std::optional<QByteArray> header(QByteArrayView name) const;
    qint64 contentLength() const { return m_length; } // -1 when none was announced
    qint64 received() const { return m_received; }
    const QString &error() const { return m_error; }

    static constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

private:
    enum class State { StatusLine, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Done, Failed };
    bool fail(const QString &why);
    bool headerLine(const QByteArray &line);
    void startBody();
    bool takeLine(QByteArrayView &data, QByteArray *line);

    State m_state = State::StatusLine;
    QByteArray m_line;
    qsizetype m_headerBytes = 0;
    int m_status = 0;
    QString m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    qint64 m_length = -1;
    qint64 m_received = 0;
    qint64 m_chunkLeft = 0;
    bool m_chunked = false;
    bool m_untilClose = false;
    QString m_error;
};
