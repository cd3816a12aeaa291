#include "HealthStore.h"

#include "base/OutsideText.h"
#include "base/SafeFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString key(const QString &address)
{
    return address.trimmed();
}

} // namespace

void HealthStore::load()
{
    m_results.clear();
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 64 * 1024 * 1024)
        return;
    const QJsonObject all = QJsonDocument::fromJson(f.readAll()).object();
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        Health h;
        h.state = Health::FromWord(o.value(QLatin1StringView("state")).toString());
        h.reason = outside::Clean(o.value(QLatin1StringView("reason")).toString(), outside::kReason);
        h.checked = QDateTime::fromString(o.value(QLatin1StringView("checked")).toString(), Qt::ISODate);
        h.ms = o.value(QLatin1StringView("ms")).toInt();
        if (h.checked.isValid())
            m_results.insert(it.key(), h);
    }
}

bool HealthStore::save(QString *error) const
{
    const QDateTime weekAgo = QDateTime::currentDateTimeUtc().addDays(-7);
    QJsonObject all;
    for (auto it = m_results.cbegin(); it != m_results.cend(); ++it) {
        if (it->checked < weekAgo)
            continue;
        all.insert(it.key(), QJsonObject{{QLatin1StringView("state"), Health::Word(it->state)},
                                         {QLatin1StringView("reason"), it->reason},
                                         {QLatin1StringView("checked"), it->checked.toString(Qt::ISODate)},
                                         {QLatin1StringView("ms"), it->ms}});
    }
    return WriteFileAtomically(m_file, QJsonDocument(all).toJson(QJsonDocument::Compact), error);
}

void HealthStore::put(const QString &address, const Health &health)
{
    m_results.insert(key(address), health);
}

std::optional<Health> HealthStore::trusted(const QString &address, const QDateTime &now) const
{
    const auto it = m_results.constFind(key(address));
    if (it == m_results.cend() || it->checked.secsTo(now) > kTrustedSecs || it->checked > now.addSecs(60))
        return std::nullopt;
    return *it;
}
