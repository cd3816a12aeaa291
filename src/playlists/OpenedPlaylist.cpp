#include "OpenedPlaylist.h"

#include "PlaylistReader.h"
#include "base/Errors.h"

#include <QSet>
#include <QUrl>

bool NamesPlaylist(const QString &argument)
{
    const QString a = argument.trimmed();
    QString path = a;
    if (a.contains(QLatin1StringView("://")))
        path = QUrl(a).path();
    for (const char *suffix : {".m3u", ".m3u8", ".pls"}) {
        if (path.endsWith(QLatin1StringView(suffix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

OpenedPlaylist ClassifyOpenedPlaylist(const QByteArray &head)
{
    OpenedPlaylist r;
    QByteArray text = head;
    if (text.size() >= kOpenedPlaylistHead) {
        // Only whole lines count: the last may be cut.
        const qsizetype end = text.lastIndexOf('\n');
        if (end > 0)
            text.truncate(end + 1);
    }
    try {
        const Playlist list = ReadPlaylist(text);
        r.count = int(list.entries.size());
        // A station's mirrors (a radio .pls lists several addresses under one title) are one stream.
        QSet<QString> names;
        for (const PlaylistEntry &e : list.entries)
            names.insert(e.name.trimmed().toCaseFolded());
        r.channels = r.count > 1 && names.size() > 1;
    } catch (const ZError &) {
    }
    return r;
}
