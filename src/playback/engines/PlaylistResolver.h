#pragma once

#include <QObject>
#include <QSet>
#include <QUrl>

#include <functional>
#include <memory>

class HttpReader;

// Finds the stream a playlist file (.pls, .m3u, .ram, .smil) leads to: downloads or reads it,
// takes the first entry and follows further playlists a few levels deep. Never blocks. For a
// channel of a list from the internet, no hop (entry or redirect) may lead to a local file or
// into this computer's network.
class PlaylistResolver : public QObject
{
    Q_OBJECT

public:
    explicit PlaylistResolver(QObject *parent = nullptr);
    ~PlaylistResolver() override;

    void resolve(const QString &address, bool fromWeb = false);
    void cancel();

    static constexpr int kMaxDepth = 4;
    static constexpr int kMaxRedirects = 5;
    static constexpr qint64 kMaxSize = 1 << 20;
    static constexpr int kTimeoutMs = 15000;

signals:
    void resolved(const QString &stream);
    void failed(const QString &why);

private:
    // Goes on (from the event loop) once `address` may be opened: always, unless the channel
    // is of a list from the internet.
    void whenAllowed(const QString &address, const std::function<void()> &go);
    void fetch(const QUrl &url, const QString &address);
    void download(const QUrl &url, const QString &address);
    void downloaded(const QString &address, const QString &error);
    void parsed(const QString &address, const QByteArray &content, const QUrl &base);
    void fail(const QString &why);

    std::unique_ptr<HttpReader> m_reader;
    QSet<QString> m_seen;
    int m_serial = 0;
    int m_redirects = 0;
    bool m_fromWeb = false;
};
