// Fuzz target: a channel list file through everything that reads one — decipher, parse, the
// tree's labels and icons, the search scan, and a save that must load again.
#include "catalogue/ChannelSearch.h"
#include "catalogue/ChannelText.h"
#include "catalogue/ListCheck.h"
#include "catalogue/ListCipher.h"
#include "catalogue/XmlDocument.h"
#include "base/Errors.h"

#include <cstdint>
#include <cstdlib>

namespace {

void exercise(const QByteArray &plain)
{
    const ListCheck check = CheckPlainList(plain);
    if (!check.parsed)
        return;
    XmlDocument doc;
    doc.loadFromBytes(plain);
    for (const XmlNode &group : doc.documentElement().childNodes()) {
        GroupLabel(group.localName(), group.childCount());
        for (const XmlNode &channel : group.childNodes()) {
            ChannelIcon(channel);
            try {
                ChannelLabel(channel, false);
                ChannelLabel(channel, true);
            } catch (const ZError &) {
            }
        }
    }
    try {
        ScanChannels(
            doc, SearchKey(QStringLiteral("a")), QStringLiteral("TV Channels"), [](const SearchRow &) {},
            [] { return true; });
    } catch (const ZError &) {
    }
    // What we save must load again, with the same groups.
    XmlDocument again;
    again.loadFromBytes(doc.saveToBytes());
    if (again.documentElement().childCount() != doc.documentElement().childCount())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        exercise(bytes);              // as plain XML: where the interesting structure is
        exercise(CipherBytes(bytes)); // as an enciphered list file
    } catch (const ZError &) {
    }
    return 0;
}
