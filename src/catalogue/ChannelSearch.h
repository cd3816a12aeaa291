#pragma once

#include "XmlDocument.h"

#include <QString>
#include <functional>

// A channel found by name.
struct SearchRow
{
    QString label; // the list it came from ("TV Channels", ...)
    QString name;
    QString country;
    QString website;
    QString url;
    QString type; // Ty as stored
};

// The search key for a search text: trimmed, a-z raised to capitals.
QString SearchKey(const QString &text);

// Scans every channel of an open list for names that contain `key` (compared with a-z raised).
// `found` receives each match; `tick` runs after every channel and returns false to stop the
// scan. Raises ZError at the first channel it cannot read; the matches before it were reported.
void ScanChannels(const XmlDocument &doc, const QString &key, const QString &label,
                  const std::function<void(const SearchRow &)> &found, const std::function<bool()> &tick);
