#include "HealthStore.h"

#include "base/OutsideText.h"
#include "base/SafeFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <vector>

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
        if (h.checked.isValid() && it.key().size() <= outside::kAddress)
            m_results.insert(it.key(), h);
    }
}

bool HealthStore::Write(const QString &file, const Results &results, int maxResults, QString *error)
{
    const QDateTime weekAgo = QDateTime::currentDateTimeUtc().addDays(-7);
    // The newest results of the week, no more than the limit.
    std::vector<Results::const_iterator> kept;
    kept.reserve(size_t(results.size()));
    for (auto it = results.cbegin(); it != results.cend(); ++it) {
        if (it->checked >= weekAgo)
            kept.push_back(it);
    }
    if (kept.size() > size_t(maxResults)) {
        std::nth_element(kept.begin(), kept.begin() + maxResults, kept.end(),
                         [](const auto &a, const auto &b) { return a->checked > b->checked; });
        kept.resize(size_t(maxResults));
    }
    QJsonObject all;
    for (const auto &it : kept) {
        all.insert(it.key(), QJsonObject{{QLatin1StringView("state"), Health::Word(it->state)},
                                         {QLatin1StringView("reason"), it->reason},
                                         {QLatin1StringView("checked"), it->checked.toString(Qt::ISODate)},
                                         {QLatin1StringView("ms"), it->ms}});
    }
    return WriteFileAtomically(file, QJsonDocument(all).toJson(QJsonDocument::Compact), error);
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
