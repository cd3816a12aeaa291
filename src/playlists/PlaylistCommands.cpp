#include "PlaylistCommands.h"

#include "PlaylistDialogs.h"
#include "PublicPlaylists.h"
#include "base/Errors.h"
#include "base/Guard.h"
#include "base/PlainText.h"
#include "base/Prompter.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr int kSayMs = 8000;
constexpr int kSayFailureMs = 20000;
constexpr int kDueCheckMs = 60 * 60 * 1000;

} // namespace

PlaylistCommands::PlaylistCommands(const Widgets &widgets, TGlobal &global, ChannelTree &tree, QWidget *window)
    : QObject(window), m_w(widgets), m_global(global), m_tree(tree), m_window(window), m_store(global.PlaylistDir),
      m_menuGroup(new QActionGroup(this))
{
    m_statusText = new QLabel(m_w.statusBar);
    m_statusText->setObjectName(QStringLiteral("labPlaylistState"));
    m_statusText->setTextFormat(Qt::PlainText);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), m_w.statusBar);
    m_cancel->setObjectName(QStringLiteral("btnPlaylistCancel"));
    m_cancel->setFlat(true);
    m_w.statusBar->addWidget(m_statusText, 1);
    m_w.statusBar->addPermanentWidget(m_cancel);
    m_cancel->hide();
    m_statusHide.setSingleShot(true);
    connect(&m_statusHide, &QTimer::timeout, this, [this] {
        if (m_running.isEmpty())
            m_w.statusPanel->hide();
        else
            showFetching(); // what was said is over; what still runs is said again
    });
    connect(m_cancel, &QPushButton::clicked, this, &PlaylistCommands::cancel);
    connect(&m_tree, &ChannelTree::loadFinished, this, &PlaylistCommands::treeLoaded);
    m_dueTimer.setInterval(kDueCheckMs);
    connect(&m_dueTimer, &QTimer::timeout, this, [this] { Guarded(m_window, [this] { refreshDue(false); }); });

    m_menuGroup->setExclusive(true);
    try {
        m_store.load();
        if (!m_store.damage().isEmpty())
            say(QStringLiteral("The list of playlists was damaged (%1); what could be read is kept.")
                    .arg(m_store.damage()),
                kSayFailureMs);
    } catch (const ZError &e) {
        // The window still starts; the menu says nothing is there and Manage reports it again.
        say(e.message(), kSayFailureMs);
    }
    rebuildMenu();
}

PlaylistCommands::~PlaylistCommands()
{
    for (const Running &r : std::as_const(m_running))
        r.fetch->cancel();
}

void PlaylistCommands::rebuildMenu()
{
    QMenu *menu = m_w.menPlaylists;
    for (QAction *a : m_menuGroup->actions()) {
        m_menuGroup->removeAction(a);
        delete a;
    }
    menu->clear();
    for (const PlaylistInfo &p : m_store.playlists()) {
        if (!m_store.hasList(p.id))
            continue;
        QAction *a = menu->addAction(QString(p.name).replace(u'&', QStringLiteral("&&")));
        a->setCheckable(true);
        a->setChecked(p.id == m_shownId);
        a->setData(p.id);
        m_menuGroup->addAction(a);
        connect(a, &QAction::triggered, this,
                [this, id = p.id] { Guarded(m_window, [this, id] { showPlaylist(id); }); });
    }
    if (menu->isEmpty())
        menu->addAction(QStringLiteral("(no playlists yet)"))->setEnabled(false);
    updateCommands();
}

void PlaylistCommands::updateCommands()
{
    const bool refreshing =
        std::any_of(m_running.cbegin(), m_running.cend(), [this](const Running &r) { return r.task.id == m_shownId; });
    m_w.actRefreshPlaylist->setEnabled(!m_shownId.isEmpty() && !refreshing);
}

bool PlaylistCommands::showPlaylist(const QString &id)
{
    if (m_tree.isLoading() || !m_store.find(id) || !m_store.hasList(id))
        return false;
    m_shownId = id;
    m_global.LastPlaylist = id;
    for (QAction *a : m_menuGroup->actions())
        a->setChecked(a->data().toString() == id);
    updateCommands();
    m_tree.showPlaylist(m_store.listFile(id));
    return true;
}

