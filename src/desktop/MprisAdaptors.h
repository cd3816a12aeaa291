#pragma once

#include "Mpris.h"
#include "base/OutsideText.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>

// The two interfaces MPRIS asks for, on one object; they only forward to Mpris.
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ schemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)

public:
    explicit MprisRootAdaptor(Mpris *mpris) : QDBusAbstractAdaptor(mpris), m_mpris(mpris) {}

    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const;
    QString desktopEntry() const;
    QStringList schemes() const;
    QStringList mimeTypes() const;

public slots:
    void Raise() { emit m_mpris->raiseRequested(); }
    void Quit() { emit m_mpris->quitRequested(); }

private:
    Mpris *m_mpris;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ hasTrack)
    Q_PROPERTY(bool CanPause READ hasTrack)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

public:
    explicit MprisPlayerAdaptor(Mpris *mpris) : QDBusAbstractAdaptor(mpris), m_mpris(mpris) {}

    QString playbackStatus() const { return m_mpris->playbackStatus(); }
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return m_mpris->metadata(); }
    double volume() const { return m_mpris->volume(); }
    void setVolume(double v) { emit m_mpris->volumeRequested(qBound(0.0, v, 1.0)); }
    qlonglong position() const { return 0; }
    bool yes() const { return true; }
    bool no() const { return false; }
    bool hasTrack() const { return m_mpris->hasTrack(); }

public slots:
    void Next() { emit m_mpris->nextRequested(); }
    void Previous() { emit m_mpris->previousRequested(); }
    void Pause() { emit m_mpris->pauseRequested(); }
    void PlayPause() { emit m_mpris->playPauseRequested(); }
    void Stop() { emit m_mpris->stopRequested(); }
    void Play() { emit m_mpris->playRequested(); }
    // Any program on the bus may call it: an address longer than any real one is not taken.
    void OpenUri(const QString &uri)
    {
        if (uri.size() <= outside::kAddress)
            emit m_mpris->openUriRequested(uri);
    }
    // Live streams cannot be wound: both do nothing, as CanSeek says.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}

signals:
    void Seeked(qlonglong position);

private:
    Mpris *m_mpris;
};
