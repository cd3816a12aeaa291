#pragma once

#include "Health.h"

#include <QHash>
#include <QString>
#include <optional>

// What the checks found, per address with its time, kept in a small file in the cache folder.
// A result is trusted for a day; older ones are kept a week for nothing but being replaced.
class HealthStore
{
public:
    static constexpr qint64 kTrustedSecs = 24 * 3600;

    explicit HealthStore(const QString &file) : m_file(file) {}

    // A missing or unreadable file is an empty store.
    void load();
    bool save(QString *error = nullptr) const;

    void put(const QString &address, const Health &health);
    // The result for `address` checked within the day before `now`, if any.
    std::optional<Health> trusted(const QString &address, const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    int size() const { return int(m_results.size()); }

private:
    QString m_file;
    QHash<QString, Health> m_results;
};
