#pragma once

#include <QStringView>

#include <optional>

// XMLTV's times: "YYYYMMDDhhmmss +hhmm", with fewer digits where less is known (down to the
// year alone) and any offset; no offset means UTC. Seconds since 1970 UTC, or nothing for what
// is no such time or lies outside 1970..2199 (guides write 1900 and 9999 for "unknown").
std::optional<qint64> ParseXmltvTime(QByteArrayView text);

// Unix seconds of a day of the proleptic Gregorian calendar (no time zone involved).
qint64 DaysFromCivil(int year, int month, int day);

// "YYYY-MM-DDTHH:MM:SSZ", and back (nothing for anything else).
QString IsoUtc(qint64 seconds);
std::optional<qint64> ParseIsoUtc(const QString &text);
