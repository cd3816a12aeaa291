#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// One entry of a user's playlist (M3U, M3U8 or PLS).
struct PlaylistEntry
{
    QString name;    // the title after #EXTINF's comma, as every player shows it
    QString address; // the stream
    QString tvgId;
    QString tvgName;  // kept for matching a programme guide
    QString logo;     // tvg-logo
    QString group;    // group-title (the first of several separated by ';'), or #EXTGRP
    QString number;   // tvg-chno
    QString country;  // tvg-country
    QString tvgShift; // hours the guide's times are off for this channel ("-1.5"), or the header's
    bool radio = false;
    double duration = -1;
    // What the channel's server wants to see (#EXTVLCOPT, #EXTHTTP).
    QString userAgent;
    QString referrer;
    QString cookie;
};

struct Playlist
{
    QList<PlaylistEntry> entries;
    // The programme guides #EXTM3U names (url-tvg, x-tvg-url, tvg-url; several separated by
    // commas): http(s) addresses and local paths only.
    QStringList guides;
    // Fetched from an address on the internet: its channels may not reach this computer or
    // its network, nor local files (not set by the reader: the fetch knows).
    bool fromWeb = false;
};

// Reads a playlist in pieces as they come from a file, without holding the playlist: each entry
// goes to `sink` once it is complete (a PLS's at the end, in their order). Reads as ReadPlaylist
// does; `feed` and `finish` raise ZError where it does.
class PlaylistScanner
{
public:
    using Sink = std::function<void(PlaylistEntry &&entry)>;
    struct Summary
    {
        QStringList guides;
        int entries = 0;
        // An HLS playlist is one stream: what went to the sink is not the list, hlsEntry is.
        bool hls = false;
        PlaylistEntry hlsEntry;
    };

    PlaylistScanner(const QString &address, Sink sink);
    ~PlaylistScanner();
    void feed(QByteArrayView bytes);
    Summary finish();

private:
    struct State;
    std::unique_ptr<State> m;
};

// Reads a playlist: M3U/M3U8 with #EXTINF and its attributes in any order (double, single or no
// quotes), #EXTGRP, #EXTVLCOPT http-user-agent / http-referrer, #EXTHTTP cookies; PLS
// ([playlist], FileN, TitleN). Lines may end in CR LF, LF or CR; a UTF-8 byte order mark is
// skipped; bytes that are not UTF-8 are read as Latin-1. Blank lines and unknown directives are
// passed over. An HLS playlist (segments, or variants of one stream) is one stream: a single
// entry with `address`. `address` is where the playlist came from (an http(s) or file:// address):
// entries without a scheme are resolved against it.
//
// Raises ZError with a message a user understands, and reads nothing, for input that is not
// text, holds no entry, or is larger than kMaxSize.
Playlist ReadPlaylist(const QByteArray &bytes, const QString &address = {});

// Whether a playlist's source, or an address in one, is an http:// or https:// address.
bool IsWebAddress(const QString &source);

// The guides a playlist fetched from the internet may name: not local files, not hosts that are
// private as written (as for its channels).
QStringList GuidesOfWebList(const QStringList &guides);

// The largest playlist read, from a file or a download: half the largest channel list, so that
// the list a playlist of this size makes can be written too.
inline constexpr qint64 kMaxPlaylistSize = qint64(128) << 20;
