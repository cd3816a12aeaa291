#include "ChannelTree.h"

#include "ChannelText.h"
#include "ListDocuments.h"
#include "appearance/Artwork.h"
#include "base/Errors.h"
#include "base/Guard.h"
#include "base/Prompter.h"
#include "base/pGloba.h"
#include "playback/PlayTarget.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>

namespace {

enum Role { ElementRole = Qt::UserRole, GroupRole, PositionRole };

const QString &loadFailedText()
{
    static const QString text = QStringLiteral("Load Channel database failed.Please download the new version!");
    return text;
}

} // namespace

// One fill of the tree: channel nodes are added in batches, and pending events run between
// batches at least every kEventSliceMs, so a long list keeps the window responsive.
struct ChannelTree::Load
{
    QTreeWidget *tree;
    QTreeWidgetItem *group = nullptr;
    QList<QTreeWidgetItem *> batch;
    QElapsedTimer slice;

    void flush()
    {
        if (group && !batch.isEmpty())
            group->addChildren(batch);
        batch.clear();
    }
    void add(QTreeWidgetItem *node)
    {
        batch.append(node);
        if (slice.elapsed() >= kEventSliceMs) {
            flush();
            QCoreApplication::processEvents();
            slice.restart();
        }
    }
};

ChannelTree::ChannelTree(const Widgets &widgets, TGlobal &global, PlayTarget &player, QWidget *window)
    : QObject(window), m_w(widgets), m_global(global), m_player(player), m_window(window)
{
    ImageList1 = {Artwork::icon(QStringLiteral("folder")), Artwork::icon(QStringLiteral("speaker")),
                  Artwork::icon(QStringLiteral("tv"))};
    // Every row is one line of the same font: the view need not measure each row above the
    // one it draws (which makes long lists slow to scroll and to grow).
    m_w.treChannle->setUniformRowHeights(true);
    m_viewport = m_w.treChannle->viewport();
    m_viewport->installEventFilter(this);
    m_w.treChannle->installEventFilter(this);
    connect(m_w.treChannle, &QTreeWidget::itemDoubleClicked, this,
            [this] { Guarded(m_window, [this] { treChannleDblClick(); }); });
    // The channel commands follow the selection, so their keys (Delete) act on what is selected.
    connect(m_w.treChannle, &QTreeWidget::currentItemChanged, this, &ChannelTree::updateCommands);
    connect(m_w.treChannle, &QTreeWidget::itemSelectionChanged, this, &ChannelTree::updateCommands);
    connect(m_w.treChannle, &QTreeWidget::itemExpanded, this,
            [this] { Guarded(m_window, [this] { fillOpenedGroups(); }); });
}

void ChannelTree::updateCommands()
{
    const QList<QAction *> commands = {m_w.actLeftPlay,   m_w.actAddNew, m_w.actDelete,   m_w.actAddFav,
                                       m_w.actProperties, m_w.actBroken, m_w.actAddReview};
    const bool favorites = m_kind == ListKind::Favorites;
    const auto channel = m_loading ? std::nullopt : selectedChannel();
    if (channel) {
        for (QAction *a : commands)
            a->setEnabled(true);
        if (favorites) {
            m_w.actAddFav->setEnabled(false);
        } else {
            m_w.actDelete->setEnabled(false);
            m_w.actAddNew->setEnabled(false);
        }
        // A playlist's ids are a guide's, not the vendor site's: its pages do not know them.
        if (m_kind != ListKind::Playlist && !channel->element.attribute("ID").value_or(QString()).trimmed().isEmpty())
            return;
        m_w.actBroken->setEnabled(false);
        m_w.actAddReview->setEnabled(false);
    } else {
        for (QAction *a : commands)
            a->setEnabled(false);
        if (favorites && hasSelection() && !m_loading)
            m_w.actAddNew->setEnabled(true);
    }
}

void ChannelTree::actFavoritesExecute()
{
    showList(m_w.actFavorites, ListKind::Favorites, m_global.FavListFile);
}

void ChannelTree::actTVExecute()
{
    showList(m_w.actTV, ListKind::TV, m_global.TVListFile);
}

void ChannelTree::actRadioExecute()
{
    showList(m_w.actRadio, ListKind::Radio, m_global.RadioListFile);
}

void ChannelTree::showPlaylist(const QString &listFile)
{
    showList(nullptr, ListKind::Playlist, listFile);
}

void ChannelTree::showList(QAction *action, ListKind kind, const QString &path)
{
    if (m_loading)
        return;
    for (QAction *a : {m_w.actFavorites, m_w.actTV, m_w.actRadio})
        a->setChecked(false);
    if (action)
        action->setChecked(true);
    m_kind = kind;
    LoadList(path);
}

