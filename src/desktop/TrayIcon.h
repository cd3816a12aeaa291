#pragma once

#include <QObject>
#include <memory>

class NowPlaying;
class QAction;
class QMenu;
class QSystemTrayIcon;

// The icon in the desktop's tray (where it has one): the player's commands in its menu, what
// plays in its tooltip; a click brings the window back.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    struct Actions
    {
        QAction *play;
        QAction *pause;
        QAction *stop;
        QAction *next;
        QAction *previous;
        QAction *mute;
    };

    TrayIcon(const Actions &actions, NowPlaying &now, QObject *parent = nullptr);
    ~TrayIcon() override;

    // The desktop shows tray icons (else the icon stays hidden and closing the window quits).
    static bool isAvailable();
    void show();
    QString toolTip() const;
    QMenu *menu() const { return m_menu.get(); }

signals:
    void showWindowRequested();
    void quitRequested();

private:
    void update();

    NowPlaying &m_now;
    std::unique_ptr<QMenu> m_menu; // a tray menu has no parent widget
    QSystemTrayIcon *m_icon;
};
