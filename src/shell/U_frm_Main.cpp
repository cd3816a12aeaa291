#include "U_frm_Main.h"
#include "ui_U_frm_Main.h"

#include "WindowMemory.h"
#include "appearance/SkinEngine.h"
#include "appearance/SkinMenu.h"
#include "base/AppInfo.h"
#include "base/Guard.h"
#include "base/pGloba.h"
#include "catalogue/ChannelHistory.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/FavoritesCommands.h"
#include "catalogue/U_frmSearch.h"
#include "desktop/DesktopLink.h"
#include "dialogs/RecentDialog.h"
#include "dialogs/U_frmOpenMedia.h"
#include "dialogs/U_frmOption.h"
#include "dialogs/uAbout.h"
#include "guide/GuideCommands.h"
#include "guide/GuideService.h"
#include "health/HealthCommands.h"
#include "online/ListUpdateCheck.h"
#include "online/U_frmUpdate.h"
#include "online/WebPages.h"
#include "playback/FullScreen.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackControl.h"
#include "playback/PlayerHook.h"
#include "playback/RecentTitles.h"
#include "playback/VideoLayout.h"
#include "playback/VolumeControl.h"
#include "playlists/LogoCache.h"
#include "playlists/LogoIcons.h"
#include "playlists/OpenedPlaylist.h"
#include "playlists/PlaylistCommands.h"
#include "playlists/PlaylistOpener.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

Tfrm_Main::Tfrm_Main(TGlobal &global, QWidget *parent) : QMainWindow(parent), m_global(global), m_ui(new Ui::Tfrm_Main)
{
    m_ui->setupUi(this);
    setWindowTitle(AppTitle());
    m_ui->Splitter1->setPanel(m_ui->panLeft);
    m_ui->panFlash->raise();
    m_ui->ImagePanel1->raise();
    m_ui->ImagePanel3->raise();
    m_ui->imgMove->raise();
    SetCaptionColor(m_ui->labCap, QColor(234, 0, 0));
    m_ui->labCap->installEventFilter(this);
    m_ui->labState->setStyleSheet(
        QStringLiteral("QLabel { color: #bfe3ff; background: transparent; font-size: 11px; }"));
    QFont treeFont(QStringLiteral("Verdana"));
    treeFont.setPointSize(8);
    m_ui->treChannle->setFont(treeFont);

    buildPopups();
    createSubsystems();
    wireActions();
    FormCreate();
}

Tfrm_Main::~Tfrm_Main()
{
    // In this order, whatever order they were made in: what uses others goes before them, the
    // engines before the widgets they draw in, and every event filter before the widgets it
    // watches.
    delete ApplicationEvents1; // sees every event; uses playback, full screen and volume
    delete m_desktop;          // follows what playback plays
    m_memory.reset();
    delete m_web;
    delete m_listCheck;
    delete m_favorites;
    delete m_history;
    delete m_health;
    delete m_guide; // draws on the tree, reads the playlists
    delete m_logoIcons;
    delete m_logos;
    delete m_playlists;
    delete m_tree;
    delete m_volume;
    m_playback->FreePlayers();
    delete m_playback;
    delete m_video;
    delete m_fullScreen;
    delete m_ui;
}

