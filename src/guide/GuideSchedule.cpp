#include "GuideSchedule.h"

#include <algorithm>

void GuideSchedule::addChannel(qint64 key, const QString &id, const QStringList &names)
{
    m_matcher.add(id, names, key);
    m_programmes[key];
}

void GuideSchedule::addProgramme(qint64 key, const Airing &airing)
{
    m_programmes[key].append(airing);
    ++m_size;
}

void GuideSchedule::finish()
{
    for (QList<Airing> &list : m_programmes) {
        std::stable_sort(list.begin(), list.end(), [](const Airing &a, const Airing &b) { return a.start < b.start; });
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list[i].stop == 0)
                list[i].stop = i + 1 < list.size() ? list[i + 1].start : list[i].start + kUnknownLength;
        }
    }
}

qint64 GuideSchedule::channelOf(const ListChannel &channel) const
{
    const qint64 *key = m_matcher.find(channel);
    return key ? *key : 0;
}

const QList<Airing> &GuideSchedule::programmes(qint64 key) const
{
    static const QList<Airing> none;
    const auto it = m_programmes.constFind(key);
    return it == m_programmes.cend() ? none : *it;
}

NowNext GuideSchedule::at(qint64 key, qint64 when) const
{
    const QList<Airing> &list = programmes(key);
    // The first that starts after `when`; the one on the air is before it.
    const auto after =
        std::upper_bound(list.cbegin(), list.cend(), when, [](qint64 t, const Airing &a) { return t < a.start; });
    NowNext out;
    if (after != list.cbegin() && std::prev(after)->stop > when)
        out.now = *std::prev(after);
    if (after != list.cend())
        out.next = *after;
    return out;
}
