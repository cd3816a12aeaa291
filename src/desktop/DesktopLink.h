#pragma once

#include "TrayIcon.h"

#include <QDBusConnection>
#include <QObject>

class Mpris;
class NowPlaying;
class ScreenSaver;
class TitleNotifier;

// The player's place on the desktop: media keys and sound menu (MPRIS), the tray icon, the
// screen saver kept away during video, notifications of new titles. Commands go to the
// window's actions; what needs the window is asked for by signals.
class DesktopLink : public QObject
{
    Q_OBJECT

public:
    // bus: the session bus (tests pass a private one); unconnected: no MPRIS, screen saver or
    // notifications, the rest as usual.
    DesktopLink(const TrayIcon::Actions &actions, NowPlaying &now, const QDBusConnection &bus,
                QObject *parent = nullptr);
    ~DesktopLink() override;

    // The volume control's level (0..100), told to the desktop.
    void setVolume(int volume);
    void setNotifications(bool on);

    Mpris *mpris() const { return m_mpris; }
    TrayIcon *tray() const { return m_tray; }
    ScreenSaver *screenSaver() const { return m_screenSaver; }

signals:
    void raiseRequested();
    void quitRequested();
    void openRequested(const QString &address);
    void volumeRequested(int volume);

private:
    Mpris *m_mpris;
    TrayIcon *m_tray;
    ScreenSaver *m_screenSaver;
    TitleNotifier *m_notifier;
};
