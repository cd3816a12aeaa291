#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class NowPlaying;

// The player on the session bus (MPRIS 2): the desktop's media keys, sound menu and lock screen
// see what plays and control it. What they ask for is reported by signals; the owner carries it
// out and tells the volume back. Without a session bus nothing is registered and nothing
// changes.
class Mpris : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

    explicit Mpris(NowPlaying &now, QObject *parent = nullptr);
    ~Mpris() override;

    // Takes org.mpris.MediaPlayer2.zentavo (or, held by another, a name of its own per process).
    bool start(const QDBusConnection &bus);
    QString serviceName() const { return m_service; }

    // The volume the user set, 0..1.
    void setVolume(double volume);
    double volume() const { return m_volume; }

    QString playbackStatus() const;
    QVariantMap metadata() const;
    bool hasTrack() const;

signals:
    void raiseRequested();
    void quitRequested();
    void playRequested();
    void pauseRequested();
    void playPauseRequested();
    void stopRequested();
    void nextRequested();
    void previousRequested();
    void openUriRequested(const QString &uri);
    void volumeRequested(double volume);

private:
    // Qt D-Bus never tells property changes by itself.
    void propertiesChanged(const QVariantMap &changed);

    NowPlaying &m_now;
    QDBusConnection m_bus;
    QString m_service;
    double m_volume = 0.5;
    bool m_hadTrack = false;
};
