#pragma once

#include "PlaylistReader.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

// A playlist as a channel list document (UTF-8 XML, the catalogue's schema), so the tree, the
// search, the channel popup and the favourites work on it unchanged: one group per group title
// (first seen first; entries without one in a group named `defaultGroup`), every channel with the
// ten attributes, and what a playlist adds: Logo, TvgName, Number, UserAgent, Referrer, Cookie.
// A group's element name is made from its title; the title itself is its Title attribute.
struct PlaylistList
{
    QByteArray xml;
    int groups = 0;
    int channels = 0;
};

// Makes that document an entry at a time, for playlists too large to be held whole: each
// group's channels are kept as the text they become, and the document is handed on in pieces.
class ChannelListWriter
{
public:
    // channelType: 1 TV, 2 radio, 3 video for entries not marked radio="true".
    ChannelListWriter(int channelType, const QString &defaultGroup, bool fromWeb);
    ~ChannelListWriter();
    ChannelListWriter(const ChannelListWriter &) = delete;
    ChannelListWriter &operator=(const ChannelListWriter &) = delete;

    void add(const PlaylistEntry &entry);
    // The document's size so far, in bytes.
    qint64 size() const { return m_size; }
    int groups() const { return int(m_groups.size()); }
    int channels() const { return m_channels; }
    // The whole document, in order, in pieces.
    void write(const std::function<void(QByteArrayView piece)> &out) const;
    QByteArray document() const;

private:
    struct Group
    {
        QByteArray open;  // its start tag
        QByteArray items; // its channels' elements
    };
    static constexpr char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ChannelList>\n";
    static constexpr char kTail[] = "</ChannelList>\n";
    Group &groupOf(const QString &title);
    static QByteArray attributeText(const QString &text);

    QString m_type;
    QString m_defaultGroup;
    bool m_fromWeb;
    std::vector<Group> m_groups;
    QHash<QString, qsizetype> m_index; // group title -> place
    qint64 m_size;
    int m_channels = 0;
};

// channelType: 1 TV, 2 radio, 3 video for entries not marked radio="true".
PlaylistList ChannelListOf(const Playlist &playlist, int channelType, const QString &defaultGroup);

// An XML element name for a group title: accents stripped, other characters outside
// A-Za-z0-9_.- made "_", runs of "_" collapsed and trimmed.
QString GroupElementName(const QString &title);
