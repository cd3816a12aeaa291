#include "ChannelHistory.h"

#include "ChannelText.h"
#include "ChannelTree.h"
#include "base/TextUtil.h"
#include "base/pGloba.h"
#include "playback/PlayTarget.h"

ChannelHistory::ChannelHistory(ChannelTree &tree, PlayTarget &player, TGlobal &global, QObject *parent)
    : QObject(parent), m_tree(tree), m_player(player), m_global(global)
{
    connect(&tree, &ChannelTree::channelStarted, this, &ChannelHistory::started);
}

QString ChannelHistory::shownListKey() const
{
    switch (m_tree.ChannelListKind()) {
    case ListKind::Favorites:
        return QStringLiteral("favorites");
    case ListKind::TV:
        return QStringLiteral("tv");
    case ListKind::Radio:
        return QStringLiteral("radio");
    case ListKind::Playlist:
        return QStringLiteral("playlist:") + m_global.LastPlaylist;
    case ListKind::None:
        break;
    }
    return {};
}

void ChannelHistory::started(const ChannelItem &channel)
{
    const QString url = channel.attribute("URL").value_or(QString());
    if (m_current && m_current->attribute("URL") != url)
        m_previous = m_current;
    m_current = channel;
    m_global.LastChannelList = shownListKey();
    m_global.LastChannelName = channel.attribute("ChannelName").value_or(QString());
    m_global.LastChannelUrl = url;
    int type = 1;
    m_global.LastChannelType =
        ParseDecimal(channel.attribute("Ty").value_or(QString()), &type) && type >= 1 && type <= 3 ? type : 1;
}

void ChannelHistory::play(const ChannelItem &channel)
{
    const auto a = [&](const char *key) {
        return channel.attribute(key).value_or(QString());
    };
    int type = 1;
    ParseDecimal(a("Ty"), &type);
    m_player.SetStreamHeaders(
        {a("UserAgent"), a("Referrer"), a("Cookie"), a(kOriginAttribute) == QLatin1StringView(kOriginWeb)});
    m_player.PlayStream(a("URL"), a("ChannelName"));
    m_player.SetCurrentChannelType(type);
}

bool ChannelHistory::playPrevious()
{
    if (!m_previous)
        return false;
    const ChannelItem before = *m_previous;
    // In the list shown, the selection follows (and `started` turns the history round).
    if (m_tree.playChannelWithAddress(before.attribute("URL").value_or(QString())))
        return true;
    m_previous = m_current;
    m_current = before;
    play(before);
    m_global.LastChannelName = before.attribute("ChannelName").value_or(QString());
    m_global.LastChannelUrl = before.attribute("URL").value_or(QString());
    return true;
}

bool ChannelHistory::playLastAtStart()
{
    if (!m_global.PlayLastChannel || m_global.LastChannelUrl.isEmpty())
        return false;
    if (m_global.LastChannelList == shownListKey() && m_tree.playChannelWithAddress(m_global.LastChannelUrl))
        return true;
    // Not in the list shown: played by its address, as it was stored.
    m_player.PlayStream(m_global.LastChannelUrl, m_global.LastChannelName);
    m_player.SetCurrentChannelType(m_global.LastChannelType);
    return true;
}
