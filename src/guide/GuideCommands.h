#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

class ChannelTree;
class NowPlaying;
class GuideOnTree;
class GuideReminders;
struct Reminder;
class GuideService;
class GuideSourcesDialog;
class GuideWindow;
class LogoCache;
class PlaylistStore;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTreeWidget;
class QWidget;
class TGlobal;

// The Guide menu and what the guide shows in the window: what is on in the tree, a long
// import's progress and a failed refresh in the status bar.
class GuideCommands : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QMenuBar *menuBar;
        QAction *before; // the Guide menu goes before this menu of the bar
        QTreeWidget *tree;
        QWidget *statusPanel;
        QStatusBar *statusBar;
    };

    GuideCommands(const Widgets &widgets, TGlobal &global, ChannelTree &tree, PlaylistStore &playlists, NowPlaying &now,
                  QWidget *window);
    ~GuideCommands() override;

    GuideService &service() { return *m_guide; }
    QMenu *menu() const { return m_menu; }
    // The lists and the playlists' guides are read again (a playlist was added or refreshed).
    void listsChanged();
    void showSources();
    // Guide > Show Guide: the grid of the list the tree shows.
    void showGuide();
    GuideWindow *guideWindow() const;
    GuideReminders &reminders() { return *m_reminders; }
    // Where the Guide window finds the channels' logos.
    void setLogos(LogoCache *logos) { m_logos = logos; }

signals:
    // A reminder's Play: the channel is not in the list shown, so the window plays it.
    void playRequested(const QString &address, const QString &name);

private:
    void say(const QString &text, int ms);
    // What the guide says is on the channel playing, for the status line and the desktop.
    void tellProgramme();
    // A reminder came due: a desktop notification with a Play action, and the status bar.
    void remind(const Reminder &reminder);
    Q_SLOT void notificationAction(uint id, const QString &action);

    Widgets m_w;
    TGlobal &m_global;
    PlaylistStore &m_playlists;
    QWidget *m_main;
    GuideService *m_guide;
    GuideOnTree *m_onTree;
    QMenu *m_menu;
    QLabel *m_status;
    QTimer m_statusHide;
    bool m_showingProgress = false;
    QPointer<GuideSourcesDialog> m_sources;
    QPointer<GuideWindow> m_window;
    GuideReminders *m_reminders;
    LogoCache *m_logos = nullptr;
    QHash<uint, QPair<QString, QString>> m_notified; // notification -> address, channel
    NowPlaying &m_now;
    ChannelTree &m_tree;
    QString m_playingId, m_playingTvgName, m_playingName; // of the channel the tree played
    qint64 m_playingShift = 0;
    int m_playingStream = -1;
    QTimer m_programmeTimer;
};
