#include "PlaylistList.h"

#include "catalogue/ChannelText.h"
#include "catalogue/FavoritesStore.h"

#include <QHash>

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

ChannelListWriter::ChannelListWriter(int channelType, const QString &defaultGroup, bool fromWeb)
    : m_type(QString::number(channelType)), m_defaultGroup(defaultGroup), m_fromWeb(fromWeb),
      m_size(qsizetype(sizeof(kHead) + sizeof(kTail) - 2))
{
}

ChannelListWriter::~ChannelListWriter() = default;

ChannelListWriter::Group &ChannelListWriter::groupOf(const QString &title)
{
    const auto found = m_index.constFind(title);
    if (found != m_index.cend())
        return m_groups[*found];
    m_index.insert(title, m_groups.size());
    Group g;
    const QByteArray name = GroupElementName(title).toUtf8();
    g.open = "  <" + name + " Title=\"" + attributeText(title) + "\">\n";
    m_size += g.open.size() + name.size() + 6; // and "  </name>\n"
    m_groups.push_back(std::move(g));
    return m_groups.back();
}

QByteArray ChannelListWriter::attributeText(const QString &text)
{
    const QByteArray plain = clean(text);
    QByteArray out;
    out.reserve(plain.size());
    for (char c : plain) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void ChannelListWriter::add(const PlaylistEntry &e)
{
    Group &group = groupOf(e.group.isEmpty() ? m_defaultGroup : e.group);
    const qsizetype before = group.items.size();
    QByteArray &out = group.items;
    const auto set = [&out](const char *key, const QString &value) {
        out += ' ';
        out += key;
        out += "=\"";
        out += attributeText(value);
        out += '"';
    };
    out += "    <Item";
    set("ChannelName", e.name);
    set("URL", e.address);
    set("INFO", QString());
    set("Ty", e.radio ? QStringLiteral("2") : m_type);
    set("MT", QString::number(FavoritesStore::EngineNumber(e.address)));
    set("Co", e.country);
    set("SP", QString());
    set("T", categoryOf(e.group));
    set("I", QString());
    set("ID", e.tvgId);
    const QString extras[] = {e.logo, e.tvgName, e.number, e.userAgent, e.referrer, e.cookie, e.tvgShift};
    static_assert(std::size(extras) == std::size(kChannelExtraAttributes));
    for (size_t i = 0; i < std::size(extras); ++i) {
        if (!extras[i].isEmpty())
            set(kChannelExtraAttributes[i], extras[i]);
    }
    if (m_fromWeb)
        set(kOriginAttribute, QString::fromLatin1(kOriginWeb));
    out += "/>\n";
    m_size += out.size() - before;
    ++m_channels;
}

void ChannelListWriter::write(const std::function<void(QByteArrayView)> &out) const
{
    out(kHead);
    for (const Group &g : m_groups) {
        out(g.open);
        out(g.items);
        // The end tag: the start tag's name.
        const QByteArrayView name = QByteArrayView(g.open).sliced(3, g.open.indexOf(' ', 3) - 3);
        out("  </");
        out(name);
        out(">\n");
    }
    out(kTail);
}

QByteArray ChannelListWriter::document() const
{
    QByteArray all;
    all.reserve(m_size);
    write([&all](QByteArrayView piece) { all += piece; });
    return all;
}

PlaylistList ChannelListOf(const Playlist &playlist, int channelType, const QString &defaultGroup)
{
    ChannelListWriter writer(channelType, defaultGroup, playlist.fromWeb);
    for (const PlaylistEntry &e : playlist.entries)
        writer.add(e);
    return {writer.document(), writer.groups(), writer.channels()};
}
