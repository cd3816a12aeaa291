#include "PlaylistList.h"

#include "catalogue/ChannelText.h"
#include "catalogue/FavoritesStore.h"

#include <QHash>
#include <pugixml.hpp>

namespace {

// Text as it may stand in XML: control characters (which no XML document can hold) go, a tab
// becomes a blank.
QByteArray clean(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t')
            out += u' ';
        else if (u >= 0x20 && u != 0x7F && u != 0xFFFE && u != 0xFFFF && !(u >= 0x80 && u < 0xA0))
            out += c;
    }
    return out.toUtf8();
}

QString categoryOf(const QString &groupTitle)
{
    for (const QString &c : ChannelCategories()) {
        if (groupTitle.trimmed().compare(c, Qt::CaseInsensitive) == 0)
            return c;
    }
    return {};
}

} // namespace

QString GroupElementName(const QString &title)
{
    const QString plain = title.normalized(QString::NormalizationForm_KD);
    QString out;
    for (QChar c : plain) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        const char16_t u = c.unicode();
        const bool ok = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'_' ||
                        u == u'.' || u == u'-';
        const QChar put = ok ? c : QChar(u'_');
        if (put == u'_' && out.endsWith(u'_'))
            continue;
        out += put;
    }
    while (out.startsWith(u'_'))
        out.remove(0, 1);
    while (out.endsWith(u'_'))
        out.chop(1);
    if (out.isEmpty())
        return QStringLiteral("Channels");
    if (!out[0].isLetter())
        out.prepend(QStringLiteral("G_"));
    return out;
}

PlaylistList ChannelListOf(const Playlist &playlist, int channelType, const QString &defaultGroup)
{
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child("ChannelList");
    QHash<QString, pugi::xml_node> groups;

    PlaylistList result;
    const QString type = QString::number(channelType);
    for (const PlaylistEntry &e : playlist.entries) {
        const QString title = e.group.isEmpty() ? defaultGroup : e.group;
        pugi::xml_node group = groups.value(title);
        if (!group) {
            group = root.append_child(GroupElementName(title).toUtf8().constData());
            group.append_attribute("Title") = clean(title).constData();
            groups.insert(title, group);
        }
        pugi::xml_node item = group.append_child("Item");
        const auto set = [&](const char *key, const QString &value) {
            item.append_attribute(key) = clean(value).constData();
        };
        set("ChannelName", e.name);
        set("URL", e.address);
        set("INFO", QString());
        set("Ty", e.radio ? QStringLiteral("2") : type);
        set("MT", QString::number(FavoritesStore::EngineNumber(e.address)));
        set("Co", e.country);
        set("SP", QString());
        set("T", categoryOf(e.group));
        set("I", QString());
        set("ID", e.tvgId);
        const QString extras[] = {e.logo, e.tvgName, e.number, e.userAgent, e.referrer, e.cookie};
        for (int i = 0; i < 6; ++i) {
            if (!extras[i].isEmpty())
                set(kChannelExtraAttributes[i], extras[i]);
        }
        if (playlist.fromWeb)
            item.append_attribute(kOriginAttribute) = kOriginWeb;
        ++result.channels;
    }
    result.groups = int(groups.size());
    struct Sink : pugi::xml_writer
    {
        QByteArray bytes;
        void write(const void *data, size_t size) override
        {
            bytes.append(static_cast<const char *>(data), qsizetype(size));
        }
    } sink;
    doc.save(sink, "  ", pugi::format_indent, pugi::encoding_utf8);
    result.xml = sink.bytes;
    return result;
}
