#pragma once

#include <QStyledItemDelegate>
#include <QTimer>

class ChannelTree;
class GuideService;
class QTreeWidget;
class QTreeWidgetItem;
struct ListChannel;

// What is on now, beside each channel's name in the tree: the title in a muted colour and a
// thin bar of how far the programme is; now and next with their times in the tooltip. The rows
// are drawn again when a shown programme ends (one timer for the soonest end among the rows
// in view), not on a poll of every row.
class GuideOnTree : public QStyledItemDelegate
{
    Q_OBJECT

public:
    GuideOnTree(QTreeWidget *tree, ChannelTree &channels, GuideService &guide);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The guide's lines for a channel's tooltip ("Now 20:00-21:00 News" and the next), or "".
    QString toolTipFor(const QTreeWidgetItem *item) const;

private:
    ListChannel channelOf(const QTreeWidgetItem *item) const;
    void scheduleRepaint();

    QTreeWidget *m_view;
    ChannelTree &m_channels;
    GuideService &m_guide;
    QTimer m_change;
};