void ChannelTree::menNewsClick(QAction *item)
{
    if (m_loading)
        return;
    for (QAction *a : std::as_const(m_w.filterItems))
        a->setChecked(false);
    item->setChecked(true);
    const QString category = item->text().remove(u'&');
    LoadFilteredList(m_global.TVListFile, category);
}

void ChannelTree::clearList()
{
    if (m_loading)
        return;
    emit loadStarted();
    m_w.treChannle->clear();
    xmlChannle.reset();
    m_kind = ListKind::None;
    m_listFile.clear();
    updateCommands();
}

void ChannelTree::LoadList(const QString &path)
{
    m_listFile = path;
    fill(path, nullptr);
}

void ChannelTree::LoadFilteredList(const QString &path, const QString &category)
{
    m_kind = ListKind::TV;
    m_listFile = path;
    fill(path, &category);
}

QTreeWidgetItem *ChannelTree::channelNode(const XmlNode &channel, const QString &label) const
{
    auto *node = new QTreeWidgetItem;
    node->setText(0, label);
    if (m_icons)
        node->setIcon(0, ImageList1[ChannelIcon(channel)]);
    node->setData(0, ElementRole, QVariant::fromValue(quintptr(channel.opaque())));
    return node;
}

void ChannelTree::fill(const QString &path, const QString *category)
{
    const bool filtered = category != nullptr;
    QTreeWidget *tree = m_w.treChannle;
    m_loading = true;
    for (QAction *a : {m_w.actFavorites, m_w.actTV, m_w.actRadio})
        a->setEnabled(false);
    // The Filter items change the tree too: held off during the load like the list actions.
    QList<bool> filterEnabled;
    for (QAction *a : std::as_const(m_w.filterItems)) {
        filterEnabled.append(a->isEnabled());
        a->setEnabled(false);
    }

    if (!filtered)
        tree->setUpdatesEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    emit loadStarted();
    tree->clear();

    Load load{tree, nullptr, {}, {}};
    load.slice.start();
    try {
        xmlChannle.reset();
        xmlChannle = OpenListDocumentRunningEvents(path);
        m_icons = m_global.ShowIcon;
        if (!filtered) {
            for (qsizetype n = 0; n < filterEnabled.size(); ++n)
                filterEnabled[n] = m_kind == ListKind::TV;
        }
        // A playlist's groups carry their titles as written; its channels show by name alone.
        const bool playlist = m_kind == ListKind::Playlist;
        const QList<XmlNode> groups = xmlChannle->documentElement().childNodes();
        for (int g = 0; g < groups.size(); ++g) {
            const XmlNode &group = groups[g];
            const QString name = playlist ? group.attribute("Title").value_or(group.localName()) : group.localName();
            if (playlist) {
                // A playlist may hold a hundred thousand channels: a group's channels are made
                // when it is first opened.
                auto *node = new QTreeWidgetItem(tree, {name + QStringLiteral("  (%1)").arg(group.childCount())});
                if (m_icons)
                    node->setIcon(0, ImageList1[IconFolder]);
                node->setData(0, GroupRole, g);
                node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
                continue;
            }
            load.group = nullptr;
            const auto addGroupNode = [&] {
                load.group = new QTreeWidgetItem(tree, {name});
                if (m_icons)
                    load.group->setIcon(0, ImageList1[IconFolder]);
            };
            if (!filtered)
                addGroupNode();
            int count = 0;
            int position = 0;
            for (const XmlNode &channel : group.childNodes()) {
                const int at = position++;
                if (filtered && channel.attribute("T") != *category)
                    continue;
                const QString label = ChannelLabel(channel, filtered);
                if (!load.group)
                    addGroupNode();
                QTreeWidgetItem *node = channelNode(channel, label);
                node->setData(0, GroupRole, g);
                node->setData(0, PositionRole, at);
                ++count;
                load.add(node);
            }
            load.flush();
            if (count > 0)
                load.group->setText(0, GroupLabel(name, count));
        }
        if (!filtered && m_kind == ListKind::Favorites && tree->topLevelItemCount() > 0)
            tree->topLevelItem(0)->setExpanded(true);
    } catch (const std::exception &) {
        load.flush();
        if (!filtered)
            tree->setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
        ShowMessage(m_window, loadFailedText(), MsgIcon::None);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }

    if (!filtered)
        tree->setUpdatesEnabled(true);
    for (QAction *a : {m_w.actFavorites, m_w.actTV, m_w.actRadio})
        a->setEnabled(true);
    for (qsizetype n = 0; n < filterEnabled.size(); ++n)
        m_w.filterItems[n]->setEnabled(filterEnabled[n]);
    QApplication::restoreOverrideCursor();
    m_loading = false;
    updateCommands();
    emit loadFinished();
}

