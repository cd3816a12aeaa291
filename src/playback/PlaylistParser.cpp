#include "PlaylistParser.h"

#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <pugixml.hpp>

PlaylistKind PlaylistKindFor(const QString &address)
{
    QString path = address.trimmed();
    const QUrl url(path);
    if (url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1)
        path = url.path();
    path = path.toLower();
    if (path.endsWith(u".pls"))
        return PlaylistKind::Pls;
    if (path.endsWith(u".m3u"))
        return PlaylistKind::M3u;
    if (path.endsWith(u".ram") || path.endsWith(u".ramx"))
        return PlaylistKind::Ram;
    if (path.endsWith(u".smil") || path.endsWith(u".smi"))
        return PlaylistKind::Smil;
    return PlaylistKind::None;
}

QUrl StreamUrl(const QString &address)
{
    const QString a = address.trimmed();
    // "C:" style or plain paths are files; anything with a scheme of two or more letters is a URL.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(a).hasMatch())
        return QUrl(a, QUrl::TolerantMode);
    return QUrl::fromLocalFile(QFileInfo(a).absoluteFilePath());
}

namespace {

QString resolve(const QString &entry, const QUrl &base)
{
    const QString e = entry.trimmed();
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(e).hasMatch())
        return e;
    if (e.startsWith(u'/') && base.isLocalFile())
        return QUrl::fromLocalFile(e).toString();
    return base.resolved(QUrl(e, QUrl::TolerantMode)).toString();
}

QStringList lines(const QByteArray &content)
{
    QString text = QString::fromUtf8(content);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
}

QStringList parsePls(const QByteArray &content, const QUrl &base)
{
    QMap<int, QString> files;
    static const QRegularExpression file(QStringLiteral("^\\s*File(\\d+)\\s*=\\s*(.*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : lines(content)) {
        const auto m = file.match(line);
        if (m.hasMatch() && !m.captured(2).trimmed().isEmpty())
            files.insert(m.captured(1).toInt(), resolve(m.captured(2), base));
    }
    return files.values();
}

QStringList parseLines(const QByteArray &content, const QUrl &base, bool ram)
{
    QStringList out;
    for (const QString &raw : lines(content)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (ram && line == u"--stop--")
            break;
        out.append(resolve(line, base));
    }
    return out;
}

QStringList parseSmil(const QByteArray &content, const QUrl &base)
{
    pugi::xml_document doc;
    if (!doc.load_buffer(content.constData(), size_t(content.size())))
        return {};
    QUrl root = base;
    for (const pugi::xpath_node &meta : doc.select_nodes("//meta[@name='base']")) {
        const QString b = QString::fromUtf8(meta.node().attribute("content").value());
        if (!b.isEmpty())
            root = base.resolved(QUrl(b));
    }
    QStringList out;
    for (const pugi::xpath_node &n : doc.select_nodes("//*[@src]")) {
        const QString name = QString::fromUtf8(n.node().name()).toLower();
        if (name == u"audio" || name == u"video" || name == u"ref" || name == u"animation") {
            const QString src = QString::fromUtf8(n.node().attribute("src").value()).trimmed();
            if (!src.isEmpty())
                out.append(resolve(src, root));
        }
    }
    return out;
}

} // namespace

QStringList ParsePlaylist(const QByteArray &content, PlaylistKind kind, const QUrl &base)
{
    switch (kind) {
    case PlaylistKind::Pls:
        return parsePls(content, base);
    case PlaylistKind::M3u:
        return parseLines(content, base, false);
    case PlaylistKind::Ram:
        return parseLines(content, base, true);
    case PlaylistKind::Smil:
        return parseSmil(content, base);
    case PlaylistKind::None:
        break;
    }
    return {};
}
