// Fuzz target: a user's playlist through the reader, the channel list it becomes (which must
// load again with every entry) and the judgement of an opened playlist.
#include "base/Errors.h"
#include "catalogue/XmlDocument.h"
#include "playlists/OpenedPlaylist.h"
#include "playlists/PlaylistList.h"
#include "playlists/PlaylistReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ClassifyOpenedPlaylist(bytes);
    Playlist playlist;
    try {
        playlist = ReadPlaylist(bytes, QStringLiteral("http://127.0.0.1/list.m3u8"));
    } catch (const ZError &) {
        return 0;
    }
    if (playlist.entries.isEmpty())
        std::abort(); // refused, never empty
    const PlaylistList list = ChannelListOf(playlist, 1, QStringLiteral("Fuzz"));
    XmlDocument doc;
    doc.loadFromBytes(list.xml);
    int channels = 0;
    for (const XmlNode &group : doc.documentElement().childNodes()) {
        if (!group.attribute("Title"))
            std::abort();
        channels += group.childCount();
    }
    if (channels != playlist.entries.size() || channels != list.channels)
        std::abort();
    return 0;
}
