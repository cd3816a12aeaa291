#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>

class QTcpServer;

// An HTTP server on 127.0.0.1 with its own thread, so it answers whatever the test's GUI thread
// is doing. It serves a folder (with byte ranges) and scripted raw replies, and records every
// request head it receives.
class TestHttpServer
{
public:
    struct Reply
    {
        QByteArray raw;           // sent as is
        QList<QByteArray> pieces; // further pieces, each after pieceDelayMs
        int pieceDelayMs = 0;
        int delayMs = 0;     // before anything is sent
        bool silent = false; // accept, read, never answer, never close
        bool close = true;   // close once everything is sent
        // Called on the server's thread once each part is written (0: raw, then the pieces).
        std::function<void(int part)> sent;
    };

    // port 0: any free port. Any address of the loopback network (127.0.0.0/8) is a host of its own.
    explicit TestHttpServer(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    bool isListening() const { return m_port != 0; }
    ~TestHttpServer();

    quint16 port() const { return m_port; }
    QString url(const QString &path) const;

    void serveDirectory(const QString &dir);
    void script(const QString &path, const Reply &reply);
    void script(const QString &path, const QByteArray &raw)
    {
        Reply r;
        r.raw = raw;
        script(path, r);
    }
    QList<QByteArray> requests() const;
    // How many requests asked for exactly `target` (a path, with its query if any).
    int requestsFor(const QByteArray &target) const;
    // The first request head holding `text`; empty when none does.
    QByteArray requestWith(const QByteArray &text) const;
    void clearRequests();

private:
    friend class HttpWorker;
    QThread m_thread;
    QObject *m_worker = nullptr;
    quint16 m_port = 0;
    QString m_address;
    mutable QMutex m_lock;
    QString m_dir;
    QHash<QString, Reply> m_scripts;
    QList<QByteArray> m_requests;
};

// An internet radio's stream: `mp3` in pieces of `metaint` bytes, one piece every
// `pieceDelayMs`, each followed by an ICY metadata block naming the next of `titles` (round).
TestHttpServer::Reply IcyStream(const QByteArray &mp3, const QStringList &titles, int metaint, int pieceDelayMs);

// A reply whose headers do not end: `statusLine`, then 20 MB of header lines.
TestHttpServer::Reply EndlessHeaders(const QByteArray &statusLine = "HTTP/1.1 200 OK");

// The processor time this process has used so far, in seconds: what goes on in its threads
// once a test thinks they are idle.
double ProcessCpuSeconds();

// A plain, complete HTTP/1.0 reply.
QByteArray HttpReply(int status, const QByteArray &reason, const QByteArray &body, const QByteArray &extraHeaders = {});
