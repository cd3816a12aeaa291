#include "OutsideText.h"

namespace outside {

QString Clean(const QString &text, qsizetype cap)
{
    QString out;
    const qsizetype limit = text.size();
    out.reserve(std::min(limit, cap));
    for (qsizetype i = 0; i < limit && out.size() < cap; ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (u == u'\t' || u == u'\n' || u == u'\r' || u == 0x2028 || u == 0x2029) {
            out += u' ';
        } else if (c.category() == QChar::Other_Control) {
            continue;
        } else if (c.isHighSurrogate()) {
            // A pair goes in whole or not at all.
            if (i + 1 < limit && text.at(i + 1).isLowSurrogate() && out.size() + 2 <= cap) {
                out += c;
                out += text.at(++i);
            } else if (i + 1 < limit && text.at(i + 1).isLowSurrogate()) {
                break;
            }
        } else if (c.isLowSurrogate()) {
            continue; // an unpaired half
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

QString CleanUtf8(QByteArrayView utf8, qsizetype cap)
{
    // Only so much is decoded: a reply of megabytes costs no more than its start.
    const qsizetype look = std::max<qsizetype>(cap * 16, 64 * 1024);
    return Clean(QString::fromUtf8(utf8.first(std::min(utf8.size(), look))), cap);
}

bool IsHeaderSafe(const QString &value)
{
    if (value.size() > kHeader)
        return false;
    for (QChar c : value)
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            return false;
    return true;
}

QString HeaderValue(const QString &value)
{
    return IsHeaderSafe(value) ? value : QString();
}

} // namespace outside
