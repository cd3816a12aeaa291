#pragma once

#include "Health.h"
#include "StreamSniff.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <QTimer>
#include <QUrl>
#include <functional>

class HttpReader;
class QTcpSocket;

// Checks one channel without playing it: reads the first bytes of what its address answers,
// follows redirects, playlists and HLS variants to a stream, asks an RTSP server for its
// description. Reports once, by `finished`, within the time it is given.
class ChannelProbe : public QObject
{
    Q_OBJECT

public:
    ChannelProbe(const HealthTarget &target, int timeoutMs, QObject *parent = nullptr);
    ~ChannelProbe() override;

    void start();
    // The host asked for by hostWanted may be used now.
    void hostGranted(const QString &host);
    // The host whose connections this check uses (for the checker's share per host).
    static QString HostOf(const QString &address);

signals:
    void finished(const Health &health);
    // A redirect or a playlist leads to another host: the probe waits for hostGranted (the
    // checker keeps each host's share across hops).
    void hostWanted(const QString &host);

private:
    void open(const QUrl &url);
    void connectTo(const QUrl &url);
    void throughHost(const QUrl &url);
    // For a channel of a list from the internet: `then` runs where `url` leads to neither a
    // local file nor this computer's network; otherwise the check ends as unknown.
    void whenPublic(const QUrl &url, const std::function<void()> &then);
    void openHttp(const QUrl &url);
    void openRtsp(const QUrl &url);
    void httpHeaders();
    void httpData();
    void httpDone(const QString &error);
    void rtspData();
    // What a reply that came whole is: a stream, or a playlist to follow.
    void judge(const QByteArray &contentType, const QByteArray &body, const QUrl &url);
    void follow(const QList<QUrl> &entries);
    void conclude(Health::State state, const QString &reason);
    void dropConnections();

    HealthTarget m_target;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QPointer<HttpReader> m_http;
    QPointer<QTcpSocket> m_rtsp;
    QByteArray m_head; // what came so far
    QUrl m_url;        // what is being read now
    int m_depth = 0;   // playlists followed
    int m_redirects = 0;
    int m_rtspStep = 0;           // 1: OPTIONS sent, 2: DESCRIBE sent
    qsizetype m_rtspHeadEnd = -1; // where the reply's headers end, once they do
    bool m_viaPlaylist = false;
    QString m_host;    // the host this check counts on
    QUrl m_waitingFor; // what is opened once its host is granted
    bool m_done = false;
};