void PlaylistCommands::treeLoaded()
{
    if (m_tree.ChannelListKind() == ListKind::Playlist)
        return;
    // Another list is shown: it is the one the window remembers.
    m_shownId.clear();
    m_global.LastPlaylist.clear();
    for (QAction *a : m_menuGroup->actions())
        a->setChecked(false);
    updateCommands();
}

void PlaylistCommands::actAddPlaylistExecute()
{
    addPlaylistFrom({});
}

void PlaylistCommands::addPlaylistFrom(const QString &source)
{
    QList<PublicPlaylist> offered;
    try {
        offered = ShippedPublicPlaylists();
    } catch (const ZError &) {
        // The public playlists are an offer; without them a playlist of one's own still adds.
    }
    AddPlaylistDialog dlg(m_global, offered, m_window);
    if (!source.isEmpty())
        dlg.setSource(source);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const PlaylistInfo info = m_store.add(dlg.name(), dlg.source(), dlg.interval());
    enqueue({info.id, true, false});
}

void PlaylistCommands::actRefreshPlaylistExecute()
{
    if (!m_shownId.isEmpty())
        enqueue({m_shownId, false, false});
}

void PlaylistCommands::actManagePlaylistsExecute()
{
    ManagePlaylistsDialog dlg(m_global, m_store, m_window);
    connect(&dlg, &ManagePlaylistsDialog::changed, this, [this] {
        if (!m_shownId.isEmpty() && !m_store.find(m_shownId)) {
            // The playlist shown is gone: the tree shows nothing of it any more.
            m_shownId.clear();
            m_global.LastPlaylist.clear();
        }
        rebuildMenu();
    });
    connect(&dlg, &ManagePlaylistsDialog::refreshRequested, this, [this](const QString &id) {
        enqueue({id, false, false});
    });
    connect(this, &PlaylistCommands::fetchFinished, &dlg, [&dlg] { Guarded(&dlg, [&dlg] { dlg.reload(); }); });
    dlg.exec();
    if (m_tree.ChannelListKind() == ListKind::Playlist && m_shownId.isEmpty() && !m_tree.isLoading())
        m_tree.clearList(); // its list was removed
}

void PlaylistCommands::actPropertiesExecute()
{
    const auto channel = m_tree.selectedChannel();
    if (!channel)
        return;
    PlaylistEntryDialog dlg(m_global, ChannelItem(channel->element), m_tree.groupTitle(channel->group), m_window);
    dlg.exec();
}

void PlaylistCommands::refreshDue(bool startup)
{
    m_store.load();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const PlaylistInfo &p : m_store.playlists()) {
        if (p.isDue(now, startup))
            enqueue({p.id, false, true});
    }
    if (!m_dueTimer.isActive())
        m_dueTimer.start();
}

void PlaylistCommands::enqueue(const Task &task)
{
    const auto same = [&](const Task &t) {
        return t.id == task.id;
    };
    if (std::any_of(m_running.cbegin(), m_running.cend(), [&](const Running &r) { return same(r.task); }) ||
        std::any_of(m_queue.cbegin(), m_queue.cend(), same))
        return;
    m_queue.append(task);
    startNext();
}

void PlaylistCommands::startNext()
{
    while (m_running.size() < kMaxFetches && !m_queue.isEmpty()) {
        const Task task = m_queue.takeFirst();
        const auto info = m_store.find(task.id);
        if (!info)
            continue;
        auto *fetch = new PlaylistFetch(this);
        fetch->setExtraCertificates(m_extraCertificates);
        fetch->setStallTimeout(m_stallTimeoutMs);
        connect(fetch, &PlaylistFetch::progress, this,
                [this, name = info->name](qint64 received, qint64 total) { onProgress(name, received, total); });
        connect(fetch, &PlaylistFetch::finished, this,
                [this, fetch](const PlaylistFetch::Result &result) { onFinished(fetch, result); });
        m_running.append({task, info->name, fetch});
        QDir().mkpath(m_store.folder());
        fetch->start({info->source, m_store.listFile(info->id), info->name, m_global.CacheDir});
        SetPlainToolTip(m_statusText, info->source);
        showFetching();
    }
    updateCommands();
}

