#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSet>

class QNetworkReply;

// Finds the stream a playlist file (.pls, .m3u, .ram, .smil) leads to: downloads or reads it,
// takes the first entry and follows further playlists a few levels deep. Never blocks.
class PlaylistResolver : public QObject
{
    Q_OBJECT

public:
    explicit PlaylistResolver(QObject *parent = nullptr);

    void resolve(const QString &address);
    void cancel();

    static constexpr int kMaxDepth = 4;
    static constexpr qint64 kMaxSize = 1 << 20;
    static constexpr int kTimeoutMs = 15000;

signals:
    void resolved(const QString &stream);
    void failed(const QString &why);

private:
    void fetch(const QString &address);
    void parsed(const QString &address, const QByteArray &content);

    QNetworkAccessManager m_net;
    QPointer<QNetworkReply> m_reply;
    QSet<QString> m_seen;
    int m_serial = 0;
};
