#include "TextUtil.h"

QString AsciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - (u'a' - u'A')));
    }
    return out;
}

bool ParseDecimal(const QString &text, int *value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    qsizetype i = 0;
    if (t[0] == u'+' || t[0] == u'-')
        ++i;
    if (i == t.size())
        return false;
    for (qsizetype k = i; k < t.size(); ++k) {
        if (t[k] < u'0' || t[k] > u'9')
            return false;
    }
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}
