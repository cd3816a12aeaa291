#include "M3uImport.h"

#include "ChannelText.h"
#include "FavoritesStore.h"
#include "base/Errors.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <pugixml.hpp>

namespace {

struct Entry
{
    QHash<QString, QString> attributes;
    QString title;
};

Entry parseExtinf(const QString &line)
{
    Entry e;
    // #EXTINF:<duration> key="value" key="value",Title — the title follows the first comma
    // that is outside quotes.
    const QString body = line.mid(8);
    bool quoted = false;
    qsizetype comma = -1;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] == u'"')
            quoted = !quoted;
        else if (body[i] == u',' && !quoted) {
            comma = i;
            break;
        }
    }
    const QString head = comma < 0 ? body : body.left(comma);
    e.title = comma < 0 ? QString() : body.mid(comma + 1).trimmed();
    static const QRegularExpression attr(QStringLiteral("([A-Za-z0-9_-]+)=\"([^\"]*)\""));
    for (auto it = attr.globalMatch(head); it.hasNext();) {
        const auto m = it.next();
        e.attributes.insert(m.captured(1).toLower(), m.captured(2).trimmed());
    }
    return e;
}

// Text as it may stand in XML: control characters (which no XML document can hold) go, a tab
// becomes a blank.
QString clean(const QString &text)
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
    return out;
}

// A line that names a stream on its own: an address with a scheme.
bool isAddress(const QString &line)
{
    static const QRegularExpression address(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://\\S+$"));
    return address.match(line).hasMatch();
}

QString categoryOf(const QString &groupTitle)
{
    for (const QString &part : groupTitle.split(u';', Qt::SkipEmptyParts)) {
        for (const QString &c : ChannelCategories()) {
            if (part.trimmed().compare(c, Qt::CaseInsensitive) == 0)
                return c;
        }
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

M3uImport ImportM3u(const QByteArray &playlist, int channelType)
{
    QStringDecoder decode(QStringDecoder::Utf8);
    QString text = decode(playlist);
    if (decode.hasError() || playlist.contains('\0'))
        throw ZError(QStringLiteral("The playlist is not text."));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child("ChannelList");
    QHash<QString, pugi::xml_node> groups;

    M3uImport result;
    Entry pending;
    bool havePending = false;
    QString pendingGroup;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QStringLiteral("#EXTINF:"), Qt::CaseInsensitive)) {
            pending = parseExtinf(line);
            havePending = true;
            pendingGroup.clear();
            continue;
        }
        if (line.startsWith(QStringLiteral("#EXTGRP:"), Qt::CaseInsensitive)) {
            pendingGroup = line.mid(8).trimmed();
            continue;
        }
        if (line.startsWith(u'#'))
            continue;
        // An entry is the line after #EXTINF, or an address standing alone; other text is not.
        if (!havePending && !isAddress(line))
            continue;

        const QString url = clean(line);
        Entry e = havePending ? pending : Entry{};
        for (QString &value : e.attributes)
            value = clean(value);
        e.title = clean(e.title);
        pendingGroup = clean(pendingGroup);
        havePending = false;
        QString groupTitle = e.attributes.value(QStringLiteral("group-title"));
        if (groupTitle.isEmpty())
            groupTitle = pendingGroup;
        pendingGroup.clear(); // #EXTGRP names the group of the entry that follows it
        const QString groupName = GroupElementName(groupTitle);
        pugi::xml_node group = groups.value(groupName);
        if (!group) {
            group = root.append_child(groupName.toUtf8().constData());
            groups.insert(groupName, group);
        }
        QString name = e.attributes.value(QStringLiteral("tvg-name"));
        if (name.isEmpty())
            name = e.title;
        if (name.isEmpty())
            name = url.section(u'/', -1, -1, QString::SectionSkipEmpty);
        pugi::xml_node item = group.append_child("Item");
        const auto set = [&](const char *key, const QString &value) {
            item.append_attribute(key) = value.toUtf8().constData();
        };
        set("ChannelName", name);
        set("URL", url);
        set("INFO", QString());
        set("Ty", QString::number(channelType));
        set("MT", QString::number(FavoritesStore::EngineNumber(url)));
        set("Co", e.attributes.value(QStringLiteral("tvg-country")));
        set("SP", QString());
        set("T", categoryOf(groupTitle));
        set("I", QString());
        set("ID", e.attributes.value(QStringLiteral("tvg-id")));
        ++result.channels;
    }
    if (result.channels == 0)
        throw ZError(QStringLiteral("The playlist holds no channel (no #EXTINF entry and no address)."));
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
