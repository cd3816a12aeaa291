#pragma once

#include <QByteArray>
#include <QStringList>
#include <QUrl>

// Playlist files that point at streams: the second engine downloads and reads them itself.
enum class PlaylistKind { None, Pls, M3u, Ram, Smil };

// The kind of playlist an address names by its extension (letter case and any query ignored).
PlaylistKind PlaylistKindFor(const QString &address);

// The entries of a playlist, in order, made absolute against `base` (the playlist's own
// address). Entries that are no address (empty, comments, the "--stop--" marker of .ram files) are skipped.
QStringList ParsePlaylist(const QByteArray &content, PlaylistKind kind, const QUrl &base);

// An address as the engines take it: a URL, or a local path made a file URL.
QUrl StreamUrl(const QString &address);
