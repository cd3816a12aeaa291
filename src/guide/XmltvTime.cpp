#include "XmltvTime.h"

#include <QDateTime>
#include <QString>

qint64 DaysFromCivil(int year, int month, int day)
{
    // Howard Hinnant's days_from_civil: no table, no time zone, no allocation.
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = unsigned(year - era * 400);
    const unsigned doy = (153 * unsigned(month + (month > 2 ? -3 : 9)) + 2) / 5 + unsigned(day) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

namespace {

bool digits(QByteArrayView text, qsizetype from, qsizetype count, int *value)
{
    if (from + count > text.size())
        return false;
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

// "+hhmm", "-hh:mm", "+hh", "Z", "UTC", "GMT": seconds east of UTC.
std::optional<int> offset(QByteArrayView zone)
{
    zone = zone.trimmed();
    if (zone.isEmpty() || zone == "Z" || zone == "UTC" || zone == "GMT")
        return 0;
    if (zone[0] != '+' && zone[0] != '-')
        return std::nullopt;
    const int sign = zone[0] == '-' ? -1 : 1;
    int hours = 0, minutes = 0;
    if (!digits(zone, 1, 2, &hours))
        return std::nullopt;
    qsizetype at = 3;
    if (at < zone.size() && zone[at] == ':')
        ++at;
    if (at < zone.size() && (!digits(zone, at, 2, &minutes) || at + 2 != zone.size()))
        return std::nullopt;
    if (hours > 14 || minutes > 59)
        return std::nullopt;
    return sign * (hours * 3600 + minutes * 60);
}

} // namespace

std::optional<qint64> ParseXmltvTime(QByteArrayView text)
{
    text = text.trimmed();
    qsizetype n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9')
        ++n;
    if (n < 4 || n > 14 || n % 2 != 0)
        return std::nullopt;
    int part[6] = {0, 1, 1, 0, 0, 0};
    digits(text, 0, 4, &part[0]);
    for (int i = 1; 2 + 2 * i <= n; ++i)
        digits(text, 2 + 2 * i, 2, &part[i]);
    const auto [year, month, day, hour, minute, second] = part;
    if (year < 1970 || year > 2199 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60)
        return std::nullopt;
    const std::optional<int> east = offset(text.sliced(n));
    if (!east)
        return std::nullopt;
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - *east;
}

QString IsoUtc(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

std::optional<qint64> ParseIsoUtc(const QString &text)
{
    const QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
    if (!t.isValid())
        return std::nullopt;
    return QDateTime(t.date(), t.time(), Qt::UTC).toSecsSinceEpoch();
}
