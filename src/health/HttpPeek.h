#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QSslSocket;

// Reads the start of what an http(s) address answers to a GET: the status, the headers that a
// check needs and the first bytes of the body (chunks undone), over a connection of its own.
// Everything it reads is bounded (64 KiB of headers, `bodyLimit` of body), and dropping it closes
// the connection at once: a server that sends headers without end, or a body without end,
// costs nothing once the check is over (Qt's own HTTP reader kept reading such headers after an
// abort, a core busy for as long as the server went on). Redirects are the caller's to follow.
// "ICY 200 OK" status lines are read as the HTTP statuses they are.
class HttpPeek : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QUrl url; // http or https
        QString userAgent;
        QString referrer; // not sent when empty
        QString cookie;
    };
    struct Reply
    {
        int status = 0;
        QString reason;
        QByteArray contentType;
        QByteArray location;
        QByteArray body;
        bool ended = false; // the body ended (rather than reached the limit)
    };
    static constexpr qsizetype kMaxHeaders = 64 * 1024;

    HttpPeek(const Request &request, qsizetype bodyLimit, QObject *parent = nullptr);
    ~HttpPeek() override;

    void start();
    // Closes the connection now; nothing more is reported.
    void stop();
    const Reply &reply() const { return m_reply; }

signals:
    void headersRead();
    void bodyRead(); // more of the body came
    // The body ended or reached its limit (`error` empty), or the exchange failed: `error` says
    // why in the checker's words ("refused", "name not found", "empty reply", "TLS failure: ...").
    void finished(const QString &error);

private:
    void readable();
    bool readHeaders();
    void readBody(QByteArrayView data);
    void end(const QString &error);

    Request m_request;
    qsizetype m_limit;
    QPointer<QSslSocket> m_socket;
    Reply m_reply;
    QByteArray m_head;
    bool m_headersDone = false;
    bool m_chunked = false;
    qint64 m_length = -1;   // Content-Length, where given
    qint64 m_chunkLeft = 0; // of the chunk being read
    QByteArray m_chunkLine; // a chunk's size line, as it comes
    int m_chunkState = 0;   // 0: size line, 1: data, 2: the CR LF after it
    bool m_finished = false;
};
