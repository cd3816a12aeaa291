#pragma once

#include "Health.h"

#include <QHash>
#include <QString>
#include <optional>

// What the checks found, per address with its time, kept in a small file in the cache folder.
// A result is trusted for a day; older ones are kept a week for nothing but being replaced, and
// no more than the newest kMaxResults are kept at all.
class HealthStore
{
public:
    using Results = QHash<QString, Health>;
    static constexpr qint64 kTrustedSecs = 24 * 3600;
    static constexpr int kMaxResults = 200000;

    explicit HealthStore(const QString &file, int maxResults = kMaxResults) : m_file(file), m_max(maxResults) {}

    // A missing or unreadable file is an empty store.
    void load();
    bool save(QString *error = nullptr) const { return Write(m_file, m_results, m_max, error); }
    // What save writes, for writing on another thread (a copy of the hash costs nothing).
    const Results &results() const { return m_results; }
    QString file() const { return m_file; }
    int maxResults() const { return m_max; }
    static bool Write(const QString &file, const Results &results, int maxResults, QString *error = nullptr);

    void put(const QString &address, const Health &health);
    // The result for `address` checked within the day before `now`, if any.
    std::optional<Health> trusted(const QString &address, const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    int size() const { return int(m_results.size()); }

private:
    QString m_file;
    int m_max;
    Results m_results;
};
