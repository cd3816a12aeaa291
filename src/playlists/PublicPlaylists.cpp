#include "PublicPlaylists.h"

#include "base/Errors.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

ZError damaged(const QString &why)
{
    return ZError(QStringLiteral("The list of public playlists is damaged: %1").arg(why));
}

} // namespace

QList<PublicPlaylist> ReadPublicPlaylists(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw damaged(error.errorString());
    QList<PublicPlaylist> out;
    for (const QJsonValue &c : doc.object().value(QLatin1StringView("collections")).toArray()) {
        const QJsonObject collection = c.toObject();
        const QString publisher = collection.value(QLatin1StringView("publisher")).toString().trimmed();
        QString base = collection.value(QLatin1StringView("base")).toString().trimmed();
        if (publisher.isEmpty() || !base.startsWith(QLatin1StringView("https://")))
            throw damaged(QStringLiteral("a collection lacks its publisher or its https address"));
        if (!base.endsWith(u'/'))
            base += u'/';
        const RefreshInterval interval =
            collection.contains(QLatin1StringView("refresh"))
                ? RefreshIntervalFromKey(collection.value(QLatin1StringView("refresh")).toString())
                : RefreshInterval::Daily;
        const auto add = [&](PublicPlaylist::Kind kind, const QString &title, const QString &path) {
            if (title.trimmed().isEmpty() || path.trimmed().isEmpty() || path.contains(QLatin1StringView("..")))
                throw damaged(QStringLiteral("an entry of %1 lacks its name or path").arg(publisher));
            out.append({kind, publisher + QStringLiteral(": ") + title.trimmed(), base + path.trimmed(), interval});
        };
        const QJsonObject whole = collection.value(QLatin1StringView("whole")).toObject();
        if (!whole.isEmpty())
            add(PublicPlaylist::Kind::Whole, whole.value(QLatin1StringView("name")).toString(),
                whole.value(QLatin1StringView("path")).toString());
        const auto pairs = [&](const char *key, PublicPlaylist::Kind kind, const QString &folder) {
            for (const QJsonValue &v : collection.value(QLatin1StringView(key)).toArray()) {
                const QJsonArray pair = v.toArray();
                const QString code = pair.at(0).toString().trimmed();
                if (code.isEmpty() || code.contains(u'/'))
                    throw damaged(
                        QStringLiteral("a %1 entry of %2 has no code").arg(QLatin1StringView(key), publisher));
                add(kind, pair.at(1).toString(), folder + code + QStringLiteral(".m3u"));
            }
        };
        pairs("countries", PublicPlaylist::Kind::Country, QStringLiteral("countries/"));
        pairs("categories", PublicPlaylist::Kind::Category, QStringLiteral("categories/"));
    }
    return out;
}

QList<PublicPlaylist> ShippedPublicPlaylists()
{
    QFile file(QStringLiteral(":/playlists/collections.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ReadPublicPlaylists(file.readAll());
}
