#pragma once

#include "PlaylistReader.h"

#include <QByteArray>
#include <QString>

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

// channelType: 1 TV, 2 radio, 3 video for entries not marked radio="true".
PlaylistList ChannelListOf(const Playlist &playlist, int channelType, const QString &defaultGroup);

// An XML element name for a group title: accents stripped, other characters outside
// A-Za-z0-9_.- made "_", runs of "_" collapsed and trimmed.
QString GroupElementName(const QString &title);
