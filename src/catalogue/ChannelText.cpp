#include "ChannelText.h"

#include "base/Errors.h"
#include "base/TextUtil.h"

const QStringList &ChannelCategories()
{
    static const QStringList categories = {
        QStringLiteral("News"),          QStringLiteral("Kids"),       QStringLiteral("Movies"),
        QStringLiteral("Sports"),        QStringLiteral("General"),    QStringLiteral("Games"),
        QStringLiteral("Weather"),       QStringLiteral("Religious"),  QStringLiteral("Lifestyle"),
        QStringLiteral("Shopping"),      QStringLiteral("Government"), QStringLiteral("Educational"),
        QStringLiteral("Entertainment"),
    };
    return categories;
}

std::optional<QString> ChannelItem::attribute(const char *name) const
{
    const QString key = QString::fromLatin1(name);
    for (const auto &a : m_attributes) {
        if (a.first == key)
            return a.second;
    }
    return std::nullopt;
}

QString ChannelItem::text(const char *name) const
{
    if (auto v = attribute(name))
        return *v;
    throw ZError(QStringLiteral("The channel \"%1\" has no attribute %2.")
                     .arg(attribute("ChannelName").value_or(QString()), QString::fromLatin1(name)));
}

int ChannelNumber(const QString &text, const char *what)
{
    int v = 0;
    if (!ParseDecimal(text, &v))
        throw ZError(QStringLiteral("'%1' is not a valid %2 value.").arg(text, QString::fromLatin1(what)));
    return v;
}

QString ChannelLabel(const XmlNode &channel, bool filteredView)
{
    const QString name = channel.text("ChannelName");
    const QString ty = channel.text("Ty");
    const bool longForm = filteredView || ChannelNumber(ty) == 1;
    if (!longForm)
        return name;
    return name + QStringLiteral(" (") + channel.text("SP") + QStringLiteral("K)");
}

TreeIcon ChannelIcon(const XmlNode &channel)
{
    return channel.attribute("Ty").value_or(QString()) == u"1" ? IconTelevision : IconSpeaker;
}

QString GroupLabel(const QString &name, int channels)
{
    return AsciiUpper(name) + QStringLiteral("  (") + QString::number(channels) + u')';
}

QString DetailsPageAddress(const QString &site, const QString &channelName, const QString &id, bool radioList)
{
    QString page = channelName;
    page.remove(u'(').remove(u')').replace(u' ', u'_');
    if (radioList) {
        page.replace(u'.', u'-').replace(u'\'', u'-');
        return site + QStringLiteral("radio/") + page + u'-' + id + QStringLiteral(".htm");
    }
    return site + QStringLiteral("channels/") + page + QStringLiteral("-Details-") + id + QStringLiteral(".htm");
}

QString ChannelFormAddress(const QString &site, const QString &page, const QString &id, const QString &channelName)
{
    return site + page + QStringLiteral("?channelid=") + id + QStringLiteral("&channelname=") + channelName;
}
