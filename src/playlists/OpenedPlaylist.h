#pragma once

#include <QByteArray>
#include <QString>

// What the program was asked to open from the command line or the desktop ("Open With"): a
// playlist file or address (.m3u, .m3u8, .pls) is offered as a playlist when it lists
// channels, and played as one stream when it is one (an HLS playlist, a single entry).

// Whether the argument names a playlist by its extension (a path, a file:// or http(s) address;
// an address's query and fragment do not count).
bool NamesPlaylist(const QString &argument);

struct OpenedPlaylist
{
    bool channels = false; // a list of channels, to offer as a playlist
    int count = 0;         // how many (at least: `head` may be the start of a longer file)
};

// Judges the start of a playlist (or all of it). Whatever cannot be read as a list of channels
// is a stream, and plays as one.
OpenedPlaylist ClassifyOpenedPlaylist(const QByteArray &head);

// The most of a playlist read to judge it.
inline constexpr qint64 kOpenedPlaylistHead = qint64(1) << 20;
