#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>

class ChannelHistory;
class DesktopLink;
class RecentTitles;
class ChannelTree;
class FavoritesCommands;
class FullScreen;
class GuideCommands;
class HealthCommands;
class ListUpdateCheck;
class LogoCache;
class LogoIcons;
class WebPages;
class PlaybackController;
class PlayerHook;
class PlaylistCommands;
class PlaylistOpener;
class QAction;
class QMenu;
class SkinEngine;
class SkinMenu;
class TGlobal;
class VideoLayout;
class VolumeControl;
class WindowMemory;
namespace Ui {
class Tfrm_Main;
}

// The main window: the channel tree on the left, the player area with its control bar on the
// right. It owns the controls, menus, actions and state; the subsystems' classes do the work.
class Tfrm_Main : public QMainWindow
{
    Q_OBJECT

public:
    explicit Tfrm_Main(TGlobal &global, QWidget *parent = nullptr);
    ~Tfrm_Main() override;

    // The play operation: plays `address` (empty: the current stream again) titled `name`.
    void PlayStream(const QString &address, const QString &name);
    // What a start of the program asked for: the window comes to the front (raise), and the
    // first address or file plays as Open URL would play it.
    void openRequest(const QStringList &arguments, bool raise);

    // Commands of this window.
    void actExitExecute();
    void actOpenExecute();
    void actOPtionExecute();
    void actAboutExecute();
    void actSearchExecute();
    void actUpdateExecute();
    void EzRgnBtn3Click();
    void Splitter1Moved();
    // Ends the program, also from the tray (where closing the window may only hide it).
    void quit();

    TGlobal &global() { return m_global; }
    SkinEngine *skinEngine() const { return skinmain; }
    VideoLayout *videoLayout() const { return m_video; }
    ChannelTree *channelTree() const { return m_tree; }
    ChannelHistory *channelHistory() const { return m_history; }
    PlaybackController *playback() const { return m_playback; }
    VolumeControl *volume() const { return m_volume; }
    ListUpdateCheck *listUpdateCheck() const { return m_listCheck; }
    PlaylistCommands *playlists() const { return m_playlists; }
    DesktopLink *desktop() const { return m_desktop; }
    HealthCommands *health() const { return m_health; }
    GuideCommands *guide() const { return m_guide; }
    RecentTitles *recentTitles() const { return m_recent.get(); }
    LogoCache *logos() const { return m_logos; }
    LogoIcons *logoIcons() const { return m_logoIcons; }
    QMenu *popLeftMenu() const { return popLeft; }
    QMenu *popControlMenu() const { return popControl; }
    // The list shown at start is in the tree (it loads once the window is on screen).
    bool firstListLoaded() const;
    static constexpr int kDueRefreshDelayMs = 3000;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormResize();
    void buildPopups();
    void createSubsystems();
    void wireActions();
    // Loads the list shown at start once the window is on screen (a long list fills the tree
    // in slices while the window is already there).
    void loadFirstList();
    void showPlayedLogo();
    void createDesktopLink();
    void fillStreamInfo();

    TGlobal &m_global;
    Ui::Tfrm_Main *m_ui;
    QMenu *popLeft = nullptr;
    QMenu *popControl = nullptr;
    QMenu *m_streamInfo = nullptr;
    DesktopLink *m_desktop = nullptr;
    HealthCommands *m_health = nullptr;
    GuideCommands *m_guide = nullptr;
    std::unique_ptr<RecentTitles> m_recent;
    bool m_quitting = false;
    SkinEngine *skinmain = nullptr;
    SkinMenu *m_skinMenu = nullptr;
    VideoLayout *m_video = nullptr;
    FullScreen *m_fullScreen = nullptr;
    PlaybackController *m_playback = nullptr;
    VolumeControl *m_volume = nullptr;
    PlayerHook *ApplicationEvents1 = nullptr;
    ChannelTree *m_tree = nullptr;
    ChannelHistory *m_history = nullptr;
    FavoritesCommands *m_favorites = nullptr;
    PlaylistCommands *m_playlists = nullptr;
    LogoCache *m_logos = nullptr;
    LogoIcons *m_logoIcons = nullptr;
    PlaylistOpener *m_opener = nullptr;
    QString m_playedLogo; // the logo of the channel playing, shown once it is on disk
    int m_playedStream = 0;
    ListUpdateCheck *m_listCheck = nullptr;
    WebPages *m_web = nullptr;
    std::unique_ptr<WindowMemory> m_memory;
    QPointer<QAction> m_firstList; // the list to load once the window is on screen
    QString m_firstPlaylist;       // or the playlist
    bool m_shown = false;
};
