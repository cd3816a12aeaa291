#pragma once

#include "HttpReply.h"
#include "base/Errors.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QEventLoop;
class QIODevice;
class QTcpSocket;
class QTimer;

// A request that ended with a status of 400 or above (or failed on the way).
class EHttpException : public ZError
{
public:
    EHttpException(int code, const QString &message) : ZError(message), ErrorCode(code) {}
    int ErrorCode;
};

// Our HTTP/1.0 client. Get fetches URL into ReceiveStream and returns when the request is over;
// meanwhile it runs the GUI's events, so a handler (a Cancel button) can Abort it. Redirects
// are followed (five at most). Bodies go straight to the stream as they arrive.
class THttpCli : public QObject
{
    Q_OBJECT

public:
    // name: the component's name, used in the busy message.
    explicit THttpCli(const QString &name, QObject *parent = nullptr);
    ~THttpCli() override;

    // The fixed settings every client has.
    static constexpr const char *RequestVer = "1.0";
    static constexpr const char *Agent = "Mozilla/3.0 (compatible)";
    static constexpr const char *Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    static constexpr int LocationChangeMaxCount = 5;
    static constexpr qint64 kReadSlice = 1 << 20;

    QString URL;
    QIODevice *ReceiveStream = nullptr;
    // Limits on what a server can make us do: the body's size (-1: none), the time until the
    // reply's headers have arrived (each location change starts again) and the time the whole
    // request may take (location changes included).
    qint64 MaxBodySize = -1;
    int HeaderTimeoutMs = 60 * 1000;
    int TotalTimeoutMs = 10 * 60 * 1000;
    qint64 ContentLength = -1;
    qint64 ReceivedCount = 0;
    int StatusCode = 0;
    QString ReasonPhrase;

    // Raises EHttpException for a final status of 400 or above, for a failure, and when busy.
    void Get();
    // Ends the request in progress; on an idle client only closes a connection left open.
    void Abort();
    bool isBusy() const { return m_busy; }

    // A request that receives nothing for this long fails (DNS and connecting included).
    static int StallTimeoutMs();
    static void SetStallTimeoutMs(int ms);

signals:
    void OnDocBegin();
    void OnDocData();

private:
    struct Target
    {
        QString scheme;
        QString host;
        quint16 port = 80;
        QByteArray path;
    };
    enum class Outcome { Pending, Complete, Failed };

    bool parse(const QString &address, Target *target) const;
    QString resolveLocation(const QString &location) const;
    void request(const Target &target);
    void received();
    void finish(Outcome outcome);
    void failWith(int code, const QString &reason);
    void wait();

    QPointer<QTcpSocket> m_socket;
    QTimer *m_stall;
    QTimer *m_headerDeadline;
    QTimer *m_deadline;
    QEventLoop *m_loop = nullptr;
    HttpReplyParser m_parser;
    QString m_current;
    int m_lookupId = -1;
    bool m_busy = false;
    bool m_begun = false;
    bool m_connected = false;
    Outcome m_outcome = Outcome::Pending;
};

// The order every caller of Get follows: the local file is created (or emptied) and receives
// the body; the client lets go of it whatever happens. Raises ZError when the file cannot be
// created.
class ReceiveFile
{
public:
    ReceiveFile(THttpCli &client, const QString &path);
    ~ReceiveFile();
    ReceiveFile(const ReceiveFile &) = delete;
    ReceiveFile &operator=(const ReceiveFile &) = delete;

    // What was received, once Get has returned.
    QByteArray contents();
    // Removes what was received (a failed request leaves no part of a document behind).
    void discard();

private:
    THttpCli &m_client;
    QFile m_file;
};
