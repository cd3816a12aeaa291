#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

// The largest version file taken from the vendor site.
inline constexpr qint64 kMaxVersionFileSize = 64 * 1024;

// The small version files on the vendor site: lines end with CR LF, CR or LF; a final line
// break ends the last line (it starts no empty one).
QStringList VersionLines(const QByteArray &content);

// A version number: a decimal integer, blanks before it allowed, nothing after it.
std::optional<int> VersionNumber(const QString &line);
