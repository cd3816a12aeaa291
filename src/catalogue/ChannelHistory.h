#pragma once

#include "ChannelText.h"

#include <QObject>
#include <optional>

class ChannelTree;
class PlayTarget;
class TGlobal;

// The channels played from the lists: Last Channel plays the one before the current again, and
// the last one is kept in the settings, to be played at start where the preferences ask for it.
class ChannelHistory : public QObject
{
    Q_OBJECT

public:
    ChannelHistory(ChannelTree &tree, PlayTarget &player, TGlobal &global, QObject *parent = nullptr);

    // Last Channel: false when no channel was played before the current one.
    bool playPrevious();
    // After the first list is shown: plays the channel played last, from that list where it
    // is the one shown. False when the preferences do not ask for it or none was played.
    bool playLastAtStart();

    // The settings' name of the list the tree shows ("favorites", "tv", "radio", "playlist:<id>").
    QString shownListKey() const;

private:
    void started(const ChannelItem &channel);
    void play(const ChannelItem &channel);

    ChannelTree &m_tree;
    PlayTarget &m_player;
    TGlobal &m_global;
    std::optional<ChannelItem> m_current;
    std::optional<ChannelItem> m_previous;
};