void PlaylistCommands::showFetching()
{
    m_statusHide.stop();
    m_statusText->setText(m_running.size() == 1
                              ? QStringLiteral("Fetching the playlist \"%1\"...").arg(m_running.first().name)
                              : QStringLiteral("Fetching %1 playlists...").arg(m_running.size()));
    m_cancel->show();
    m_w.statusPanel->show();
}

void PlaylistCommands::onProgress(const QString &name, qint64 received, qint64 total)
{
    if (m_running.size() != 1)
        return; // the line says how many run
    const QLocale locale;
    QString amount = locale.formattedDataSize(received);
    if (total > 0)
        amount += QStringLiteral(" of ") + locale.formattedDataSize(total);
    m_statusText->setText(QStringLiteral("Fetching the playlist \"%1\": %2").arg(name, amount));
}

void PlaylistCommands::cancel()
{
    m_queue.clear();
    for (const Running &r : std::as_const(m_running))
        r.fetch->cancel();
}

void PlaylistCommands::say(const QString &text, int ms)
{
    m_statusText->setText(text);
    SetPlainToolTip(m_statusText, text);
    m_w.statusPanel->show();
    m_statusHide.start(ms);
}

void PlaylistCommands::onFinished(PlaylistFetch *fetch, const PlaylistFetch::Result &result)
{
    const auto at =
        std::find_if(m_running.cbegin(), m_running.cend(), [fetch](const Running &r) { return r.fetch == fetch; });
    if (at == m_running.cend())
        return;
    const Task task = at->task;
    const QString name = at->name;
    m_running.erase(at);
    fetch->deleteLater();
    if (m_running.isEmpty())
        m_cancel->hide();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Guarded(m_window, [&] {
        m_store.load();
        if (!m_store.find(task.id)) {
            // Removed while it was fetched: what the fetch wrote goes too.
            QFile::remove(m_store.listFile(task.id));
            say(QString(), 0);
        } else if (result.ok) {
            m_store.recordRefresh(task.id, result.channels, now, result.guides);
            say(QStringLiteral("The playlist \"%1\" has %2 channels.").arg(name).arg(result.channels), kSayMs);
        } else if (task.adding) {
            m_store.remove(task.id);
            if (result.cancelled) {
                say(QStringLiteral("Adding the playlist \"%1\" was cancelled.").arg(name), kSayMs);
            } else {
                say(result.error, kSayFailureMs);
                ShowMessage(m_window,
                            QStringLiteral("The playlist \"%1\" could not be added.\n%2").arg(name, result.error));
            }
        } else if (result.cancelled) {
            say(QStringLiteral("The refresh of \"%1\" was cancelled; the playlist stays as it was.").arg(name), kSayMs);
        } else {
            m_store.recordFailure(task.id, result.error, now);
            const QString text = QStringLiteral("The playlist \"%1\" could not be refreshed and stays as it was.\n%2")
                                     .arg(name, result.error);
            say(QString(text).replace(u'\n', u' '), kSayFailureMs);
            if (!task.quiet)
                ShowMessage(m_window, text);
        }
    });
    rebuildMenu();
    if (result.ok && !m_tree.isLoading() && (task.adding || (!task.quiet && task.id == m_shownId)))
        Guarded(m_window, [&] { showPlaylist(task.id); });
    emit fetchFinished(task.id, result);
    startNext();
    updateCommands();
}

QList<QPair<QString, QString>> PlaylistCommands::searchScopes() const
{
    QList<QPair<QString, QString>> out;
    for (const PlaylistInfo &p : m_store.playlists()) {
        if (m_store.hasList(p.id))
            out.append({p.name, m_store.listFile(p.id)});
    }
    return out;
}

void PlaylistCommands::setExtraCertificates(const QList<QSslCertificate> &certificates)
{
    m_extraCertificates = certificates;
}

void PlaylistCommands::setStallTimeout(int ms)
{
    m_stallTimeoutMs = ms;
}
