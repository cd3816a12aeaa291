#include "SkinFile.h"

#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

constexpr qint64 kMaxSkinSize = 1 << 20;

std::optional<SkinDefinition> fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

bool isColor(const QString &v)
{
    static const QRegularExpression hex(QStringLiteral("^#([0-9a-fA-F]{3}|[0-9a-fA-F]{6}|[0-9a-fA-F]{8})$"));
    static const QRegularExpression fn(
        QStringLiteral("^rgba?\\(\\s*\\d{1,3}\\s*,\\s*\\d{1,3}\\s*,\\s*\\d{1,3}\\s*(,\\s*\\d{1,3}%?\\s*)?\\)$"));
    static const QRegularExpression named(QStringLiteral("^(transparent|black|white)$"));
    return hex.match(v).hasMatch() || fn.match(v).hasMatch() || named.match(v).hasMatch();
}

} // namespace

std::optional<SkinDefinition> ParseSkin(const QByteArray &bytes, QString *error)
{
    if (bytes.contains('\0'))
        return fail(error, QStringLiteral("not a text file"));
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(bytes);
    if (decode.hasError())
        return fail(error, QStringLiteral("not UTF-8 text"));

    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    SkinDefinition skin;
    QString section;
    bool sawHeader = false;
    qsizetype styleStart = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString t = lines[i].trimmed();
        if (t.isEmpty() || t.startsWith(u';'))
            continue;
        if (!sawHeader) {
            if (t.compare(u"[Zentavo Skin]", Qt::CaseInsensitive) != 0)
                return fail(error, QStringLiteral("missing [Zentavo Skin] header"));
            sawHeader = true;
            section = QStringLiteral("skin");
            continue;
        }
        if (t.startsWith(u'[') && t.endsWith(u']')) {
            section = t.mid(1, t.size() - 2).trimmed().toLower();
            if (section == u"style") {
                styleStart = i + 1;
                break;
            }
            if (section != u"colors")
                return fail(error, QStringLiteral("unknown section [%1]").arg(section));
            continue;
        }
        const qsizetype eq = t.indexOf(u'=');
        if (eq <= 0)
            return fail(error, QStringLiteral("line %1 is not key=value").arg(i + 1));
        const QString key = t.left(eq).trimmed();
        const QString value = t.mid(eq + 1).trimmed();
        if (section == u"colors") {
            static const QRegularExpression ident(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
            if (!ident.match(key).hasMatch() || !isColor(value))
                return fail(error, QStringLiteral("bad colour %1").arg(key));
            skin.colors.append({key, value});
        } else if (key.compare(u"Name", Qt::CaseInsensitive) == 0) {
            skin.name = value;
        }
    }
    if (styleStart < 0)
        return fail(error, QStringLiteral("missing [Style] section"));

    QString style = lines.mid(styleStart).join(u'\n');
    int depth = 0;
    for (QChar c : style) {
        if (c == u'{')
            ++depth;
        else if (c == u'}' && --depth < 0)
            break;
    }
    if (depth != 0)
        return fail(error, QStringLiteral("unbalanced braces in [Style]"));

    // One pass over the style, each name looked up in a table (a later definition wins).
    QHash<QString, QString> colors;
    for (const auto &c : std::as_const(skin.colors))
        colors.insert(c.first, c.second);
    static const QRegularExpression var(QStringLiteral("@([A-Za-z_][A-Za-z0-9_]*)"));
    QString out;
    out.reserve(style.size());
    qsizetype last = 0;
    for (auto it = var.globalMatch(style); it.hasNext();) {
        const auto m = it.next();
        const QString name = m.captured(1);
        const QString value = colors.value(name);
        if (value.isEmpty())
            return fail(error, QStringLiteral("unknown colour @%1").arg(name));
        out += QStringView(style).mid(last, m.capturedStart() - last);
        out += value;
        last = m.capturedEnd();
    }
    out += QStringView(style).mid(last);
    skin.styleSheet = out.trimmed();
    if (skin.styleSheet.isEmpty())
        return fail(error, QStringLiteral("empty [Style]"));
    return skin;
}

std::optional<SkinDefinition> LoadSkinFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return fail(error, QStringLiteral("cannot open %1").arg(path));
    // Every window sets the skin up: a file is parsed once while it stays as it was.
    struct Parsed
    {
        QDateTime modified;
        QDateTime changed; // also a file replaced by another
        qint64 size;
        SkinDefinition skin;
    };
    static QMutex lock;
    static QHash<QString, Parsed> parsed;
    const QString key = info.absoluteFilePath();
    {
        QMutexLocker locked(&lock);
        const auto it = parsed.constFind(key);
        if (it != parsed.cend() && it->modified == info.lastModified() &&
            it->changed == info.metadataChangeTime() && it->size == info.size())
            return it->skin;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("cannot open %1").arg(path));
    if (f.size() > kMaxSkinSize)
        return fail(error, QStringLiteral("file too large"));
    auto skin = ParseSkin(f.read(kMaxSkinSize + 1), error);
    if (skin) {
        QMutexLocker locked(&lock);
        parsed.insert(key, Parsed{info.lastModified(), info.metadataChangeTime(), info.size(), *skin});
    }
    return skin;
}
