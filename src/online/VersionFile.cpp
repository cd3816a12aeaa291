#include "VersionFile.h"

#include <QRegularExpression>

QStringList VersionLines(const QByteArray &content)
{
    if (content.isEmpty())
        return {};
    QStringList lines = QString::fromUtf8(content).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (content.endsWith('\n') || content.endsWith('\r'))
        lines.removeLast();
    return lines;
}

std::optional<int> VersionNumber(const QString &line)
{
    static const QRegularExpression number(QStringLiteral("^[ \t]*([+-]?[0-9]{1,9})$"));
    const auto m = number.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt();
}
