#pragma once

#include <QObject>

class FullScreen;
class PlaybackController;
class QAction;
class QMenu;
class QWidget;

// The application's message hook: every event passes through it before it is delivered. A
// right press on the player opens the player popup; a double-click on either engine's video
// switches to full screen.
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
    };
    PlayerHook(const Widgets &widgets, PlaybackController &playback, FullScreen &fullScreen, QObject *parent);
    ~PlayerHook() override;

    // Handles one event; returns true when it goes no further.
    bool ApplicationEvents1Message(QObject *receiver, QEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override { return ApplicationEvents1Message(watched, event); }

private:
    Widgets m_w;
    PlaybackController &m_playback;
    FullScreen &m_fullScreen;
};
