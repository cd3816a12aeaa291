#pragma once

#include <QObject>

class FullScreen;
class PlaybackController;
class QAction;
class QMenu;
class QWidget;
class VolumeControl;

// The application's message hook: every event passes through it before it is delivered. A
// right press on the player opens the player popup; a double-click on either engine's video
// switches to full screen. Where the picture has the focus, or in full screen, the keys every
// player has work (Space play/pause, M mute, F full screen, Up/Down volume); the wheel over
// the picture changes the volume.
class PlayerHook : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QWidget *imgWmplay;
        QMenu *popControl;
        QAction *act50;
        QAction *act100;
        QAction *act200;
        QAction *actFull;
        QAction *actPlay;
        QAction *actPause;
        QAction *actMute;
        QAction *actLastChannel;
    };
    PlayerHook(const Widgets &widgets, PlaybackController &playback, FullScreen &fullScreen, VolumeControl &volume,
               QObject *parent);
    ~PlayerHook() override;

    // Handles one event; returns true when it goes no further.
    bool ApplicationEvents1Message(QObject *receiver, QEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override { return ApplicationEvents1Message(watched, event); }

private:
    bool inPicture(const QWidget *w) const;
    bool pictureKey(int key);

    Widgets m_w;
    PlaybackController &m_playback;
    FullScreen &m_fullScreen;
    VolumeControl &m_volume;
};
