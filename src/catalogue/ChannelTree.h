#pragma once

#include "ChannelText.h"
#include "XmlDocument.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <memory>
#include <optional>

class PlayTarget;
class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TGlobal;

enum class ListKind { None, TV, Radio, Favorites, Playlist };

// The channel tree: shows one list (TV, radio or favourites) as groups with their channels,
// or the TV channels of one category; plays a channel on double-click and opens the channel
// popup on a right click. While a list loads, pending events run (the window stays live), so
// the list commands are held off until the load ends.
class ChannelTree : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QTreeWidget *treChannle;
        QAction *actFavorites;
        QAction *actTV;
        QAction *actRadio;
        QList<QAction *> filterItems; // the thirteen categories of the Filter menu
        QMenu *popLeft;
        QAction *actLeftPlay;
        QAction *actAddNew;
        QAction *actDelete;
        QAction *actAddFav;
        QAction *actProperties;
        QAction *actBroken;
        QAction *actAddReview;
    };

    // A channel node of the tree: its element in the shown list and where it stands.
    struct Channel
    {
        XmlNode element;
        int group = 0;
        int position = 0;
        QString text; // the node's label as shown
    };

    ChannelTree(const Widgets &widgets, TGlobal &global, PlayTarget &player, QWidget *window);

    void actFavoritesExecute();
    void actTVExecute();
    void actRadioExecute();
    // Shows one of the user's playlists (stored as a channel list): groups under their titles as
    // written, channels by name.
    void showPlaylist(const QString &listFile);
    void menNewsClick(QAction *item);
    // Empties the tree (the list it showed is gone).
    void clearList();
    void LoadList(const QString &path);
    void LoadFilteredList(const QString &path, const QString &category);

    void treChannleDblClick();
    // Plays the channel `step` places after (negative: before) the selected one in the list's
    // order, across groups and around the end; the selection follows. False when the list has
    // no channel or a load runs.
    bool stepChannel(int step);
    // Selects and plays the channel of the shown list with stream address `url`; false when the
    // list holds none.
    bool playChannelWithAddress(const QString &url);
    void actLeftPlayExecute() { treChannleDblClick(); }
    // A right click while a node is selected: enables the channel commands and opens popLeft.
    void treChannleMouseDown(const QPoint &globalPos);
    // Enables the channel commands for the selected node (the popup and their keys act on it).
    void updateCommands();

    ListKind ChannelListKind() const { return m_kind; }
    const QString &listFile() const { return m_listFile; }
    const std::optional<ChannelItem> &ContextItem() const { return m_contextItem; }
    bool isLoading() const { return m_loading; }

    bool hasSelection() const;
    // The title of the shown list's group `group` (a playlist's as written, else its name).
    QString groupTitle(int group) const;
    std::optional<Channel> selectedChannel() const;

    static constexpr int kEventSliceMs = 8; // pending events run at least this often during a load

    // An attribute of the channel an item of the tree shows (empty for groups and when absent).
    QString channelAttribute(const QTreeWidgetItem *item, const char *name) const;
    // The channels the tree lists, in its order, also those of groups not opened yet.
    QList<XmlNode> shownChannels() const;

signals:
    void loadStarted(); // the tree's items are about to go
    void loadFinished();
    void groupFilled(); // a playlist's group got its channels
    // A channel of the list was handed to playback.
    void channelStarted(const ChannelItem &channel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Load; // the state of one fill, see ChannelTree.cpp
    void showList(QAction *action, ListKind kind, const QString &path);
    void fill(const QString &path, const QString *category);
    QTreeWidgetItem *channelNode(const XmlNode &channel, const QString &label) const;
    void fillOpenedGroups();
    void fillGroup(QTreeWidgetItem *groupNode);
    void ensureFilled(QTreeWidgetItem *groupNode);
    void playItem(QTreeWidgetItem *item);

    Widgets m_w;
    TGlobal &m_global;
    PlayTarget &m_player;
    QWidget *m_window;
    QObject *m_viewport;                           // the tree's viewport, which the filter watches
    std::shared_ptr<const XmlDocument> xmlChannle; // the list shown
    ListKind m_kind = ListKind::None;
    QString m_listFile;
    std::optional<ChannelItem> m_contextItem;
    bool m_loading = false;
    bool m_icons = true;
    QList<QIcon> ImageList1;
};