QString ChannelTree::groupTitle(int group) const
{
    if (!xmlChannle)
        return {};
    const XmlNode node = xmlChannle->documentElement().child(group);
    return node.isNull() ? QString() : node.attribute("Title").value_or(node.localName());
}

QString ChannelTree::channelAttribute(const QTreeWidgetItem *item, const char *name) const
{
    if (!item || !item->parent() || !xmlChannle)
        return {};
    const auto node = XmlNode::fromOpaque(reinterpret_cast<void *>(item->data(0, ElementRole).value<quintptr>()));
    return node.attribute(name).value_or(QString());
}

QList<XmlNode> ChannelTree::shownChannels() const
{
    QList<XmlNode> out;
    if (!xmlChannle || m_loading)
        return out;
    const QTreeWidget *tree = m_w.treChannle;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem *group = tree->topLevelItem(g);
        if (group->childCount() > 0 || m_kind != ListKind::Playlist) {
            for (int c = 0; c < group->childCount(); ++c)
                out.append(XmlNode::fromOpaque(
                    reinterpret_cast<void *>(group->child(c)->data(0, ElementRole).value<quintptr>())));
        } else {
            // A playlist's group not opened yet: its channels are in the document.
            out += xmlChannle->documentElement().child(group->data(0, GroupRole).toInt()).childNodes();
        }
    }
    return out;
}

void ChannelTree::fillOpenedGroups()
{
    if (m_kind != ListKind::Playlist || !xmlChannle)
        return;
    QTreeWidget *tree = m_w.treChannle;
    // Groups opened while another was being filled are filled after it.
    for (bool again = true; again && !m_loading;) {
        again = false;
        for (int t = 0; t < tree->topLevelItemCount() && !m_loading; ++t) {
            QTreeWidgetItem *item = tree->topLevelItem(t);
            // Every group has channels: one without children has not been filled yet.
            if (!item->isExpanded() || item->childCount() > 0)
                continue;
            fillGroup(item);
            again = true;
        }
    }
}

void ChannelTree::fillGroup(QTreeWidgetItem *groupNode)
{
    const int g = groupNode->data(0, GroupRole).toInt();
    const XmlNode group = xmlChannle->documentElement().child(g);
    m_loading = true;
    for (QAction *a : {m_w.actFavorites, m_w.actTV, m_w.actRadio})
        a->setEnabled(false);
    Load load{m_w.treChannle, groupNode, {}, {}};
    load.slice.start();
    int position = 0;
    for (const XmlNode &channel : group.childNodes()) {
        QTreeWidgetItem *node = channelNode(channel, channel.attribute("ChannelName").value_or(QString()));
        node->setData(0, GroupRole, g);
        node->setData(0, PositionRole, position++);
        load.add(node);
    }
    load.flush();
    groupNode->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    for (QAction *a : {m_w.actFavorites, m_w.actTV, m_w.actRadio})
        a->setEnabled(true);
    m_loading = false;
    updateCommands();
    emit groupFilled();
}

bool ChannelTree::hasSelection() const
{
    const QTreeWidgetItem *item = m_w.treChannle->currentItem();
    return item && item->isSelected();
}

std::optional<ChannelTree::Channel> ChannelTree::selectedChannel() const
{
    if (!hasSelection())
        return std::nullopt;
    const QTreeWidgetItem *item = m_w.treChannle->currentItem();
    if (!item->parent())
        return std::nullopt;
    return Channel{XmlNode::fromOpaque(reinterpret_cast<void *>(item->data(0, ElementRole).value<quintptr>())),
                   item->data(0, GroupRole).toInt(), item->data(0, PositionRole).toInt(), item->text(0)};
}

void ChannelTree::treChannleDblClick()
{
    if (m_loading)
        return;
    const auto channel = selectedChannel();
    if (!channel)
        return;
    const QString url = channel->element.text("URL");
    const QString name = channel->element.text("ChannelName");
    const auto extra = [&](const char *key) {
        return channel->element.attribute(key).value_or(QString());
    };
    m_player.SetStreamHeaders({extra("UserAgent"), extra("Referrer"), extra("Cookie"),
                               extra(kOriginAttribute) == QLatin1StringView(kOriginWeb)});
    m_player.PlayStream(url, name);
    m_player.SetCurrentChannelType(ChannelNumber(channel->element.text("Ty")));
    emit channelStarted(ChannelItem(channel->element));
}

