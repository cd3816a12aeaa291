#pragma once

#include <QByteArray>
#include <QString>

// Turns an M3U/M3U8 playlist with #EXTINF lines into a channel list document (UTF-8 XML):
// one group per group-title (first seen first), every channel with the ten attributes.
// ChannelName from tvg-name or the title, ID from tvg-id, Co from tvg-country, T from the
// group-title when it names a Filter category, MT from the engine choice.
struct M3uImport
{
    QByteArray xml;
    int groups = 0;
    int channels = 0;
};

// channelType: 1 TV, 2 radio, 3 video. Raises ZError when the playlist holds no entry.
M3uImport ImportM3u(const QByteArray &playlist, int channelType);

// An XML element name for a group title: accents stripped, other characters outside
// A-Za-z0-9_.- made "_", runs of "_" collapsed and trimmed.
QString GroupElementName(const QString &title);
