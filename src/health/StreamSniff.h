#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// What the first bytes of a reply are, told from its content type, the bytes themselves and,
// for plain text, the address's extension.
enum class ContentKind {
    Media,     // audio or video
    HlsMaster, // an HLS playlist of variants
    HlsMedia,  // an HLS playlist of segments
    Pls,
    M3u,
    Ram,
    Smil,
    Html,    // a web page
    Empty,   // nothing came
    Text,    // some other text: no stream
    Unknown, // too few bytes to tell
};

ContentKind SniffContent(const QByteArray &contentType, const QByteArray &head, const QUrl &address);

// The addresses an HLS playlist names (variants of a master, segments of a media playlist), in
// order, made absolute against the playlist's own address.
QList<QUrl> HlsEntries(const QByteArray &playlist, const QUrl &base);