void ChannelTree::ensureFilled(QTreeWidgetItem *groupNode)
{
    if (m_kind == ListKind::Playlist && groupNode->childCount() == 0)
        fillGroup(groupNode);
}

void ChannelTree::playItem(QTreeWidgetItem *item)
{
    QTreeWidget *tree = m_w.treChannle;
    item->parent()->setExpanded(true);
    tree->setCurrentItem(item);
    tree->scrollToItem(item);
    treChannleDblClick();
}

bool ChannelTree::stepChannel(int step)
{
    QTreeWidget *tree = m_w.treChannle;
    const int groups = tree->topLevelItemCount();
    if (m_loading || !xmlChannle || groups == 0 || step == 0)
        return false;
    step = step > 0 ? 1 : -1;
    // Where to count from: the selected channel, or a selected group's start or end, or the
    // start or end of the list.
    int g = step > 0 ? 0 : groups - 1;
    int c = -2; // before the first / after the last child of group g, once it is filled
    if (const QTreeWidgetItem *current = tree->currentItem()) {
        if (QTreeWidgetItem *parent = current->parent()) {
            g = tree->indexOfTopLevelItem(parent);
            c = parent->indexOfChild(const_cast<QTreeWidgetItem *>(current));
        } else {
            // A group: forwards its first channel, backwards the last before it.
            g = tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(current));
            if (step > 0)
                c = -1;
            else
                g = (g - 1 + groups) % groups;
        }
    }
    for (int visited = 0; visited <= groups; ++visited) {
        QTreeWidgetItem *group = tree->topLevelItem(g);
        ensureFilled(group);
        if (m_w.treChannle->topLevelItemCount() != groups)
            return false; // the list changed meanwhile
        const int n = group->childCount();
        if (c == -2)
            c = step > 0 ? -1 : n;
        const int next = c + step;
        if (next >= 0 && next < n) {
            playItem(group->child(next));
            return true;
        }
        g = (g + step + groups) % groups;
        c = -2;
    }
    return false;
}

bool ChannelTree::playChannelWithAddress(const QString &url)
{
    if (m_loading || !xmlChannle || url.isEmpty())
        return false;
    QTreeWidget *tree = m_w.treChannle;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem *group = tree->topLevelItem(g);
        if (m_kind == ListKind::Playlist && group->childCount() == 0) {
            // Looked up in the document first: only the group that holds it is filled.
            const XmlNode node = xmlChannle->documentElement().child(group->data(0, GroupRole).toInt());
            bool holds = false;
            for (const XmlNode &channel : node.childNodes())
                holds = holds || channel.attribute("URL") == url;
            if (!holds)
                continue;
            ensureFilled(group);
        }
        for (int c = 0; c < group->childCount(); ++c) {
            if (channelAttribute(group->child(c), "URL") == url) {
                playItem(group->child(c));
                return true;
            }
        }
    }
    return false;
}

void ChannelTree::treChannleMouseDown(const QPoint &globalPos)
{
    if (m_loading || !hasSelection())
        return;
    updateCommands();
    if (const auto channel = selectedChannel()) {
        m_contextItem = ChannelItem(channel->element);
        channel->element.text("ID"); // a channel without one is reported like any missing attribute
    }
    m_w.popLeft->popup(globalPos);
}

bool ChannelTree::eventFilter(QObject *watched, QEvent *event)
{
    // Compared, never called: events still come while the tree is being destroyed.
    QTreeWidget *tree = m_w.treChannle;
    if (watched == m_viewport) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::RightButton) {
                // The popup works on the row under the mouse: a right click selects it first
                // (on empty space it clears the selection, and no popup opens).
                if (!m_loading) {
                    QTreeWidgetItem *under = tree->itemAt(me->position().toPoint());
                    tree->setCurrentItem(under);
                    if (!under)
                        tree->clearSelection();
                }
                const QPoint at = me->globalPosition().toPoint();
                Guarded(m_window, [&] { treChannleMouseDown(at); });
                return true;
            }
        } else if (event->type() == QEvent::ContextMenu) {
            return true;
        }
    } else if (watched == tree) {
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
            const QTreeWidgetItem *item = tree->currentItem();
            const QPoint local = item ? tree->visualItemRect(item).center() : QPoint(4, 4);
            const QPoint at = tree->viewport()->mapToGlobal(local);
            Guarded(m_window, [&] { treChannleMouseDown(at); });
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && selectedChannel()) {
                Guarded(m_window, [this] { treChannleDblClick(); });
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
