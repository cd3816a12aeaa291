#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QSslSocket;
struct Inflater;

// Reads what an http(s) address answers to a GET, over a connection of its own: the status, the
// headers that the callers need and the body (chunks undone, gzip or deflate unpacked where asked
// for). Everything it reads is bounded (64 KiB of headers; `bodyLimit` of body kept in the reply,
// or handed to a sink that may stop it), and stop() closes the connection at once: a server that
// sends headers or a body without end costs nothing once the caller is done (Qt's own HTTP reader
// kept reading such headers after an abort, a core busy for as long as the server went on).
// Redirects are followed where the request allows them (never from https to less), or left to
// the caller. "ICY 200 OK" status lines are the HTTP statuses they are.
class HttpReader : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QUrl url; // http or https
        QString userAgent;
        QString referrer; // not sent when empty
        QString cookie;
        QList<QSslCertificate> extraCertificates = {}; // trusted besides the system's
        bool compressed = false;                       // asks for gzip or deflate, and unpacks it
        int maxRedirects = 0;                          // followed here; 0: the caller sees them
        // A cached copy's validators: an unchanged resource answers 304 Not Modified.
        QString ifNoneMatch = {};
        QString ifModifiedSince = {};
    };
    // Takes the body as it comes (instead of the reply keeping it); false ends the reading (with
    // an error, so that finished tells it).
    using Sink = std::function<bool(QByteArrayView data)>;
    struct Reply
    {
        int status = 0;
        QString reason;
        QByteArray contentType;
        QByteArray location;
        QString etag;         // validators for the next request
        QString lastModified;
        QByteArray body;
        bool ended = false;  // the body ended (rather than reached the limit)
        qint64 length = -1;  // Content-Length, where given
        qint64 received = 0; // bytes of body that came (before unpacking)
    };
    static constexpr qsizetype kMaxHeaders = 64 * 1024;
    // The error of a reply whose headers do not end within kMaxHeaders.
    static constexpr const char *kEndlessHeaders = "headers without end";

    // Where a redirect from `from` to `location` leads; empty where it may not be followed (not
    // http or https, or from https to less).
    static QUrl RedirectTarget(const QUrl &from, const QByteArray &location);

    HttpReader(const Request &request, qsizetype bodyLimit, QObject *parent = nullptr);
    ~HttpReader() override;

    void setSink(Sink sink) { m_sink = std::move(sink); }
    void start();
    // Where the reply comes from (after the redirects followed).
    QUrl url() const { return m_request.url; }
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
    // Hands on what came of the body: unpacked, to the sink or into the reply.
    bool deliver(QByteArrayView data);
    void end(const QString &error);

    Request m_request;
    qsizetype m_limit;
    QPointer<QSslSocket> m_socket;
    Reply m_reply;
    QByteArray m_head;
    bool m_headersDone = false;
    bool m_chunked = false;
    Sink m_sink;
    std::unique_ptr<Inflater> m_inflater;
    qint64 m_chunkLeft = 0; // of the chunk being read
    QByteArray m_chunkLine; // a chunk's size line, as it comes
    int m_chunkState = 0;   // 0: size line, 1: data, 2: the CR LF after it
    bool m_finished = false;
    int m_redirects = 0;
};
