#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The titles heard lately, newest first, kept across runs in a small file: at most kMax, the
// oldest go first.
class RecentTitles
{
public:
    struct Entry
    {
        QDateTime time;
        QString channel;
        QString title;
    };
    static constexpr int kMax = 100;

    explicit RecentTitles(const QString &file) : m_file(file) {}

    // A missing or unreadable file is an empty list.
    void load();
    // Adds and saves; the same title on the same channel as the newest is not added twice (a
    // stream that reconnects says it again). False with the reason when the file could not be
    // written (the entry is kept for this run).
    bool add(const Entry &entry, QString *error = nullptr);
    const QList<Entry> &entries() const { return m_entries; }
    QString file() const { return m_file; }

private:
    QString m_file;
    QList<Entry> m_entries;
};
