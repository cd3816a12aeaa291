#pragma once

#include "PlaylistFetch.h"
#include "PlaylistStore.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTimer>

class ChannelTree;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QWidget;
class TGlobal;

// The user's playlists in the window: the Playlists menu, Add, Refresh and Manage, fetches (a
// few at once, so that a slow server holds up no other playlist) with their progress and a
// Cancel in the status bar, and the refreshes that fall due while the program runs.
class PlaylistCommands : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QMenu *menPlaylists;
        QAction *actAddPlaylist;
        QAction *actRefreshPlaylist;
        QAction *actManagePlaylists;
        QWidget *statusPanel; // shown while there is something to say
        QStatusBar *statusBar;
    };

    PlaylistCommands(const Widgets &widgets, TGlobal &global, ChannelTree &tree, QWidget *window);
    ~PlaylistCommands() override;

    void actAddPlaylistExecute();
    void actRefreshPlaylistExecute();
    void actManagePlaylistsExecute();
    // Add Playlist with its source filled in (a playlist opened from the desktop).
    void addPlaylistFrom(const QString &source);
    // Shows the playlist in the tree; false when there is no such playlist with a list.
    bool showPlaylist(const QString &id);
    // Properties of the selected channel of a shown playlist.
    void actPropertiesExecute();
    // Starts the refreshes that are due (`startup`: the check after the program started).
    void refreshDue(bool startup);
    void cancel();

    // The playlists the search looks in: their names and list files.
    QList<QPair<QString, QString>> searchScopes() const;
    QString shownId() const { return m_shownId; }
    bool isFetching() const { return !m_running.isEmpty(); }
    static constexpr int kMaxFetches = 3;
    PlaylistStore &store() { return m_store; }
    // Certificates trusted besides the system's for downloads (tests serve HTTPS with their own).
    void setExtraCertificates(const QList<QSslCertificate> &certificates);
    void setStallTimeout(int ms);

signals:
    // A fetch ended: added or refreshed (ok), failed or cancelled.
    void fetchFinished(const QString &id, const PlaylistFetch::Result &result);

private:
    struct Task
    {
        QString id;
        bool adding = false;
        bool quiet = false; // a background refresh: no message box
    };
    void rebuildMenu();
    void treeLoaded();
    void enqueue(const Task &task);
    struct Running
    {
        Task task;
        QString name;
        PlaylistFetch *fetch;
    };
    void startNext();
    void showFetching();
    void onProgress(const QString &name, qint64 received, qint64 total);
    void onFinished(PlaylistFetch *fetch, const PlaylistFetch::Result &result);
    void say(const QString &text, int ms);
    void updateCommands();

    Widgets m_w;
    TGlobal &m_global;
    ChannelTree &m_tree;
    QWidget *m_window;
    PlaylistStore m_store;
    QList<Running> m_running;
    QList<QSslCertificate> m_extraCertificates;
    int m_stallTimeoutMs = PlaylistFetch::kStallTimeoutMs;
    QActionGroup *m_menuGroup;
    QLabel *m_statusText;
    QPushButton *m_cancel;
    QTimer m_statusHide;
    QTimer m_dueTimer;
    QList<Task> m_queue;
    QString m_shownId;
};
