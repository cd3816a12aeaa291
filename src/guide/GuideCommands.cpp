#include "GuideCommands.h"

#include "GuideOnTree.h"
#include "GuideReminders.h"
#include "GuideService.h"
#include "GuideSourcesDialog.h"
#include "GuideWindow.h"
#include "base/PlainText.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"
#include "desktop/Notification.h"
#include "playback/NowPlaying.h"
#include "playlists/LogoCache.h"
#include "playlists/PlaylistStore.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTreeWidget>

GuideCommands::GuideCommands(const Widgets &widgets, TGlobal &global, ChannelTree &tree, PlaylistStore &playlists,
                             NowPlaying &now, QWidget *window)
    : QObject(window), m_w(widgets), m_global(global), m_playlists(playlists), m_main(window), m_now(now), m_tree(tree)
{
    m_guide = new GuideService(m_global.CacheDir + QStringLiteral("guide.sqlite"),
                               m_global.CacheDir + QStringLiteral("guide"), this);
    m_guide->setRefreshHours(m_global.GuideRefreshHours);
    m_onTree = new GuideOnTree(m_w.tree, tree, *m_guide);
    m_w.tree->setItemDelegate(m_onTree);

    m_menu = new QMenu(QStringLiteral("&Guide"), m_w.menuBar);
    m_menu->setObjectName(QStringLiteral("menGuide"));
    QAction *show = m_menu->addAction(QStringLiteral("Show &Guide"));
    show->setObjectName(QStringLiteral("actShowGuide"));
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    show->setShortcutContext(Qt::WindowShortcut);
    m_main->addAction(show); // also while the menu bar is hidden (full screen)
    connect(show, &QAction::triggered, this, &GuideCommands::showGuide);
    m_menu->addSeparator();
    QAction *sources = m_menu->addAction(QStringLiteral("Guide &Sources..."));
    sources->setObjectName(QStringLiteral("actGuideSources"));
    QAction *refresh = m_menu->addAction(QStringLiteral("&Refresh Guide"));
    refresh->setObjectName(QStringLiteral("actRefreshGuide"));
    m_w.menuBar->insertMenu(m_w.before, m_menu);
    connect(sources, &QAction::triggered, this, &GuideCommands::showSources);
    connect(refresh, &QAction::triggered, m_guide, &GuideService::refreshNow);

    m_status = new QLabel(m_w.statusBar);
    m_status->setObjectName(QStringLiteral("labGuideState"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->hide();
    m_w.statusBar->addWidget(m_status, 1);
    m_statusHide.setSingleShot(true);
    connect(&m_statusHide, &QTimer::timeout, m_status, &QLabel::hide);
    connect(m_guide, &GuideService::progress, this, [this](const QString &text) {
        // The end of the work leaves a failure's notice standing.
        if (!text.isEmpty() || m_showingProgress)
            say(text, text.isEmpty() ? 0 : 60000);
        m_showingProgress = !text.isEmpty();
    });
    connect(m_guide, &GuideService::notice, this, [this](const QString &text) {
        m_showingProgress = false;
        say(text, 15000);
    });
    connect(&tree, &ChannelTree::channelStarted, this, [this](const ChannelItem &channel) {
        m_playingId = TvgIdOfListId(channel.attribute("ID").value_or(QString()));
        m_playingTvgName = channel.attribute("TvgName").value_or(QString());
        m_playingName = channel.attribute("ChannelName").value_or(QString());
        m_playingShift = ShiftOfAttribute(channel.attribute("TvgShift").value_or(QString()));
        m_playingStream = m_now.streamNumber();
        tellProgramme();
    });
    connect(m_guide, &GuideService::scheduleChanged, this, &GuideCommands::tellProgramme);
    // The time left is told in minutes.
    m_programmeTimer.setInterval(30000);
    connect(&m_programmeTimer, &QTimer::timeout, this, &GuideCommands::tellProgramme);
    m_programmeTimer.start();
    m_reminders = new GuideReminders(m_global.Paths.userDataDir() + QStringLiteral("reminders.json"), this);
    connect(m_reminders, &GuideReminders::due, this, &GuideCommands::remind);
    QDBusConnection::sessionBus().connect(
        {}, QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("ActionInvoked"), this, SLOT(notificationAction(uint, QString)));
    listsChanged();
}

void GuideCommands::tellProgramme()
{
    if (m_now.streamNumber() != m_playingStream || m_now.isIdle())
        return; // not a channel of the tree: the guide knows nothing of it
    const NowNext on = m_guide->nowNext({m_playingId, m_playingTvgName, m_playingName, m_playingShift},
                                        QDateTime::currentSecsSinceEpoch());
    if (on.now)
        m_now.setProgramme(on.now->title, on.now->stop);
    else
        m_now.setProgramme({}, 0);
}

GuideCommands::~GuideCommands()
{
    m_w.tree->setItemDelegate(nullptr);
}

void GuideCommands::listsChanged()
{
    QStringList lists{m_global.TVListFile, m_global.RadioListFile, m_global.FavListFile};
    QStringList guides;
    for (const PlaylistInfo &p : m_playlists.playlists()) {
        lists.append(m_playlists.listFile(p.id));
        for (const QString &g : p.guides) {
            if (!guides.contains(g))
                guides.append(g);
        }
    }
    m_guide->setLists(lists);
    m_guide->setPlaylistGuides(guides);
}

void GuideCommands::showSources()
{
    if (!m_sources) {
        m_sources = new GuideSourcesDialog(*m_guide, m_main);
        m_sources->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_sources->show();
    m_sources->raise();
    m_sources->activateWindow();
}

GuideWindow *GuideCommands::guideWindow() const
{
    return m_window.data();
}

void GuideCommands::showGuide()
{
    if (!m_window) {
        m_window = new GuideWindow(*m_guide, *m_reminders, m_main);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setPictures(m_logos);
        connect(m_window, &GuideWindow::playRequested, this,
                [this](const GuideRow &row) { m_tree.playChannelWithAddress(row.address); });
    }
    QList<GuideRow> rows;
    for (const XmlNode &c : m_tree.shownChannels()) {
        const QString name = c.attribute("ChannelName").value_or(QString());
        const QString logo = c.attribute("Logo").value_or(QString());
        rows.append({name,
                     c.attribute("URL").value_or(QString()),
                     {TvgIdOfListId(c.attribute("ID").value_or(QString())), c.attribute("TvgName").value_or(QString()),
                      name, ShiftOfAttribute(c.attribute("TvgShift").value_or(QString()))},
                     m_logos && !logo.isEmpty() && m_logos->has(logo) ? m_logos->fileFor(logo) : QString()});
    }
    m_window->setRows(rows);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->showNow();
}

void GuideCommands::say(const QString &text, int ms)
{
    m_status->setText(text);
    SetPlainToolTip(m_status, text);
    m_status->setVisible(!text.isEmpty());
    if (!text.isEmpty())
        m_w.statusPanel->show();
    if (ms > 0)
        m_statusHide.start(ms);
}

void GuideCommands::remind(const Reminder &r)
{
    say(QStringLiteral("Starting now: %1 on %2").arg(r.title, r.channel), 60000);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QDBusMessage message =
        NotificationMessage(0, r.title, QStringLiteral("Starts now on %1").arg(r.channel),
                            {QStringLiteral("play"), QStringLiteral("Play")}, QStringLiteral("x-zentavo.reminder"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, r](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (!reply.isError())
            m_notified.insert(reply.value(), {r.address, r.channel});
    });
}

void GuideCommands::notificationAction(uint id, const QString &action)
{
    const auto it = m_notified.constFind(id);
    if (it == m_notified.cend() || action != u"play")
        return;
    const auto [address, channel] = *it;
    m_notified.erase(it);
    if (!m_tree.playChannelWithAddress(address))
        emit playRequested(address, channel);
}
