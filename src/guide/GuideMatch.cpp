#include "GuideMatch.h"

#include <QSet>

QString FoldName(const QString &name)
{
    const QString decomposed = name.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.isLetterOrNumber())
            out.append(c.toCaseFolded());
    }
    return out;
}

QString TvgIdOfListId(const QString &id)
{
    const qsizetype at = id.indexOf(u'@');
    return (at < 0 ? id : id.left(at)).trimmed();
}

ListIndex::ListIndex(const QList<ListChannel> &channels) : m_size(int(channels.size()))
{
    for (const ListChannel &c : channels) {
        if (!c.tvgId.isEmpty())
            m_ids.insert(c.tvgId.toCaseFolded());
        if (!c.tvgName.isEmpty())
            m_names.insert(c.tvgName);
        if (const QString folded = FoldName(c.name); !folded.isEmpty())
            m_folded.insert(folded);
    }
}

bool ListIndex::matches(const QString &id, const QStringList &names) const
{
    if (m_ids.contains(id.toCaseFolded()))
        return true;
    for (const QString &n : names) {
        if (m_names.contains(n) || m_folded.contains(FoldName(n)))
            return true;
    }
    return false;
}

qint64 ShiftOfAttribute(const QString &hours)
{
    bool ok = false;
    const double h = hours.toDouble(&ok);
    return ok && h >= -24 && h <= 24 ? qint64(h * 3600) : 0;
}
