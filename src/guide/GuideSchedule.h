#pragma once

#include "GuideMatch.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

struct Airing
{
    qint64 start = 0;
    qint64 stop = 0; // 0 until known: the next programme's start
    QString title;
};

struct NowNext
{
    std::optional<Airing> now;
    std::optional<Airing> next;
};

// What is on when, for the guide channels it was given, in memory: the answer to "what is on"
// for a whole tree without a query per row. Made on a worker, then only read (any thread).
class GuideSchedule
{
public:
    // `key`: the guide channel's row in the store (or any number unique to it).
    void addChannel(qint64 key, const QString &id, const QStringList &names);
    void addProgramme(qint64 key, const Airing &airing);
    // Sorts each channel's programmes and gives those without a stop the next one's start.
    void finish();

    // The guide channel a list channel is; 0 for none.
    qint64 channelOf(const ListChannel &channel) const;
    const QList<Airing> &programmes(qint64 key) const;
    NowNext at(qint64 key, qint64 when) const;
    qsizetype channelCount() const { return m_programmes.size(); }
    // The time it was read for: what is on in [from, to) is all here.
    void setSpan(qint64 from, qint64 to)
    {
        m_from = from;
        m_to = to;
    }
    bool covers(qint64 from, qint64 to) const { return m_from <= from && to <= m_to; }
    qsizetype size() const { return m_size; }

    static constexpr qint64 kUnknownLength = 3600; // the last programme of a channel without a stop

private:
    GuideMatcher<qint64> m_matcher;
    QHash<qint64, QList<Airing>> m_programmes;
    qsizetype m_size = 0;
    qint64 m_from = 0;
    qint64 m_to = 0;
};
