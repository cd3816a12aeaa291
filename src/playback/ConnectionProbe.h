#pragma once

#include "StreamError.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

// Tells why a server could not be reached when an engine does not say: looks its name up and
// opens a TCP connection to its port; a plain HTTP server is then asked for the address, for
// the status it answers. Never blocks.
class ConnectionProbe : public QObject
{
    Q_OBJECT

public:
    explicit ConnectionProbe(QObject *parent = nullptr);
    ~ConnectionProbe() override;

    // Whether `url` names a server and port to try.
    static bool canProbe(const QUrl &url);
    void start(const QUrl &url, int timeoutMs = 5000);
    void cancel();
    bool isRunning() const { return m_socket != nullptr; }

signals:
    // Refused, UnknownHost or TimedOut; HttpStatus with the status and its phrase for an HTTP
    // error; Unknown when a connection could be made and said nothing wrong.
    void finished(StreamFailure::Fault fault, int httpStatus, const QString &phrase);

private:
    void done(StreamFailure::Fault fault, int httpStatus = 0, const QString &phrase = {});
    void connected();
    void answer();

    QPointer<QTcpSocket> m_socket;
    QTimer m_timer;
    QUrl m_url;
    QByteArray m_reply;
};