void Tfrm_Main::buildPopups()
{
    popLeft = new QMenu(this);
    popLeft->setObjectName(QStringLiteral("popLeft"));
    popLeft->addActions({m_ui->actLeftPlay, m_ui->actAddFav, m_ui->actAddNew, m_ui->actDelete});
    popLeft->addSeparator();
    popLeft->addActions({m_ui->actBroken, m_ui->actAddReview, m_ui->actProperties});

    popControl = new QMenu(this);
    popControl->setObjectName(QStringLiteral("popControl"));
    popControl->addActions({m_ui->actPlay, m_ui->actPause, m_ui->actStop});
    popControl->addSeparator();
    popControl->addActions({m_ui->act50, m_ui->act100, m_ui->act200, m_ui->actFull});
    popControl->addSeparator();
    popControl->addActions({m_ui->actVolumeUp, m_ui->actVolumeDown, m_ui->actMute});
    popControl->addSeparator();
    m_streamInfo = popControl->addMenu(QStringLiteral("Stream &Information"));
    m_streamInfo->setObjectName(QStringLiteral("menStreamInfo"));

    // Shortcuts work wherever the keyboard is in the window, full screen included (where the
    // menu bar is hidden); the window holds no text field whose keys they could take.
    for (QAction *a :
         {m_ui->actFull, m_ui->actOpen, m_ui->actSearch, m_ui->actDelete, m_ui->actVolumeUp, m_ui->actVolumeDown,
          m_ui->actMute, m_ui->actNextChannel, m_ui->actPreviousChannel, m_ui->actRefreshPlaylist}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
}

void Tfrm_Main::createSubsystems()
{
    m_fullScreen = new FullScreen(this, {m_ui->mnuMain, m_ui->panLeft, m_ui->Splitter1, m_ui->panControl}, this);
    m_video = new VideoLayout({this, m_ui->panLeft, m_ui->panControl, m_ui->imgWmplay, m_ui->panFlash, m_ui->act50,
                               m_ui->act100, m_ui->act200},
                              *m_fullScreen, this);
    m_playback =
        new PlaybackController({this, m_ui->imgPlay, m_ui->imgPause, m_ui->imgStop, m_ui->actPlay, m_ui->actPause,
                                m_ui->actStop, m_ui->actOpen, m_ui->act50, m_ui->act100, m_ui->act200, m_ui->actFull,
                                m_ui->panFlash, m_ui->imgWmplay, m_ui->gifConMedia, m_ui->labState, m_ui->imgmute},
                               m_global, *m_video, *m_fullScreen, this);
    m_volume = new VolumeControl(m_ui->imgRuler, m_ui->imgMove, m_ui->imgnomute, m_ui->imgmute, *m_playback, this);
    m_tree = new ChannelTree({m_ui->treChannle, m_ui->actFavorites, m_ui->actTV, m_ui->actRadio,
                              m_ui->menFilter->actions(), popLeft, m_ui->actLeftPlay, m_ui->actAddNew, m_ui->actDelete,
                              m_ui->actAddFav, m_ui->actProperties, m_ui->actBroken, m_ui->actAddReview},
                             m_global, *m_playback, this);
    m_favorites = new FavoritesCommands(*m_tree, m_ui->actFavorites, m_global, this);
    m_history = new ChannelHistory(*m_tree, *m_playback, m_global, this);
    m_playlists = new PlaylistCommands({m_ui->menPlaylists, m_ui->actAddPlaylist, m_ui->actRefreshPlaylist,
                                        m_ui->actManagePlaylists, m_ui->Panel5, m_ui->StatusBar1},
                                       m_global, *m_tree, this);
    m_logos = new LogoCache(m_global.CacheDir + QStringLiteral("logos/"), this);
    m_logoIcons = new LogoIcons(m_ui->treChannle, *m_tree, *m_logos, m_global);
    m_opener = new PlaylistOpener(this);
    connect(m_opener, &PlaylistOpener::playRequested, this,
            [this](const QString &address) { Guarded(this, [&] { PlayStream(address, address); }); });
    connect(m_opener, &PlaylistOpener::addRequested, this,
            [this](const QString &source) { Guarded(this, [&] { m_playlists->addPlaylistFrom(source); }); });
    connect(m_tree, &ChannelTree::channelStarted, this, [this](const ChannelItem &channel) {
        m_playedLogo = channel.attribute("Logo").value_or(QString());
        m_playedStream = m_playback->streamNumber();
        showPlayedLogo();
    });
    connect(m_logos, &LogoCache::ready, this, [this](const QString &address) {
        if (address == m_playedLogo)
            showPlayedLogo();
    });
    m_recent = std::make_unique<RecentTitles>(m_global.RecentFile);
    m_recent->load();
    connect(m_recent.get(), &RecentTitles::saveFailed, this,
            [](const QString &why) { qWarning("recently played titles not saved: %s", qPrintable(why)); });
    connect(m_playback->nowPlaying(), &NowPlaying::newTitle, this,
            [this](const QString &channel, const QString &title) {
                m_recent->add({QDateTime::currentDateTimeUtc(), channel, title});
            });
    createDesktopLink();
    m_health = new HealthCommands({m_ui->treChannle, m_ui->menFilter, m_ui->Panel5, m_ui->StatusBar1}, m_global,
                                  *m_tree, this);
    connect(m_playback, &PlaybackController::streamPlayed, m_health,
            [this](const QString &address) { m_health->played(address, true, {}); });
    connect(m_playback, &PlaybackController::streamFailed, m_health,
            [this](const QString &address, const QString &why) { m_health->played(address, false, why); });
    m_guide = new GuideCommands(
        {m_ui->mnuMain, m_ui->menOptions->menuAction(), m_ui->treChannle, m_ui->Panel5, m_ui->StatusBar1}, m_global,
        *m_tree, m_playlists->store(), *m_playback->nowPlaying(), this);
    m_guide->setLogos(m_logos);
    connect(m_playlists, &PlaylistCommands::fetchFinished, m_guide, [this] { m_guide->listsChanged(); });
    connect(m_guide, &GuideCommands::playRequested, this,
            [this](const QString &address, const QString &name) { Guarded(this, [&] { PlayStream(address, name); }); });
    m_listCheck = new ListUpdateCheck(m_global, this, m_ui->actTV, this);
    m_web = new WebPages([this] { return m_tree->ContextItem(); }, this);
    connect(m_video, &VideoLayout::resizeHandling, this, &Tfrm_Main::FormResize);
    connect(m_ui->Splitter1, &PanelSplitter::moved, this, &Tfrm_Main::Splitter1Moved);
}

void Tfrm_Main::createDesktopLink()
{
    m_desktop = new DesktopLink(
        {m_ui->actPlay, m_ui->actPause, m_ui->actStop, m_ui->actNextChannel, m_ui->actPreviousChannel, m_ui->actMute},
        *m_playback->nowPlaying(), QDBusConnection::sessionBus(), this);
    m_desktop->setNotifications(m_global.TitleNotifications);
    m_desktop->setVolume(m_volume->volume());
    connect(m_desktop, &DesktopLink::raiseRequested, this, [this] { openRequest({}, true); });
    connect(m_desktop, &DesktopLink::quitRequested, this, &Tfrm_Main::quit);
    connect(m_desktop, &DesktopLink::openRequested, this,
            [this](const QString &address) { openRequest({address}, false); });
    connect(m_desktop, &DesktopLink::volumeRequested, m_volume, &VolumeControl::setVolume);
    connect(m_volume, &VolumeControl::volumeChanged, m_desktop, &DesktopLink::setVolume);
}

void Tfrm_Main::fillStreamInfo()
{
    // Each line copies itself when picked.
    m_streamInfo->clear();
    for (const QString &line : m_playback->streamInfo()) {
        connect(m_streamInfo->addAction(line), &QAction::triggered, this,
                [line] { QGuiApplication::clipboard()->setText(line.section(QStringLiteral(": "), 1)); });
    }
}

void Tfrm_Main::quit()
{
    m_quitting = true;
    if (close())
        QCoreApplication::quit(); // a window hidden in the tray is no last window to close
}

void Tfrm_Main::wireActions()
{
    const auto run = [this](QAction *action, auto handler) {
        connect(action, &QAction::triggered, this, [this, handler] { Guarded(this, handler); });
    };
    run(m_ui->actFavorites, [this] { m_tree->actFavoritesExecute(); });
    run(m_ui->actTV, [this] { m_tree->actTVExecute(); });
    run(m_ui->actRadio, [this] { m_tree->actRadioExecute(); });
    run(m_ui->actLeftPlay, [this] { m_tree->actLeftPlayExecute(); });
    for (QAction *item : m_ui->menFilter->actions()) {
        if (item != m_health->hideAction() && !item->isSeparator())
            run(item, [this, item] { m_tree->menNewsClick(item); });
    }
    run(m_ui->actAddFav, [this] { m_favorites->actAddFavExecute(); });
    run(m_ui->actDelete, [this] { m_favorites->actDeleteExecute(); });
    run(m_ui->actBackup, [this] { m_favorites->actBackupExecute(); });
    run(m_ui->actRestoreFav, [this] { m_favorites->actRestoreFavExecute(); });
    run(m_ui->actProperties, [this] {
        if (m_tree->ChannelListKind() == ListKind::Playlist)
            m_playlists->actPropertiesExecute();
        else
            m_favorites->actPropertiesExecute();
    });
    run(m_ui->actNextChannel, [this] { m_tree->stepChannel(1); });
    run(m_ui->actPreviousChannel, [this] { m_tree->stepChannel(-1); });
    run(m_ui->actLastChannel, [this] { m_history->playPrevious(); });
    run(m_ui->actCheckChannels, [this] { m_health->checkShown(); });
    run(m_ui->actRecentlyPlayed, [this] {
        RecentDialog dlg(*m_recent, this);
        dlg.exec();
    });
    connect(m_streamInfo, &QMenu::aboutToShow, this, &Tfrm_Main::fillStreamInfo);
    run(m_ui->actAddPlaylist, [this] { m_playlists->actAddPlaylistExecute(); });
    run(m_ui->actRefreshPlaylist, [this] { m_playlists->actRefreshPlaylistExecute(); });
    run(m_ui->actManagePlaylists, [this] { m_playlists->actManagePlaylistsExecute(); });
    run(m_ui->actAddNew, [this] { m_favorites->actAddNewExecute(); });
    run(m_ui->actPlay, [this] { m_playback->actPlayExecute(); });
    run(m_ui->actPause, [this] { m_playback->actPauseExecute(); });
    run(m_ui->actStop, [this] { m_playback->actStopExecute(); });
    run(m_ui->actFull, [this] { m_playback->actFullExecute(); });
    run(m_ui->act50, [this] { m_video->act50Execute(); });
    run(m_ui->act100, [this] { m_video->act100Execute(); });
    run(m_ui->act200, [this] { m_video->act200Execute(); });
    run(m_ui->actSearch, [this] { actSearchExecute(); });
    run(m_ui->actExit, [this] { actExitExecute(); });
    run(m_ui->actOpen, [this] { actOpenExecute(); });
    run(m_ui->actOPtion, [this] { actOPtionExecute(); });
    run(m_ui->actAbout, [this] { actAboutExecute(); });
    run(m_ui->actUpdate, [this] { actUpdateExecute(); });
    run(m_ui->actHome, [this] { m_web->actHomeExecute(); });
    run(m_ui->actFaq, [this] { m_web->actFaqExecute(); });
    run(m_ui->actBroken, [this] { m_web->actBrokenExecute(); });
    run(m_ui->actAddReview, [this] { m_web->actAddReviewExecute(); });
    run(m_ui->actVolumeUp, [this] { m_volume->stepVolume(1); });
    run(m_ui->actVolumeDown, [this] { m_volume->stepVolume(-1); });
    connect(m_ui->actMute, &QAction::triggered, this, [this](bool on) { m_volume->setMuted(on); });
    connect(m_volume, &VolumeControl::muteChanged, m_ui->actMute, &QAction::setChecked);

    // The picture buttons execute their actions (which run only while enabled).
    connect(m_ui->imgPlay, &QAbstractButton::clicked, m_ui->actPlay, &QAction::trigger);
    connect(m_ui->imgPause, &QAbstractButton::clicked, m_ui->actPause, &QAction::trigger);
    connect(m_ui->imgStop, &QAbstractButton::clicked, m_ui->actStop, &QAction::trigger);
    connect(m_ui->EzRgnBtn3, &QAbstractButton::clicked, this, [this] { Guarded(this, [this] { EzRgnBtn3Click(); }); });
}

void Tfrm_Main::FormCreate()
{
    setWindowFlag(Qt::WindowStaysOnTopHint, m_global.Ontop);
    m_skinMenu = new SkinMenu(this, m_ui->menSkin, nullptr, m_ui->labCap, m_global);
    m_skinMenu->LoadSkinMenu(m_global.SkinDirs);
    skinmain = SkinEngine::SetUp(this, m_global.SkinPath);
    m_skinMenu->setEngine(skinmain);
    ApplicationEvents1 =
        new PlayerHook({m_ui->imgWmplay, popControl, m_ui->act50, m_ui->act100, m_ui->act200, m_ui->actFull,
                        m_ui->actPlay, m_ui->actPause, m_ui->actMute, m_ui->actLastChannel},
                       *m_playback, *m_fullScreen, *m_volume, this);
    // The playlist last shown comes back; else the list the preferences name.
    if (!m_global.LastPlaylist.isEmpty() && m_playlists->store().hasList(m_global.LastPlaylist) &&
        m_playlists->store().find(m_global.LastPlaylist))
        m_firstPlaylist = m_global.LastPlaylist;
    else
        m_global.LastPlaylist.clear();
    switch (m_firstPlaylist.isEmpty() ? m_global.DiplayList : -1) {
    case 0:
        m_firstList = m_ui->actFavorites;
        break;
    case 1:
        m_firstList = m_ui->actTV;
        break;
    case 2:
        m_firstList = m_ui->actRadio;
        break;
    default:
        break;
    }
    if (m_firstList)
        m_firstList->setChecked(true); // the list itself follows once the window shows
    m_volume->placeKnob(43);
    m_video->VideoScale = 1;
    m_memory = std::make_unique<WindowMemory>(WindowMemory::Widgets{this, m_ui->panLeft}, *m_volume, m_global);
    m_memory->restore();
}

void Tfrm_Main::showPlayedLogo()
{
    // Only while the channel it belongs to is the stream of the player.
    if (m_playedLogo.isEmpty() || m_playback->streamNumber() != m_playedStream)
        return;
    if (m_logos->has(m_playedLogo))
        m_playback->setArtwork(m_logos->fileFor(m_playedLogo));
    else
        m_logos->request(m_playedLogo);
}

bool Tfrm_Main::firstListLoaded() const
{
    return !m_firstList && m_firstPlaylist.isEmpty() && !m_tree->isLoading();
}

void Tfrm_Main::loadFirstList()
{
    const QString playlist = std::exchange(m_firstPlaylist, {});
    QAction *list = m_firstList.data();
    m_firstList.clear();
    if (!playlist.isEmpty())
        Guarded(this, [&] { m_playlists->showPlaylist(playlist); });
    else if (list)
        list->trigger();
    else
        return;
    Guarded(this, [this] { m_history->playLastAtStart(); });
    if (m_global.CheckAtStart)
        QTimer::singleShot(kDueRefreshDelayMs, m_health, [this] { m_health->checkShown(true); });
    // Playlists whose refresh is due are fetched in the background once the window is up.
    QTimer::singleShot(kDueRefreshDelayMs, m_playlists,
                       [this] { Guarded(this, [this] { m_playlists->refreshDue(true); }); });
}

void Tfrm_Main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void Tfrm_Main::closeEvent(QCloseEvent *event)
{
    m_memory->save();
    // Kept playing in the tray (where there is one): the tray's Quit ends the program.
    if (m_global.KeepInTray && !m_quitting && TrayIcon::isAvailable()) {
        event->ignore();
        hide();
        return;
    }
    QMainWindow::closeEvent(event);
}

void Tfrm_Main::FormShow()
{
    // The first list loads once the window has been drawn (or soon anyway, should the window
    // system never say it is exposed, as for a window started minimised).
    if (QWindow *handle = windowHandle())
        handle->installEventFilter(this);
    QTimer::singleShot(1000, this, &Tfrm_Main::loadFirstList);
    m_listCheck->FormShow();
    // Once the window is up, the engines load in the background.
    QTimer::singleShot(0, m_playback, &PlaybackController::Preload);
}

void Tfrm_Main::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void Tfrm_Main::FormResize()
{
    if (m_playback)
        m_playback->FormResize();
}

bool Tfrm_Main::eventFilter(QObject *watched, QEvent *event)
{
    if ((m_firstList || !m_firstPlaylist.isEmpty()) && watched == windowHandle() && event->type() == QEvent::Expose &&
        windowHandle()->isExposed())
        QTimer::singleShot(0, this, &Tfrm_Main::loadFirstList);
    // The product caption on the idle panel leads to the home page.
    if (watched == m_ui->labCap && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        m_ui->actHome->trigger();
    return QMainWindow::eventFilter(watched, event);
}

void Tfrm_Main::PlayStream(const QString &address, const QString &name)
{
    m_playback->PlayStream(address, name);
}

void Tfrm_Main::openRequest(const QStringList &arguments, bool raise)
{
    if (raise) {
        if (isMinimized())
            showNormal();
        show();
        this->raise();
        activateWindow();
    }
    if (arguments.isEmpty())
        return;
    // A playlist of channels is offered as one of the user's playlists; any other plays.
    if (NamesPlaylist(arguments.first()))
        m_opener->open(arguments.first());
    else
        Guarded(this, [&] { PlayStream(arguments.first(), arguments.first()); });
}

void Tfrm_Main::actExitExecute()
{
    close();
}

void Tfrm_Main::actOpenExecute()
{
    TFrmOpenMedia dlg(m_global, this);
    if (dlg.exec() == QDialog::Accepted)
        PlayStream(dlg.MediaName(), dlg.MediaName());
}

void Tfrm_Main::actOPtionExecute()
{
    TFrmOption dlg(m_global, this);
    dlg.exec();
    m_desktop->setNotifications(m_global.TitleNotifications);
    m_guide->service().setRefreshHours(m_global.GuideRefreshHours);
}

void Tfrm_Main::actAboutExecute()
{
    TFrmAbout dlg(m_global, this);
    dlg.exec();
}

void Tfrm_Main::actUpdateExecute()
{
    TFrmUpdate dlg(m_global, this);
    dlg.exec();
}

void Tfrm_Main::actSearchExecute()
{
    TFrmSearch dlg(m_global, *m_playback, this);
    dlg.setPlaylists(m_playlists->searchScopes());
    dlg.exec();
}

void Tfrm_Main::EzRgnBtn3Click()
{
    m_ui->panLeft->setVisible(m_ui->panLeft->isHidden());
    m_video->SetVideoSize(m_playback->CurrentChannelType == 2 ? 0 : m_video->VideoScale, true);
}

void Tfrm_Main::Splitter1Moved()
{
    m_ui->treChannle->viewport()->update();
}
