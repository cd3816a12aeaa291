#pragma once

#include <QString>

// Text that comes from outside (stream titles, server replies, playlists, files, the bus) is
// capped and cleaned where it enters, so that no server can make us keep or show megabytes of
// it, or smuggle line breaks into a header or a file.
namespace outside {
inline constexpr qsizetype kTitle = 512;
inline constexpr qsizetype kReason = 300; // reasons and error messages
inline constexpr qsizetype kName = 256;
inline constexpr qsizetype kAddress = 8 * 1024;
inline constexpr qsizetype kHeader = 4 * 1024;

// Control characters gone (tabs and line breaks become spaces), blanks at the ends trimmed, at
// most `cap` characters, never cut inside a surrogate pair.
QString Clean(const QString &text, qsizetype cap);
QString CleanUtf8(QByteArrayView utf8, qsizetype cap);

// A value that may go into a request header: no CR, LF or NUL, at most kHeader characters.
bool IsHeaderSafe(const QString &value);
// `value` where it is safe as a header's value; otherwise nothing (the header is not sent).
QString HeaderValue(const QString &value);
} // namespace outside
