#include "LogoIcons.h"

#include "LogoCache.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"

#include <QEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTreeWidget>

namespace {

constexpr int kIconCache = 256;

} // namespace

LogoIcons::LogoIcons(QTreeWidget *tree, ChannelTree &channels, LogoCache &cache, const TGlobal &global)
    : QObject(&channels), m_tree(tree), m_channels(channels), m_cache(cache), m_global(global)
{
    m_pass.setSingleShot(true);
    m_pass.setInterval(40); // scrolling settles before logos are asked for
    connect(&m_pass, &QTimer::timeout, this, &LogoIcons::decorate);
    connect(&channels, &ChannelTree::loadStarted, this, [this] {
        // The rows are about to go: nothing of them is kept.
        m_decorated.clear();
        m_pass.stop();
        m_cache.dropWaiting();
    });
    connect(&channels, &ChannelTree::loadFinished, this, &LogoIcons::schedule);
    connect(&channels, &ChannelTree::groupFilled, this, &LogoIcons::schedule);
    connect(tree->verticalScrollBar(), &QScrollBar::valueChanged, this, &LogoIcons::schedule);
    connect(tree, &QTreeWidget::itemExpanded, this, &LogoIcons::schedule);
    connect(tree, &QTreeWidget::itemCollapsed, this, &LogoIcons::schedule);
    connect(&cache, &LogoCache::ready, this, &LogoIcons::schedule);
    tree->viewport()->installEventFilter(this);
}

bool LogoIcons::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
        schedule();
    return QObject::eventFilter(watched, event);
}

void LogoIcons::schedule()
{
    if (!m_pass.isActive())
        m_pass.start();
}

QList<QTreeWidgetItem *> LogoIcons::visibleRows() const
{
    QList<QTreeWidgetItem *> rows;
    const int bottom = m_tree->viewport()->height();
    for (QTreeWidgetItem *it = m_tree->itemAt(QPoint(1, 1)); it; it = m_tree->itemBelow(it)) {
        if (m_tree->visualItemRect(it).top() > bottom)
            break;
        rows.append(it);
    }
    return rows;
}

QIcon LogoIcons::iconFor(const QString &address)
{
    if (const auto it = m_icons.constFind(address); it != m_icons.cend())
        return *it;
    const QPixmap logo(m_cache.fileFor(address));
    if (logo.isNull())
        return {};
    const int side = m_tree->iconSize().isValid() ? m_tree->iconSize().height() : 16;
    const QIcon icon(logo.scaled(side * 2, side * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    if (m_icons.size() >= kIconCache)
        m_icons.clear();
    m_icons.insert(address, icon);
    return icon;
}

void LogoIcons::decorate()
{
    if (m_channels.isLoading() || m_channels.ChannelListKind() != ListKind::Playlist || !m_global.ShowIcon)
        return;
    const QList<QTreeWidgetItem *> rows = visibleRows();
    const auto decorated = [&](const QTreeWidgetItem *item) {
        return std::any_of(m_decorated.cbegin(), m_decorated.cend(),
                           [&](const Decorated &d) { return d.item == item; });
    };
    // The previous screenful's requests that did not start are stale now.
    m_cache.dropWaiting();
    for (QTreeWidgetItem *item : rows) {
        if (!item->parent() || decorated(item))
            continue;
        const QString logo = m_channels.channelAttribute(item, "Logo");
        if (logo.isEmpty())
            continue;
        if (!m_cache.has(logo)) {
            m_cache.request(logo);
            continue;
        }
        const QIcon icon = iconFor(logo);
        if (icon.isNull())
            continue;
        m_decorated.append({item, item->icon(0)});
        item->setIcon(0, icon);
    }
    if (m_decorated.size() > kKeepOffScreen) {
        // Off screen, a row's logo goes back to its plain icon.
        m_decorated.removeIf([&](const Decorated &d) {
            if (rows.contains(d.item))
                return false;
            d.item->setIcon(0, d.plain);
            return true;
        });
    }
}
