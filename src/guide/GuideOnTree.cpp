#include "GuideOnTree.h"

#include "GuideService.h"
#include "base/PlainText.h"
#include "catalogue/ChannelTree.h"

#include <QApplication>
#include <QDateTime>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QTreeWidget>

namespace {

QString clock(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toLocalTime().toString(QStringLiteral("HH:mm"));
}

QString line(const char *label, const Airing &a)
{
    return QStringLiteral("%1 %2-%3 %4").arg(QLatin1StringView(label), clock(a.start), clock(a.stop), a.title);
}

} // namespace

GuideOnTree::GuideOnTree(QTreeWidget *tree, ChannelTree &channels, GuideService &guide)
    : QStyledItemDelegate(tree), m_view(tree), m_channels(channels), m_guide(guide)
{
    m_change.setSingleShot(true);
    connect(&m_change, &QTimer::timeout, this, [this] {
        m_view->viewport()->update();
        scheduleRepaint();
    });
    connect(&m_guide, &GuideService::scheduleChanged, this, [this] {
        m_view->viewport()->update();
        scheduleRepaint();
    });
    // Rows that come into view may end sooner than those that were.
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, &GuideOnTree::scheduleRepaint);
    connect(m_view, &QTreeWidget::itemExpanded, this, &GuideOnTree::scheduleRepaint);
}

ListChannel GuideOnTree::channelOf(const QTreeWidgetItem *item) const
{
    return {TvgIdOfListId(m_channels.channelAttribute(item, "ID")), m_channels.channelAttribute(item, "TvgName"),
            m_channels.channelAttribute(item, "ChannelName"),
            ShiftOfAttribute(m_channels.channelAttribute(item, "TvgShift"))};
}

void GuideOnTree::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (m_guide.isEmpty())
        return;
    const QTreeWidgetItem *item = m_view->itemFromIndex(index);
    if (!item || item->childCount() > 0)
        return;
    const ListChannel channel = channelOf(item);
    if (channel.name.isEmpty())
        return;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const NowNext on = m_guide.nowNext(channel, now);
    if (!on.now)
        return;
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const QFontMetrics fm(opt.font);
    const int gap = fm.horizontalAdvance(QStringLiteral("   "));
    const int left = text.left() + fm.horizontalAdvance(opt.text) + gap;
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorRole role = selected ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    if (left < text.right() - fm.averageCharWidth() * 3) {
        QColor muted = opt.palette.color(role);
        muted.setAlphaF(0.62F); // still 4.5:1 on the usual light and dark rows
        painter->setPen(muted);
        painter->setFont(opt.font);
        const QRect room(left, text.top(), text.right() - left, text.height());
        painter->drawText(room, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                          fm.elidedText(on.now->title, Qt::ElideRight, room.width()));
    }
    // How far the programme is: a thin bar along the bottom of the row.
    const double done = double(now - on.now->start) / double(qMax<qint64>(1, on.now->stop - on.now->start));
    const int height = qMax(2, opt.rect.height() / 12);
    const QRect track(text.left(), opt.rect.bottom() - height, text.width(), height);
    QColor base = opt.palette.color(role);
    base.setAlphaF(0.18F);
    painter->fillRect(track, base);
    painter->fillRect(QRect(track.left(), track.top(), int(track.width() * qBound(0.0, done, 1.0)), height),
                      opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight));
    painter->restore();
}

QString GuideOnTree::toolTipFor(const QTreeWidgetItem *item) const
{
    if (!item || item->childCount() > 0 || m_guide.isEmpty())
        return {};
    const NowNext on = m_guide.nowNext(channelOf(item), QDateTime::currentSecsSinceEpoch());
    QStringList lines;
    if (on.now)
        lines.append(line("Now", *on.now));
    if (on.next)
        lines.append(line("Next", *on.next));
    return lines.join(u'\n');
}

bool GuideOnTree::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                            const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QTreeWidgetItem *item = m_view->itemFromIndex(index);
    const QString guide = toolTipFor(item);
    if (guide.isEmpty())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // The item's own tooltip (why it is off the air) stays below the guide's lines; all of it
    // plain text, as it comes from outside.
    QString own = item->toolTip(index.column());
    if (Qt::mightBeRichText(own)) // made safe by PlainToolTip: read back as the text it was
        own = QTextDocumentFragment::fromHtml(own).toPlainText();
    QToolTip::showText(event->globalPos(), PlainToolTip(own.isEmpty() ? guide : guide + u'\n' + own), view);
    return true;
}

void GuideOnTree::scheduleRepaint()
{
    m_change.stop();
    if (m_guide.isEmpty())
        return;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    qint64 soonest = 0;
    const auto consider = [&soonest, now](qint64 t) {
        if (t > now && (soonest == 0 || t < soonest))
            soonest = t;
    };
    const QRect shown = m_view->viewport()->rect();
    for (QTreeWidgetItem *item = m_view->itemAt(shown.topLeft()); item; item = m_view->itemBelow(item)) {
        if (!m_view->visualItemRect(item).intersects(shown))
            break;
        if (item->childCount() > 0)
            continue;
        const NowNext on = m_guide.nowNext(channelOf(item), now);
        if (on.now)
            consider(on.now->stop);
        if (on.next)
            consider(on.next->start);
    }
    if (soonest > now)
        m_change.start(int(qMin<qint64>(soonest - now, 3600) * 1000));
}
