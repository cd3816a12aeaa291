#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QTimer>

class ChannelTree;
class LogoCache;
class QTreeWidget;
class QTreeWidgetItem;
class TGlobal;

// Puts the channels' logos (a playlist's tvg-logo) on the rows of the tree that are on screen:
// a logo is asked for when its row shows, and set once it is on disk. Rows that scrolled away
// get their plain icon back, so a long list holds only a screenful of logos.
class LogoIcons : public QObject
{
    Q_OBJECT

public:
    LogoIcons(QTreeWidget *tree, ChannelTree &channels, LogoCache &cache, const TGlobal &global);

    // Rows showing a logo now.
    int decoratedRows() const { return int(m_decorated.size()); }

    static constexpr int kKeepOffScreen = 200; // decorated rows kept before those off screen go back

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Decorated
    {
        QTreeWidgetItem *item;
        QIcon plain;
    };
    void schedule();
    void decorate();
    QIcon iconFor(const QString &address);
    QList<QTreeWidgetItem *> visibleRows() const;

    QTreeWidget *m_tree;
    ChannelTree &m_channels;
    LogoCache &m_cache;
    const TGlobal &m_global;
    QTimer m_pass;
    QList<Decorated> m_decorated;
    QHash<QString, QIcon> m_icons; // a small cache of loaded logos
};
