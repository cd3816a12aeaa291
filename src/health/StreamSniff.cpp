#include "StreamSniff.h"

#include "playback/PlaylistParser.h"

namespace {

bool startsWithNoCase(const QByteArray &text, const char *prefix)
{
    return text.left(qsizetype(qstrlen(prefix))).compare(prefix, Qt::CaseInsensitive) == 0;
}

// Magic numbers of the containers and elementary streams that radio and TV use.
bool looksLikeMedia(const QByteArray &h)
{
    const auto at = [&h](qsizetype i) {
        return i < h.size() ? uchar(h[i]) : 0u;
    };
    if (h.startsWith("ID3") || h.startsWith("OggS") || h.startsWith("fLaC") || h.startsWith("FLV") ||
        h.startsWith(".RMF") || h.startsWith("RIFF") || h.startsWith("\x1a\x45\xdf\xa3") || h.startsWith("#!AMR") ||
        h.startsWith("\x30\x26\xb2\x75") /* ASF */)
        return true;
    if (h.size() >= 8 && h.mid(4, 4) == "ftyp")
        return true;
    // MPEG transport stream: a sync byte every 188 bytes.
    if (h.size() >= 189 && at(0) == 0x47 && at(188) == 0x47)
        return true;
    // MPEG audio and ADTS AAC frames start with eleven set bits.
    return at(0) == 0xff && (at(1) & 0xe0) == 0xe0;
}

bool isText(const QByteArray &h)
{
    int control = 0;
    for (const char c : h) {
        const uchar u = uchar(c);
        if (u == 0)
            return false;
        if (u < 0x20 && c != '\n' && c != '\r' && c != '\t')
            ++control;
    }
    return control * 20 <= h.size();
}

} // namespace

ContentKind SniffContent(const QByteArray &contentType, const QByteArray &head, const QUrl &address)
{
    if (head.isEmpty())
        return ContentKind::Empty;
    const QByteArray type = contentType.split(';').value(0).trimmed().toLower();
    QByteArray text = head;
    if (text.startsWith("\xef\xbb\xbf"))
        text.remove(0, 3);
    text = text.trimmed();
    if (text.startsWith("#EXTM3U")) {
        if (text.contains("#EXT-X-STREAM-INF"))
            return ContentKind::HlsMaster;
        if (text.contains("#EXT-X-TARGETDURATION") || text.contains("#EXT-X-MEDIA-SEQUENCE"))
            return ContentKind::HlsMedia;
        return ContentKind::M3u;
    }
    if (startsWithNoCase(text, "[playlist]"))
        return ContentKind::Pls;
    if (startsWithNoCase(text, "<smil") || (startsWithNoCase(text, "<?xml") && text.contains("<smil")))
        return ContentKind::Smil;
    if (type == "text/html" || type == "application/xhtml+xml" || startsWithNoCase(text, "<!doctype html") ||
        startsWithNoCase(text, "<html"))
        return ContentKind::Html;
    if (looksLikeMedia(head) || type.startsWith("audio/mpeg") || type == "audio/aac" || type == "audio/aacp" ||
        type == "audio/ogg" || type == "application/ogg" || type.startsWith("video/"))
        return ContentKind::Media;
    if (!isText(head))
        return type.startsWith("audio/") || type == "application/octet-stream" ? ContentKind::Media
                                                                               : ContentKind::Unknown;
    // Text: a playlist by its type or its extension, else no stream at all.
    if (type == "audio/x-scpls")
        return ContentKind::Pls;
    if (type == "audio/x-mpegurl" || type == "audio/mpegurl" || type == "application/x-mpegurl" ||
        type == "application/vnd.apple.mpegurl")
        return ContentKind::M3u;
    if (type == "audio/x-pn-realaudio" || type == "audio/vnd.rn-realaudio")
        return ContentKind::Ram;
    if (type == "application/smil" || type == "application/smil+xml")
        return ContentKind::Smil;
    switch (PlaylistKindFor(address.toString())) {
    case PlaylistKind::Pls:
        return ContentKind::Pls;
    case PlaylistKind::M3u:
        return ContentKind::M3u;
    case PlaylistKind::Ram:
        return ContentKind::Ram;
    case PlaylistKind::Smil:
        return ContentKind::Smil;
    case PlaylistKind::None:
        break;
    }
    return ContentKind::Text;
}

QList<QUrl> HlsEntries(const QByteArray &playlist, const QUrl &base)
{
    QList<QUrl> out;
    for (QByteArray line : playlist.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        out.append(base.resolved(QUrl(QString::fromUtf8(line))));
    }
    return out;
}
