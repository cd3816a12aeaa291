#include "ListMaker.h"

#include "catalogue/ChannelText.h"

#include <QList>
#include <QPair>

namespace ListMaker {

namespace {
QByteArray escaped(const QString &s)
{
    return s.toHtmlEscaped().replace(u'\'', QStringLiteral("&apos;")).toUtf8();
}
} // namespace

QByteArray Item(const QString &name, const QString &url, int ty, const QString &sp, const QString &category,
                const QString &id, const QByteArray &extra)
{
    return "<Item ChannelName=\"" + escaped(name) + "\" URL=\"" + escaped(url) + "\" INFO=\"http://site.example/" +
           escaped(id) + "\" Ty=\"" + QByteArray::number(ty) + "\" MT=\"1\" Co=\"Testland\" SP=\"" + escaped(sp) +
           "\" T=\"" + escaped(category) + "\" I=\"\" ID=\"" + escaped(id) + "\"" + extra + "/>\n";
}

QByteArray Document(const QList<QPair<QString, QByteArray>> &groups, const QByteArray &root)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">\n";
    for (const auto &g : groups)
        out += "<" + g.first.toUtf8() + ">\n" + g.second + "</" + g.first.toUtf8() + ">\n";
    out += "</" + root + ">\n";
    return out;
}

QByteArray Plain(int groups, int perGroup, const QString &prefix)
{
    const QStringList &categories = ChannelCategories();
    QList<QPair<QString, QByteArray>> all;
    int n = 0;
    for (int g = 0; g < groups; ++g) {
        QByteArray items;
        items.reserve(perGroup * 260);
        for (int c = 0; c < perGroup; ++c, ++n) {
            const bool radio = n % 7 == 6;
            items +=
                Item(QStringLiteral("%1 %2").arg(prefix).arg(n), QStringLiteral("http://stream.example/%1.m3u8").arg(n),
                     radio ? 2 : 1, radio ? QString() : QStringLiteral("1500"), categories[n % categories.size()],
                     QString::number(n));
        }
        all.append({QStringLiteral("Group_%1").arg(g), items});
    }
    return Document(all);
}

} // namespace ListMaker
